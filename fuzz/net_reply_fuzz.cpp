// Arbitrary bytes as an HTTP reply, delivered in pieces as receives would
// deliver them, then read the way the web service layer reads replies.
//
// Input: two bytes choosing the piece size (1 .. 5000), one byte choosing the
// length of an extra header name taken from the start of the reply, then the
// reply itself.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/http.h"

namespace {

void check(bool ok) {
    if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t piece = 1 + (size_t(data[0]) | size_t(data[1]) << 8) % 5000;
    const size_t name_len = data[2] % 24;
    data += 3;
    size -= 3;

    WebConn* c = conn_open("127.0.0.1", 9, "/", nullptr, 0, 30);
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        check(conn_take_reply(c, data + at, n));
    }

    // The record stays consistent whatever arrived.
    check(c->reply.length == int32_t(size));
    check(size == 0 || memcmp(c->reply.data, data, size) == 0);
    check(c->header_len >= 0 && c->header_len <= c->reply.length);
    check(size == 0 || c->body == c->reply.data + c->header_len);
    check(c->body_len == c->reply.length - c->header_len);
    check(size == 0 || (c->reply.capacity > c->reply.length && c->reply.data[c->reply.length] == 0));

    const std::string extra(reinterpret_cast<const char*>(data), name_len < size ? name_len : size);
    for (const char* name : {"X-Response", "X-Error", "", extra.c_str()}) {
        char out[CONN_HEADER_VALUE];
        conn_header(c, name, out);
        check(out[CONN_HEADER_VALUE - 1] == '\0');
        const size_t len = strlen(out);
        // A value is a copy of bytes of the reply, on one line.
        check(len == 0 || memmem(c->reply.data, size, out, len) != nullptr);
        check(strpbrk(out, "\r\n") == nullptr);
    }
    conn_free(c);
    return 0;
}
