// A real murkwell-server process for the tests, on 127.0.0.1 and a free port
// with its database and log in a test folder, and raw HTTP exchanges with it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "text/text.h"
#include "world/level.h"

namespace servertest {

// Generous bound of every wait: reaching it is a failure, never a measurement.
constexpr double WAIT_SECONDS = 30.0;

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Polls pred every millisecond until it holds or WAIT_SECONDS pass.
template <class Pred>
bool eventually(Pred pred) {
    const auto t0 = std::chrono::steady_clock::now();
    while (seconds_since(t0) < WAIT_SECONDS) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

inline std::string server_binary() { return std::string(MURKWELL_BINARY_DIR) + "/murkwell-server"; }

class ServerProcess {
public:
    // db and log live in dir; extra options are added to the command line.
    ServerProcess(const std::string& dir, std::vector<std::string> options = {})
        : dir_(dir), options_(std::move(options)) {}
    ~ServerProcess() { kill9(); }

    std::string db() const { return dir_ + "/service.db"; }
    std::string log_path() const { return dir_ + "/service.log"; }
    std::string log() const { return test::read_file(log_path()); }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

    // Starts the service and waits until it says where it listens.
    bool start() {
        const size_t log_before = log().size();
        // No featured seed: the shipped featured levels would fill the lists
        // these tests count. A test that wants a seed passes its own --seed.
        std::vector<std::string> args = {server_binary(), "--listen", "127.0.0.1:0", "--db", db(),
                                         "--data", test::source_data_dir(),
                                         "--seed", dir_ + "/no-featured.db"};
        args.insert(args.end(), options_.begin(), options_.end());
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(log_path().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(fd, 2);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        const std::string mark = "listening on 127.0.0.1:";
        bool up = eventually([&] {
            const std::string text = log().substr(log_before);
            const size_t at = text.find(mark);
            if (at != std::string::npos) port_ = atoi(text.c_str() + at + mark.size());
            return port_ > 0 || exited();
        });
        return up && port_ > 0;
    }

    // SIGTERM, then the exit status (-1 when it did not end in time or was killed).
    int terminate() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        const bool ended = eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!ended) kill9();
        pid_ = -1;
        port_ = 0;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void kill9() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        port_ = 0;
    }

    // An administration command on the same database; its standard output.
    std::string admin(const std::string& arguments) const {
        return test::run(server_binary() + " " + arguments + " --db '" + db() + "' 2>&1");
    }

private:
    bool exited() {
        int status;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return false;
        pid_ = -1;
        return true;
    }

    std::string dir_;
    std::vector<std::string> options_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// A connected socket to 127.0.0.1:port, from the source address `from`
// (another loopback address counts as another client); -1 on failure.
inline int connect_to(int port, const char* from = nullptr) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (from) {
        sockaddr_in src{};
        src.sin_family = AF_INET;
        inet_pton(AF_INET, from, &src.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&src), sizeof src) != 0) {
            close(fd);
            return -1;
        }
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until the peer closes (or WAIT_SECONDS pass); "" when nothing came.
inline std::string read_to_end(int fd) {
    std::string out;
    const auto t0 = std::chrono::steady_clock::now();
    char buf[65536];
    while (seconds_since(t0) < WAIT_SECONDS) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, size_t(n));
    }
    return out;
}

inline bool send_all(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

struct Reply {
    int status = 0;          // 0: no reply
    std::string head, body;

    // The value of the first header line "name: value"; "" when absent.
    std::string header(const std::string& name) const {
        const std::string key = "\n" + name + ":";
        const size_t at = ("\n" + head).find(key);
        if (at == std::string::npos) return "";
        size_t from = at + key.size() - 1;
        while (from < head.size() && head[from] == ' ') ++from;
        return head.substr(from, head.find_first_of("\r\n", from) - from);
    }
};

inline Reply parse_reply(const std::string& raw) {
    Reply r;
    size_t end = raw.find("\r\n\r\n");
    const size_t skip = end == std::string::npos ? 0 : 4;
    if (end == std::string::npos) end = raw.size();
    r.head = raw.substr(0, end);
    r.body = raw.substr(std::min(raw.size(), end + skip));
    if (raw.compare(0, 5, "HTTP/") == 0) r.status = atoi(raw.c_str() + raw.find(' ') + 1);
    return r;
}

// One exchange on a fresh connection: sends raw bytes, reads the whole reply.
inline Reply round_trip(int port, const std::string& raw, const char* from = nullptr) {
    const int fd = connect_to(port, from);
    if (fd < 0) return Reply();
    send_all(fd, raw);
    const std::string got = read_to_end(fd);
    close(fd);
    return parse_reply(got);
}

// The request lines the game sends (bare line feeds, HTTP/1.0).
inline std::string get(const std::string& target, int port) {
    return "GET " + target + " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(port) + "\n\n";
}
inline std::string post(const std::string& target, const std::string& body, int port) {
    return "POST " + target + " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(port) +
           "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " +
           std::to_string(body.size()) + "\n\n" + body;
}

// ---------------------------------------------------------------------------
// Requests as the game makes them

inline std::string e(const std::string& s) {
    std::string out(url_encoded_length(s.size(), s.data()), '\0');
    url_encode(s.size(), &out[0], out.size(), s.data());
    out.resize(out.size() - 1);
    return out;
}

inline std::string md5(const std::string& s) {
    char out[33];
    md5_hex(s.size(), s.data(), out);
    return out;
}

inline std::string deflate(const std::string& bytes) {
    std::string out(compressBound(uLong(bytes.size())), '\0');
    uLongf n = out.size();
    compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(bytes.data()),
              uLong(bytes.size()), 9);
    out.resize(n);
    return out;
}

// A record that passes every check: a player start (tile 4) and won cleanly.
inline std::string good_record() {
    std::unique_ptr<level> lv(new level());
    lv->map[64 + MAP_SIZE * 64] = 4;
    lv->unbeaten = 0;
    return std::string(reinterpret_cast<const char*>(lv.get()), sizeof(level));
}

// The "data" field of a share: compressed bytes in base64, percent-encoded.
inline std::string data_field(const std::string& compressed) {
    return e(base64_encode(compressed.data(), compressed.size()));
}

// The query of an API request as the game builds it.
inline std::string api(const std::string& action, const std::string& name = "", const std::string& password = "") {
    return "/murkwell/api.php?&_vinfo=1%2e0&_version=2&_uid=" + e("g:" + name) + "&_name=" + e(name) +
           "&_token=" + md5(name + "|" + md5(password)) + "&_udid=time%7c1&_action=" + action;
}

inline std::string share_body(const std::string& id, const std::string& data) {
    return "&target=1&id=" + e(id) + "&title=T&intro=I&data=" + data;
}

}  // namespace servertest
