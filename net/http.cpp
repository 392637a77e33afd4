// The polled HTTP/1.0 client: request text, background host lookup,
// non-blocking connect, one send or receive per poll, header scan.
#include "net/http.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

// A host lookup running in glibc's resolver thread. The thread writes into this
// record until gai_error stops answering EAI_INPROGRESS, so the record outlives
// an abandoned connection until then (see park_lookup).
struct PendingLookup {
    gaicb cb;
    addrinfo hints;
    char name[CONN_HOST_MAX];
};

namespace {

size_t g_reply_limit = size_t(64) << 20;
const size_t REPLY_LIMIT_MAX = size_t(1) << 30;  // lengths are int32
const int32_t TIMEOUT_MAX = 365 * 24 * 3600;     // keeps now + timeout in range

// Lookups abandoned while glibc was still working on them.
std::vector<PendingLookup*>& parked_lookups() {
    static std::vector<PendingLookup*> parked;
    return parked;
}

void free_lookup(PendingLookup* p) {
    if (p->cb.ar_result) freeaddrinfo(p->cb.ar_result);
    delete p;
}

// Frees the parked lookups that have finished meanwhile.
void reap_lookups() {
    std::vector<PendingLookup*>& parked = parked_lookups();
    for (size_t i = 0; i < parked.size();) {
        if (gai_error(&parked[i]->cb) != EAI_INPROGRESS) {
            free_lookup(parked[i]);
            parked[i] = parked.back();
            parked.pop_back();
        } else {
            ++i;
        }
    }
}

// Abandons a lookup: cancelled or finished ones are freed now, one the resolver
// is working on is parked until it is done.
void park_lookup(PendingLookup* p) {
    const int rc = gai_cancel(&p->cb);
    if (rc == EAI_NOTCANCELED) {
        parked_lookups().push_back(p);
    } else {
        free_lookup(p);
    }
}

void fail(WebConn* c) { c->failed = 1; }

// The request text's buffer, doubled as needed.
void out_append(WebConn* c, const void* bytes, size_t n) {
    if (n == 0) return;
    size_t need = size_t(c->out.length) + n;
    size_t cap = size_t(c->out.capacity);
    if (need > cap) {
        while (cap < need) cap *= 2;
        char* grown = static_cast<char*>(realloc(c->out.data, cap));
        if (!grown) throw std::bad_alloc();
        c->out.data = grown;
        c->out.capacity = int32_t(cap);
    }
    memcpy(c->out.data + c->out.length, bytes, n);
    c->out.length += int32_t(n);
}

bool host_char(unsigned char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           ch == '-' || ch == '.' || ch == '_';
}

// True when host can be a DNS name: non-empty, only letters, digits, '-', '_'
// and dots between non-empty labels of at most 63 bytes (one trailing dot
// allowed).
bool plausible_host_name(const char* host) {
    const size_t n = strlen(host);
    if (n == 0) return false;
    size_t label = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ch = static_cast<unsigned char>(host[i]);
        if (!host_char(ch)) return false;
        if (ch == '.') {
            if (label == 0) return false;
            label = 0;
        } else if (++label > 63) {
            return false;
        }
    }
    return true;
}

// Names under "invalid" never resolve (RFC 6761), so they fail at once
// instead of costing a round trip to the resolver.
bool reserved_invalid(const char* host) {
    std::string h(host);
    if (!h.empty() && h.back() == '.') h.pop_back();
    for (char& ch : h) ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    return h == "invalid" || (h.size() > 8 && h.compare(h.size() - 8, 8, ".invalid") == 0);
}

void lookup_failed(WebConn* c, int code) {
    fprintf(stderr, "gethostbyname(%s) == null; h_errno = %d\n", c->host, code);
    fail(c);
}

// Address known: make the non-blocking socket. False (failed set) when none.
bool make_socket(WebConn* c) {
    c->sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (c->sock < 0) {
        perror("socket");
        fprintf(stderr, "socket() == -1\n");
        c->sock = -1;
        fail(c);
        return false;
    }
    c->state = CONN_SOCKET_READY;
    return true;
}

void connect_failed(int code) {
    fprintf(stderr, "connect: %d\n", code);
    errno = code;
    perror("connect");
}

void reply_too_large(WebConn* c) {
    fprintf(stderr, "reply too large: more than %zu bytes\n", g_reply_limit);
    fail(c);
}

