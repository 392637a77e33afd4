// A scripted HTTP test server on 127.0.0.1 that speaks raw bytes, so it can
// misbehave on purpose, and poll loops for the client side.
//
// Every accepted connection gets a thread that first reads the request (up to
// the blank line, then Content-Length bytes of body). With a responder, the
// responder's answer is sent and the connection closed; when the responder
// gives std::nullopt (or there is none) the connection waits for the test's
// commands: send bytes, close.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/http.h"

namespace nettest {

// Generous bound of every wait in the tests: reaching it is a failure, never a
// measurement.
constexpr double WAIT_SECONDS = 30.0;

using Responder = std::function<std::optional<std::string>(const std::string& request)>;

class ScriptServer {
public:
    explicit ScriptServer(Responder responder = {}) : responder_(std::move(responder)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        int one = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(listener_, 16) != 0)
            abort();
        socklen_t len = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { accept_loop(); });
    }

    ~ScriptServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        acceptor_.join();
        for (auto& c : conns_) c->thread.join();
        ::close(listener_);
    }

    int port() const { return port_; }

    // Waits until n requests have been read completely.
    bool wait_requests(size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::duration<double>(WAIT_SECONDS),
                            [&] { return count_read() >= n; });
    }

    // The request read on connection i (in accept order); waits for it.
    std::string request(size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, std::chrono::duration<double>(WAIT_SECONDS),
                     [&] { return i < conns_.size() && conns_[i]->request_done; });
        return i < conns_.size() ? conns_[i]->request : std::string();
    }

    size_t requests_read() {
        std::lock_guard<std::mutex> lock(mutex_);
        return count_read();
    }

    size_t connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return conns_.size();
    }

    void send(size_t i, const std::string& bytes) { command(i, Command{false, bytes}); }
    void close(size_t i) { command(i, Command{true, {}}); }

    // Waits until the client has closed connection i.
    bool wait_peer_closed(size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::duration<double>(WAIT_SECONDS), [&] {
            return i < conns_.size() && conns_[i]->peer_closed;
        });
    }

private:
    struct Command {
        bool close;
        std::string bytes;
    };
    struct Conn {
        int fd = -1;
        std::string request;
        bool request_done = false;
        bool peer_closed = false;
        std::deque<Command> commands;
        std::thread thread;
    };

    size_t count_read() const {
        size_t n = 0;
        for (auto& c : conns_) n += c->request_done ? 1 : 0;
        return n;
    }

    // Queues a command for connection i, waiting until it has been accepted.
    void command(size_t i, Command c) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_for(lock, std::chrono::duration<double>(WAIT_SECONDS),
                         [&] { return i < conns_.size(); });
            if (i >= conns_.size()) return;
            conns_[i]->commands.push_back(std::move(c));
        }
        cv_.notify_all();
    }

    bool stopping() {
        std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    }

    void accept_loop() {
        while (!stopping()) {
            pollfd p = {listener_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                conns_.push_back(std::make_unique<Conn>());
                Conn* c = conns_.back().get();
                c->fd = fd;
                c->thread = std::thread([this, c] { serve(c); });
            }
            cv_.notify_all();
        }
    }

    static bool write_all(int fd, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += size_t(n);
        }
        return true;
    }

    // Bytes of request expected once the head is known: the head plus
    // Content-Length (any case), or 0 while the blank line is missing.
    static size_t request_size(const std::string& r) {
        size_t end = r.find("\n\n");
        size_t head = end == std::string::npos ? 0 : end + 2;
        const size_t crlf = r.find("\r\n\r\n");
        if (crlf != std::string::npos && (head == 0 || crlf + 4 < head)) head = crlf + 4;
        if (head == 0) return 0;
        std::string lower = r.substr(0, head);
        for (char& ch : lower) ch = char(tolower(static_cast<unsigned char>(ch)));
        const size_t at = lower.find("content-length:");
        if (at == std::string::npos) return head;
        return head + size_t(strtoul(lower.c_str() + at + 15, nullptr, 10));
    }

    void serve(Conn* c) {
        std::string request;
        char buf[65536];
        while (!stopping()) {
            const size_t want = request_size(request);
            if (want != 0 && request.size() >= want) break;
            pollfd p = {c->fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = recv(c->fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, size_t(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            c->request = request;
            c->request_done = true;
        }
        cv_.notify_all();

        std::optional<std::string> answer;
        if (responder_) answer = responder_(request);
        if (answer) {
            write_all(c->fd, *answer);
            ::close(c->fd);
            return;
        }
        for (;;) {
            Command cmd;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait_for(lock, std::chrono::milliseconds(10),
                             [&] { return stop_ || !c->commands.empty(); });
                if (stop_) break;
                if (c->commands.empty()) {
                    lock.unlock();
                    watch_peer(c);
                    continue;
                }
                cmd = std::move(c->commands.front());
                c->commands.pop_front();
            }
            if (cmd.close) break;
            write_all(c->fd, cmd.bytes);
        }
        ::close(c->fd);
    }

    // Notes when the client has closed its end.
    void watch_peer(Conn* c) {
        pollfd p = {c->fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return;
        char b;
        const ssize_t n = recv(c->fd, &b, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN)) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                c->peer_closed = true;
            }
            cv_.notify_all();
        }
    }

    Responder responder_;
    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::vector<std::unique_ptr<Conn>> conns_;
    std::thread acceptor_;
};

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Polls c until the request is over or the generous bound passes. Returns
// true when it is over.
inline bool poll_until_over(WebConn* c) {
    const auto t0 = std::chrono::steady_clock::now();
    while (seconds_since(t0) < WAIT_SECONDS) {
        if (conn_poll(c)) return true;
        usleep(500);
    }
    return false;
}

// Polls c until pred() holds (or the request is over, or the bound passes).
template <class Pred>
bool poll_until(WebConn* c, Pred pred) {
    const auto t0 = std::chrono::steady_clock::now();
    while (seconds_since(t0) < WAIT_SECONDS) {
        if (pred()) return true;
        if (conn_poll(c)) return pred();
        usleep(500);
    }
    return false;
}

}  // namespace nettest
