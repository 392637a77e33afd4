// Fixed-size, NUL-terminated text fields of the stored records. Records read
// from outside are not trusted to hold their NUL, so reads stop at the field's
// end and writes always leave one.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// The field's text up to its NUL, or its whole size when it has none.
template <size_t N>
std::string field_text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Stores value cut to N - 1 bytes; the rest of the field is zeroed.
template <size_t N>
void set_field(char (&field)[N], const std::string& value) {
    memset(field, 0, N);
    memcpy(field, value.data(), value.size() < N - 1 ? value.size() : N - 1);
}

// Forces the field to end in NUL.
template <size_t N>
void terminate_field(char (&field)[N]) {
    field[N - 1] = '\0';
}
