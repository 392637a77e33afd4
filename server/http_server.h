// The level service over HTTP, on libmicrohttpd: connections, limits, request
// bodies and the request log; everything else is Service::handle.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "server/service.h"

struct MHD_Daemon;

struct HttpOptions {
    std::string address = "127.0.0.1";  // IPv4 or IPv6 literal
    int port = 8457;                     // 0: any free port (see HttpServer::port)
    unsigned threads = 2;                // worker threads, each with its own event loop
    unsigned max_connections = 1000;     // open connections in all
    unsigned max_per_address = 64;       // open connections from one address
    unsigned timeout = 15;               // seconds a connection may stay silent
    size_t max_body = 1 << 20;           // longer request bodies get 413
    bool log = true;                     // one line per request on stderr
};

// Text from players made safe for one line of a log or a terminal: printable
// ASCII as it is, every other byte (and the backslash and the quote) as \xNN,
// about `limit` bytes at most. Control sequences in a title stay inert.
std::string printable(const std::string& s, size_t limit = 120);

// Parses "ADDR:PORT" ("127.0.0.1:8457", "[::1]:8457"). False for anything else.
bool parse_listen(const std::string& text, std::string& address, int& port);

class HttpServer {
public:
    HttpServer(Service& service, HttpOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and serves on the options' threads. False, with a line on stderr,
    // when the address cannot be bound.
    bool start();
    // The bound port (the chosen one when the options asked for 0).
    int port() const { return port_; }
    // Finishes the requests under way and closes every connection.
    void stop();

    // Manual mode, for driving connections by hand on one thread (the
    // fuzzer): no listening socket, no threads. add_connection hands over a
    // connected socket (it is closed by the server); run_once does the work
    // that is ready without waiting.
    bool start_manual();
    bool add_connection(int fd);
    void run_once();
    // Connections closed so far.
    unsigned long closed_connections() const { return closed_; }

    // Called by the libmicrohttpd callbacks.
    struct Exchange;
    int on_request(void* connection, const char* url, const char* method, const char* upload_data,
                   size_t* upload_data_size, void** context);
    void on_closed() { ++closed_; }
    void log_request(const Exchange& x, const char* method, const Reply& reply, size_t bytes) const;

private:
    Service& service_;
    HttpOptions options_;
    MHD_Daemon* daemon_ = nullptr;
    int port_ = 0;
    std::atomic<unsigned long> closed_{0};
};