// Grows the reply so n more bytes and a NUL fit: capacity doubles from its
// current value (1 when none) until it holds length + CONN_RECV_CHUNK, and
// always keeps one byte more than the data. New bytes are zero. The caller
// keeps the reply within the limit.
bool reply_room(WebConn* c, size_t n) {
    const size_t length = size_t(c->reply.length);
    const size_t want = length + std::max(n, size_t(CONN_RECV_CHUNK)) + 1;
    size_t cap = c->reply.capacity > 0 ? size_t(c->reply.capacity) : 1;
    while (cap < want) cap *= 2;
    if (cap > size_t(c->reply.capacity)) {
        char* grown = static_cast<char*>(realloc(c->reply.data, cap));
        if (!grown) {
            fprintf(stderr, "reply too large: out of memory\n");
            fail(c);
            return false;
        }
        memset(grown + c->reply.capacity, 0, cap - size_t(c->reply.capacity));
        c->reply.data = grown;
        c->reply.capacity = int32_t(cap);
        // The body points into the buffer: it moves with it, also when the
        // receive that follows brings no data (the server closed).
        if (c->body) c->body = grown + c->header_len;
    }
    return true;
}

// Counts n bytes just placed after the reply's data: renews the deadline, finds
// the end of the headers on the first piece, and points at the body.
void reply_added(WebConn* c, int32_t n) {
    c->reply.length += n;
    c->deadline = conn_now() + c->timeout;
    if (c->header_len == 0) {
        // Only the first piece is scanned: without a blank line in it, all of it
        // counts as header. Carriage returns are ignored, so "\r\n\r\n" and
        // "\n\n" both end the headers.
        c->header_len = c->reply.length;
        bool after_lf = false;
        for (int32_t i = 0; i < c->reply.length; ++i) {
            const char ch = c->reply.data[i];
            if (ch == '\r') continue;
            if (ch == '\n') {
                if (after_lf) {
                    c->header_len = i + 1;
                    break;
                }
                after_lf = true;
            } else {
                after_lf = false;
            }
        }
    }
    c->body = c->reply.data + c->header_len;
    c->body_len = c->reply.length - c->header_len;
}

}  // namespace

int32_t conn_now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int32_t(ts.tv_sec);
}

size_t conn_reply_limit() { return g_reply_limit; }
void set_conn_reply_limit(size_t bytes) { g_reply_limit = std::min(bytes, REPLY_LIMIT_MAX); }

WebConn* conn_open(const char* host, int port, const char* path, const void* body, int body_len,
                   int timeout) {
    reap_lookups();
    if (!host) host = "";
    if (!path) path = "";
    WebConn* c = static_cast<WebConn*>(calloc(1, sizeof(WebConn)));
    if (!c) throw std::bad_alloc();
    c->sock = -1;
    c->timeout = std::clamp(timeout, 0, TIMEOUT_MAX);
    c->deadline = conn_now() + c->timeout;
    c->out.data = static_cast<char*>(malloc(CONN_OUT_INITIAL));
    if (!c->out.data) throw std::bad_alloc();
    c->out.capacity = CONN_OUT_INITIAL;
    c->port = port;

    // The fixed fields cannot hold longer texts, and a cut host or path would
    // send the request somewhere else.
    if (strnlen(host, CONN_HOST_MAX) >= size_t(CONN_HOST_MAX)) {
        fprintf(stderr, "conn_open: host name too long\n");
        fail(c);
        return c;
    }
    if (strnlen(path, CONN_PATH_MAX) >= size_t(CONN_PATH_MAX)) {
        fprintf(stderr, "conn_open: path too long\n");
        fail(c);
        return c;
    }
    if (port <= 0 || port > 65535) {
        fprintf(stderr, "conn_open: bad port %d\n", port);
        fail(c);
        return c;
    }
    if (body_len < 0 || (body_len > 0 && !body)) {
        fprintf(stderr, "conn_open: bad body\n");
        fail(c);
        return c;
    }
    strcpy(c->host, host);
    strcpy(c->path, path);

    // The request text: bare line feeds, as the service has always received it.
    std::string head;
    char line[64];
    if (body_len != 0) {
        head = "POST ";
        head += c->path;
        head += " HTTP/1.0\nHost: ";
        head += c->host;
        snprintf(line, sizeof line, ":%d\n", port);
        head += line;
        head += "Content-Type: application/x-www-form-urlencoded\n";
        snprintf(line, sizeof line, "Content-Length: %d\n\n", body_len);
        head += line;
    } else {
        head = "GET ";
        head += c->path;
        head += " HTTP/1.0\nHost: ";
        head += c->host;
        snprintf(line, sizeof line, ":%d\n\n", port);
        head += line;
    }
    out_append(c, head.data(), head.size());
    out_append(c, body, size_t(body_len));

    c->addr.sin_family = AF_INET;
    c->addr.sin_port = htons(uint16_t(port));

    // A numeric address needs no lookup.
    if (inet_pton(AF_INET, c->host, &c->addr.sin_addr) == 1) {
        make_socket(c);
        return c;
    }
    if (!plausible_host_name(c->host) || reserved_invalid(c->host)) {
        lookup_failed(c, HOST_NOT_FOUND);
        return c;
    }
    // Anything else is looked up in the background; conn_poll collects it.
    PendingLookup* p = new PendingLookup();
    p->hints.ai_family = AF_INET;
    p->hints.ai_socktype = SOCK_STREAM;
    strcpy(p->name, c->host);
    p->cb.ar_name = p->name;
    p->cb.ar_request = &p->hints;
    gaicb* list[1] = {&p->cb};
    const int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
    if (rc != 0) {
        delete p;
        lookup_failed(c, rc);
        return c;
    }
    c->lookup = p;
    c->state = CONN_NOT_STARTED;
    return c;
}

