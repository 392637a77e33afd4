// Arbitrary bytes through the text services, with their contracts checked:
// the word filter keeps length and unmasked bytes, percent-encoding stays
// inside its buffer and NUL-terminated, base64 has the padded length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The filter sees the text up to its first NUL, cut to 1023 bytes.
    const std::string text = bytes.c_str();
    const char* out = word_filter(text.c_str());
    const size_t kept = text.size() < 1023 ? text.size() : 1023;
    if (strlen(out) != kept) abort();
    for (size_t i = 0; i < kept; ++i)
        if (out[i] != '*' && out[i] != text[i]) abort();

    // A buffer of any size from the first byte; guard bytes after it.
    const size_t room = size ? data[0] : 0;
    std::vector<char> buf(room + 16, '#');
    url_encode(size, buf.data(), room, data);
    for (size_t i = room; i < buf.size(); ++i)
        if (buf[i] != '#') abort();
    if (room > 0 && strnlen(buf.data(), room) >= room) abort();
    const size_t need = url_encoded_length(size, data);
    if (room >= need && strlen(buf.data()) != need - 1) abort();

    if (base64_encode(data, size).size() != (size + 2) / 3 * 4) abort();
    char digest[33];
    md5_hex(size, data, digest);
    if (strlen(digest) != 32) abort();
    return 0;
}
