// Word filter, percent-encoding, base64 and the small text routines. MD5 is in
// md5.cpp.
#include "text/text.h"

#include <cctype>
#include <cstdint>
#include <cstring>

// Common English profanities and slurs with their usual misspellings (letter
// substitutions, a dropped or doubled letter, a symbol for a letter). Order
// matters: once an occurrence is masked, later entries cannot match its bytes.
// No entry may contain '*', or masking would never end.
const char* const word_filter_list[WORD_FILTER_ENTRIES] = {
    "fuck",   "fuk",     "fcuk",    "phuck",  "fvck",   "shit",   "sh1t",
    "$hit",   "cunt",    "bitch",   "b1tch",  "biatch", "bastard", "asshole",
    "a$$hole", "wanker", "twat",    "whore",  "wh0re",  "slut",   "nigger",
    "nigga",  "n1gger",  "faggot",  "fagot",  "f4ggot", "kike",   "jackass",
};

namespace {
char g_work[WORD_FILTER_BUFFER];    // lowercase working copy
char g_result[WORD_FILTER_BUFFER];  // the returned text

bool is_alnum(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
}  // namespace

const char* word_filter(const char* text) {
    memset(g_work, 0, sizeof g_work);
    memset(g_result, 0, sizeof g_result);
    if (!text) return g_result;
    // Both buffers hold at most 1023 bytes and a NUL; a longer text is cut.
    const size_t length = strnlen(text, WORD_FILTER_BUFFER - 1);
    memcpy(g_result, text, length);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        g_work[i] = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    for (const char* entry : word_filter_list) {
        const size_t n = strlen(entry);
        // Each pass masks one occurrence, so the loop ends.
        while (char* hit = strstr(g_work, entry)) {
            const size_t at = size_t(hit - g_work);
            memset(g_work + at, '*', n);
            memset(g_result + at, '*', n);
        }
    }
    return g_result;
}

size_t url_encoded_length(size_t n, const void* bytes) {
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    size_t size = 1;
    for (size_t i = 0; i < n; ++i) size += is_alnum(in[i]) ? 1 : 3;
    return size;
}

void url_encode(size_t n, char* out, size_t out_size, const void* bytes) {
    if (!out || out_size == 0) return;
    memset(out, 0, out_size);
    static const char hex[] = "0123456789abcdef";
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    size_t used = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t room = out_size - used;
        if (is_alnum(in[i])) {
            if (room < 2) break;
            out[used++] = char(in[i]);
        } else {
            if (room < 4) break;
            out[used++] = '%';
            out[used++] = hex[in[i] >> 4];
            out[used++] = hex[in[i] & 15];
        }
    }
}

std::string base64_encode(const void* bytes, size_t count) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve((count + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t v = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    const size_t rest = count - i;
    if (rest > 0) {
        uint32_t v = uint32_t(in[i]) << 16;
        if (rest == 2) v |= uint32_t(in[i + 1]) << 8;
        out += alphabet[v >> 18];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

namespace {
int hex_digit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The 6-bit value of a base64 character, -1 for any other byte.
int base64_value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
}  // namespace

bool url_decode(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += char(c);
        } else {
            if (i + 2 >= in.size()) return false;
            const int hi = hex_digit(static_cast<unsigned char>(in[i + 1]));
            const int lo = hex_digit(static_cast<unsigned char>(in[i + 2]));
            if (hi < 0 || lo < 0) return false;
            out += char(hi << 4 | lo);
            i += 2;
        }
    }
    return true;
}

bool base64_decode(const std::string& in, std::string& out) {
    out.clear();
    if (in.size() % 4 != 0) return false;
    out.reserve(in.size() / 4 * 3);
    for (size_t i = 0; i < in.size(); i += 4) {
        const bool last = i + 4 == in.size();
        // "=" may stand only in the last one or two places of the last group.
        const int pad = last ? (in[i + 3] == '=') + (in[i + 3] == '=' && in[i + 2] == '=') : 0;
        int v[4];
        for (int k = 0; k < 4 - pad; ++k) {
            v[k] = base64_value(static_cast<unsigned char>(in[i + k]));
            if (v[k] < 0) return false;
        }
        const uint32_t bits = uint32_t(v[0]) << 18 | uint32_t(v[1]) << 12 |
                              uint32_t(pad < 2 ? v[2] : 0) << 6 | uint32_t(pad < 1 ? v[3] : 0);
        out += char(bits >> 16);
        if (pad == 2) {
            if (bits & 0xFFFF) return false;  // bits beyond the last byte
        } else {
            out += char(bits >> 8 & 0xFF);
            if (pad == 1) {
                if (bits & 0xFF) return false;
            } else {
                out += char(bits & 0xFF);
            }
        }
    }
    return true;
}

bool field_name(const char* field, size_t size, std::string* name) {
    name->clear();
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(field[i]);
        if (c == 0) {
            name->assign(field, i);
            return true;
        }
        if (c < 0x20 || c > 0x7e) return false;
    }
    return false;
}

std::vector<std::string> split_words(const std::string& s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isspace(static_cast<unsigned char>(s[i]))) ++i;
        size_t j = i;
        while (j < s.size() && !isspace(static_cast<unsigned char>(s[j]))) ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}