int conn_poll(WebConn* c) {
    if (!c) return 1;
    if (c->state == CONN_COMPLETE || c->failed) return 1;
    const int32_t now = conn_now();
    if (now > c->deadline) {
        fprintf(stderr, "timeout :: state = %d\n", c->state);
        fail(c);
        return 1;
    }

    if (c->state == CONN_NOT_STARTED) {
        if (!c->lookup) {  // nothing to wait for: conn_open already failed
            fail(c);
            return 1;
        }
        const int rc = gai_error(&c->lookup->cb);
        if (rc == EAI_INPROGRESS) return 0;
        PendingLookup* p = c->lookup;
        c->lookup = nullptr;
        bool found = false;
        if (rc == 0) {
            for (addrinfo* a = p->cb.ar_result; a; a = a->ai_next) {
                if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
                    c->addr.sin_addr = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr;
                    found = true;
                    break;
                }
            }
        }
        free_lookup(p);
        if (!found) {
            lookup_failed(c, rc != 0 ? rc : NO_ADDRESS);
            return 1;
        }
        if (!make_socket(c)) return 1;
        c->deadline = now + c->timeout;
    }

    if (c->state == CONN_SOCKET_READY) {
        // Non-blocking: the connect completes in the background and shows as
        // writable (or in error) in a later readiness check.
        if (connect(c->sock, reinterpret_cast<const sockaddr*>(&c->addr), sizeof c->addr) == 0) {
            c->connected = 1;
        } else if (errno != EINPROGRESS && errno != EINTR) {
            connect_failed(errno);
            fail(c);
            return 1;
        }
        c->state = CONN_SENDING;
        c->deadline = now + c->timeout;
    }

    if (c->state != CONN_SENDING && c->state != CONN_RECEIVING) return c->state == CONN_COMPLETE;

    pollfd pfd = {c->sock, POLLIN | POLLOUT, 0};
    const int ready = poll(&pfd, 1, 0);
    if (ready < 0) {
        if (errno == EINTR) return 0;
        perror("select");
        fprintf(stderr, "error in select\n");
        fail(c);
        return 1;
    }
    if (ready == 0) return 0;
    const short ev = pfd.revents;

    if (c->state == CONN_SENDING) {
        if (!(ev & (POLLOUT | POLLERR | POLLHUP))) return 0;
        if (!c->connected) {
            int err = 0;
            socklen_t len = sizeof err;
            if (getsockopt(c->sock, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            if (err != 0) {
                connect_failed(err);
                fail(c);
                return 1;
            }
            c->connected = 1;
        }
        const ssize_t n = send(c->sock, c->out.data + c->out.sent,
                               size_t(c->out.length - c->out.sent), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
            perror("send");
            fprintf(stderr, "send error!!\n");
            fail(c);
            return 1;
        }
        c->out.sent += int32_t(n);
        if (n > 0) c->deadline = now + c->timeout;
        if (c->out.sent >= c->out.length) c->state = CONN_RECEIVING;
        return 0;
    }

    // CONN_RECEIVING
    if (!(ev & (POLLIN | POLLHUP | POLLERR))) return 0;
    // One byte past the limit is room enough to tell a reply that ends at the
    // limit (the next receive brings nothing) from one that goes on.
    const size_t length = size_t(c->reply.length);
    const size_t left = g_reply_limit > length ? g_reply_limit - length : 0;
    const size_t want = std::min(size_t(CONN_RECV_CHUNK), left + 1);
    if (!reply_room(c, want)) return 1;
    const ssize_t n = recv(c->sock, c->reply.data + c->reply.length, want, 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
        perror("recv");
        fail(c);
        return 1;
    }
    if (n == 0) {
        c->state = CONN_COMPLETE;
        return 1;
    }
    if (size_t(n) > left) {
        // Not counted, and zeroed so the data still ends in NUL.
        memset(c->reply.data + length, 0, size_t(n));
        reply_too_large(c);
        return 1;
    }
    reply_added(c, int32_t(n));
    return 0;
}

bool conn_take_reply(WebConn* c, const void* bytes, size_t n) {
    const char* in = static_cast<const char*>(bytes);
    while (n > 0) {
        const size_t piece = std::min(n, size_t(CONN_RECV_CHUNK));
        if (size_t(c->reply.length) + piece > g_reply_limit) {
            reply_too_large(c);
            return false;
        }
        if (!reply_room(c, piece)) return false;
        memcpy(c->reply.data + c->reply.length, in, piece);
        reply_added(c, int32_t(piece));
        in += piece;
        n -= piece;
    }
    return true;
}

void conn_header(const WebConn* c, const char* name, char* out) {
    memset(out, 0, CONN_HEADER_VALUE);
    if (!c || !c->reply.data || !name) return;
    const std::string key = std::string(name) + ":";
    const size_t klen = key.size();
    const char* data = c->reply.data;
    const size_t end = size_t(std::clamp(c->header_len, 0, c->reply.length));
    // Lines are looked for in the header section only; a value runs on to its
    // line's end even when that lies past the first piece received.
    const size_t data_end = size_t(std::max(c->reply.length, 0));
    size_t pos = 0;
    while (pos < end) {
        if (pos + klen <= end && memcmp(data + pos, key.data(), klen) == 0) {
            size_t v = pos + klen;
            while (v < data_end && data[v] == ' ') ++v;
            size_t k = 0;
            while (v < data_end && k < CONN_HEADER_VALUE - 1 && data[v] != '\r' && data[v] != '\n')
                out[k++] = data[v++];
            return;
        }
        const void* lf = memchr(data + pos, '\n', end - pos);
        if (!lf) break;
        pos = size_t(static_cast<const char*>(lf) - data) + 1;
    }
}

void conn_free(WebConn* c) {
    if (!c) return;
    if (c->sock >= 0) ::close(c->sock);
    if (c->lookup) park_lookup(c->lookup);
    free(c->out.data);
    free(c->reply.data);
    free(c);
    reap_lookups();
}

WebRequest::WebRequest(const WebRequest& other)
    : host(other.host), port(other.port), path(other.path), post(other.post),
      timeout(other.timeout) {}

WebRequest& WebRequest::operator=(const WebRequest& other) {
    if (this == &other) return *this;
    close();
    host = other.host;
    port = other.port;
    path = other.path;
    post = other.post;
    timeout = other.timeout;
    return *this;
}

WebRequest::~WebRequest() { close(); }

void WebRequest::start() {
    if (conn) return;
    // Whole seconds, truncated; a NaN or out-of-range value cannot be converted.
    int seconds = 0;
    if (timeout >= 1.0f) seconds = timeout < float(TIMEOUT_MAX) ? int(timeout) : TIMEOUT_MAX;
    const int body_len = post.size() > size_t(INT_MAX) ? -1 : int(post.size());
    conn = conn_open(host.c_str(), port, path.c_str(), post.data(), body_len, seconds);
}

std::string WebRequest::header(const char* name) const {
    char value[CONN_HEADER_VALUE];
    conn_header(conn, name, value);
    return value;
}

void WebRequest::close() {
    if (conn) conn_free(conn);
    conn = nullptr;
}
