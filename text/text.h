// Text services: the word filter for drawn texts, percent-encoding of form
// data, MD5 in hexadecimal and base64. No state between calls apart from the
// word filter's result buffer. Main thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum : int {
    WORD_FILTER_BUFFER = 1024,  // the filter's buffers: 1023 bytes and a NUL
    WORD_FILTER_ENTRIES = 28,
};

// The masked words, lowercase, tried in this order.
extern const char* const word_filter_list[WORD_FILTER_ENTRIES];

// Returns text with every listed word masked by '*' (case ignored, inside longer
// words too); every other byte is kept. The result lives in one buffer shared
// by all calls and is overwritten by the next call. A text of 1024 bytes or
// more is cut to its first 1023 bytes, which are filtered as usual. A null
// text reads as empty.
const char* word_filter(const char* text);

// Size of the percent-encoded form of n bytes, plus 1 for the NUL: 1 for each
// ASCII letter or digit, 3 for any other byte.
size_t url_encoded_length(size_t n, const void* bytes);

// Percent-encodes n bytes into out (out_size bytes, cleared first): letters and
// digits are copied, every other byte becomes "%xx" in lowercase hexadecimal.
// Stops at the first byte that does not fit with its NUL; the result is always
// NUL-terminated when out_size > 0.
void url_encode(size_t n, char* out, size_t out_size, const void* bytes);

// The MD5 digest (RFC 1321) of n bytes as 32 lowercase hexadecimal digits and a
// NUL in out.
void md5_hex(size_t n, const void* bytes, char out[33]);

// The base64 form (RFC 4648, "+/" alphabet, "=" padding, no line breaks) of
// count bytes.
std::string base64_encode(const void* bytes, size_t count);

// Decodes percent-encoded form data into out: "%xx" (hexadecimal digits of
// either case) becomes that byte, "+" a space, every other byte is kept. False
// when a "%" is not followed by two hexadecimal digits (out is then partial).
bool url_decode(const std::string& in, std::string& out);

// Decodes base64 (RFC 4648, "+/" alphabet) into out. Only the canonical form is
// accepted: a length that is a multiple of four, "=" only as the last one or two
// characters, no other bytes (no line breaks), and zero bits after the last
// byte. False for anything else (out is then partial).
bool base64_decode(const std::string& in, std::string& out);

// The name held in a fixed-size text field of a level (its music or theme):
// true, with the bytes before the first NUL in *name, when they are all
// printable ASCII (0x20..0x7e); false, with *name empty, when a byte is not or
// the field holds no NUL at all.
bool field_name(const char* field, size_t size, std::string* name);

// The words of a line: the runs of bytes between blanks (space, tab, CR and
// the other isspace bytes), in order.
std::vector<std::string> split_words(const std::string& s);
