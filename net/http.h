// A minimal HTTP/1.0 client over POSIX sockets, driven by polling.
//
// A request is described by a WebRequest; start() opens a WebConn, which the
// owner then advances with conn_poll once per frame. No call ever waits: the
// host lookup runs in the background (getaddrinfo_a), the socket is
// non-blocking, readiness is asked with a zero time-out, and each poll makes at
// most one send or one receive of at most 4096 bytes. Main thread only.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

enum : int {
    CONN_NOT_STARTED = 0,  // the host lookup is still running
    CONN_SOCKET_READY = 1, // address known, socket made, not connected yet
    CONN_SENDING = 2,      // connecting or sending the request
    CONN_RECEIVING = 3,    // request sent, reading the reply
    CONN_COMPLETE = 4,     // the server closed the connection: the reply is whole

    CONN_HOST_MAX = 256,   // host names must be shorter than this
    CONN_PATH_MAX = 1024,  // paths must be shorter than this
    CONN_RECV_CHUNK = 4096,  // at most this many bytes per receive
    CONN_OUT_INITIAL = 1024, // first capacity of the request buffer
    CONN_HEADER_VALUE = 256, // conn_header's output buffer, NUL included
};

struct PendingLookup;

// One connection: the request text going out and the reply coming in. Created
// zero-filled by conn_open, released by conn_free.
struct WebConn {
    char* body;           // start of the reply body inside reply.data
    int32_t body_len;     // bytes of body received so far
    int32_t failed;       // 1 once the request has failed for any reason
    char host[CONN_HOST_MAX];
    int32_t port;
    char path[CONN_PATH_MAX];
    struct {
        int32_t length;   // bytes of request text
        int32_t capacity;
        int32_t sent;     // bytes already sent
        char* data;
    } out;
    struct {
        int32_t length;   // bytes received, headers and body
        int32_t capacity; // always more than length: the data is NUL-padded
        char* data;
    } reply;
    int32_t header_len;   // status line and headers with the blank line; 0 until known
    int32_t state;        // CONN_*
    int32_t deadline;     // monotonic seconds after which the request fails
    int32_t timeout;      // seconds of silence allowed
    int sock;             // -1 when none
    sockaddr_in addr;
    // Run-time bookkeeping beyond the wire record.
    int32_t connected;      // 1 once the non-blocking connect is known to have succeeded
    PendingLookup* lookup;  // the background host lookup while state is CONN_NOT_STARTED
};

// Creates a connection for a request to host:port with the given path and, when
// body_len is not 0, a form body (a POST; otherwise a GET). timeout is in whole
// seconds. Never returns null: failures (a host or path too long, a host that
// cannot be a name, a lookup that cannot start, no socket) set `failed` with a
// line on stderr.
WebConn* conn_open(const char* host, int port, const char* path, const void* body, int body_len,
                   int timeout);

// Advances the connection by at most one send or one receive. Returns 1 when
// the request is over (complete or failed), 0 while it runs. Never waits.
int conn_poll(WebConn* c);

// Copies into out (CONN_HEADER_VALUE bytes, cleared first) the value of the
// first line of the header section (header_len) starting exactly with
// "name:" (case-sensitive), without the spaces after the colon, up to the end
// of that line or of the data received, at most 255 bytes. Empty when not
// found.
void conn_header(const WebConn* c, const char* name, char* out);

// Closes the socket, abandons a running lookup and frees everything. Null is
// ignored.
void conn_free(WebConn* c);

// Adds n bytes to the reply exactly as receives would, CONN_RECV_CHUNK bytes at
// a time (growth, header scan, body). False, with `failed` set, when the reply
// would outgrow conn_reply_limit. conn_poll's receives take the same steps;
// parsers and fuzzers feed replies through this directly.
bool conn_take_reply(WebConn* c, const void* bytes, size_t n);

// Replies beyond this many bytes fail the request, so a server cannot make the
// reply buffer grow without end; a reply of exactly this many completes.
// Default 64 MiB; tests lower it.
size_t conn_reply_limit();
void set_conn_reply_limit(size_t bytes);

// The seconds clock of the deadlines (monotonic, so a change of the wall clock
// neither kills nor prolongs a request).
int32_t conn_now();

// One request: where to, what to send, how long to wait, and its connection.
class WebRequest {
public:
    WebRequest() = default;
    // Copies describe the same request but never share the connection: the copy
    // starts without one.
    WebRequest(const WebRequest& other);
    WebRequest& operator=(const WebRequest& other);
    virtual ~WebRequest();

    // Opens the connection when there is none; does nothing otherwise.
    void start();
    // The value of a reply header ("" when absent or no connection).
    std::string header(const char* name) const;
    // Frees the connection, if any.
    void close();

    std::string host;
    int32_t port = 80;
    std::string path = "/";
    std::string post;        // form body; empty means GET
    float timeout = 30.0f;   // seconds of silence allowed
    WebConn* conn = nullptr; // owned
};
