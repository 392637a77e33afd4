// The level service under load, on loopback: a real murkwell-server process
// (two worker threads, request log to a file, durable database) and one
// load-generating thread holding 64 connections open at all times, each
// request on a fresh connection with bare line feeds and HTTP/1.0, exactly as
// the game sends them. Client and service share the machine.
//   - valid:    a signed-in account checked;
//   - download: a list of 50 levels ("u~" of an author with 50 maps), the
//               SQLite file built once and then served from the list cache;
//   - share:    a map uploaded, checked, compressed again and stored (each
//               request a new map identifier, so every share inserts a row);
//               with the default --sync full (each acknowledged share synced
//               to disk) and with --sync normal (a second service).
// Each reports requests per second and the median and 99th-percentile latency
// (from connect to the service closing the connection) as counters.
//   build/bench/server_bench
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "text/text.h"
#include "world/level.h"

namespace {

using Clock = std::chrono::steady_clock;
const int CONNECTIONS = 64;
const double PHASE_SECONDS = 5.0;

std::string e(const std::string& s) {
    std::string out(url_encoded_length(s.size(), s.data()), '\0');
    url_encode(s.size(), &out[0], out.size(), s.data());
    out.resize(out.size() - 1);
    return out;
}

std::string md5(const std::string& s) {
    char out[33];
    md5_hex(s.size(), s.data(), out);
    return out;
}

const std::string TOKEN = md5("bench|" + md5("secret1"));
const std::string API = "/murkwell/api.php?&_vinfo=1%2e0%2e3%2dDesktop%2dWin32%2dVANTORR&_version=2"
                        "&_uid=g%3abench&_name=bench&_token=" + TOKEN + "&_udid=time%7c1700000000&_action=";

std::string get(const std::string& target) { return "GET " + target + " HTTP/1.0\nHost: 127.0.0.1\n\n"; }
std::string post(const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.0\nHost: 127.0.0.1\nContent-Type: application/x-www-form-urlencoded\n"
           "Content-Length: " + std::to_string(body.size()) + "\n\n" + body;
}

// The data field of a won map with a pattern, as the game encodes it.
std::string map_data(int seed) {
    std::unique_ptr<level> lv(new level());
    for (int y = 4; y < 124; ++y)
        for (int x = 4; x < 124; ++x) lv->map[x + 128 * y] = uint8_t((x * seed + y) % 3 == 0 ? 32 : 1);
    lv->map[64 + 128 * 64] = 4;
    lv->unbeaten = 0;
    std::string packed(compressBound(sizeof(level)), '\0');
    uLongf n = packed.size();
    compress2(reinterpret_cast<Bytef*>(&packed[0]), &n, reinterpret_cast<const Bytef*>(lv.get()), sizeof(level), 6);
    packed.resize(n);
    return e(base64_encode(packed.data(), packed.size()));
}

// A service process for the whole run.
struct Service {
    std::string dir;
    pid_t pid = -1;
    int port = 0;
    explicit Service(const char* sync) {
        char tmpl[] = "/tmp/murkwell-bench-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        dir = tmpl;
        pid = fork();
        if (pid == 0) {
            const int log = open((dir + "/service.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(log, 2);
            const std::string bin = std::string(MURKWELL_BINARY_DIR) + "/murkwell-server";
            const std::string db = dir + "/service.db";
            const std::string data = std::string(MURKWELL_SOURCE_DIR) + "/data";
            execl(bin.c_str(), bin.c_str(), "--listen", "127.0.0.1:0", "--db", db.c_str(), "--data", data.c_str(),
                  "--share-limit", "1000000000/1", "--max-per-address", "1000", "--seed", "/nonexistent",
                  "--sync", sync, static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string mark = "listening on 127.0.0.1:";
        for (int i = 0; i < 5000 && port == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            FILE* f = fopen((dir + "/service.log").c_str(), "rb");
            if (!f) continue;
            char buf[8192];
            const size_t n = fread(buf, 1, sizeof buf - 1, f);
            fclose(f);
            buf[n] = '\0';
            if (const char* at = strstr(buf, mark.c_str())) port = atoi(at + mark.size());
        }
        if (port == 0) abort();
    }
    ~Service() {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        if (system(("rm -rf '" + dir + "'").c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
};

struct Result {
    uint64_t done = 0, failed = 0;
    uint64_t bytes = 0;      // of the good replies, headers included
    double seconds = 0;
    std::vector<double> ms;  // latency of every completed request
};

// Keeps `connections` requests in flight for `seconds`: request(i) is the i-th
// request's bytes. A reply counts as failed unless it is 2xx without X-Error.
Result load(int port, int connections, double seconds, const std::function<std::string(uint64_t)>& request) {
    struct Slot {
        int fd = -1;
        std::string out, in;
        size_t sent = 0;
        Clock::time_point began;
    };
    std::vector<Slot> slots(static_cast<size_t>(connections));
    const int ep = epoll_create1(EPOLL_CLOEXEC);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    uint64_t next = 0;
    Result r;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));

    auto open_slot = [&](size_t i) {
        Slot& s = slots[i];
        s.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        s.out = request(next++);
        s.in.clear();
        s.sent = 0;
        s.began = Clock::now();
        if (connect(s.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) abort();
        epoll_event ev{};
        ev.events = EPOLLOUT;
        ev.data.u64 = i;
        epoll_ctl(ep, EPOLL_CTL_ADD, s.fd, &ev);
    };
    for (size_t i = 0; i < slots.size(); ++i) open_slot(i);
    size_t open = slots.size();
    epoll_event events[256];
    char buf[65536];
    while (open > 0) {
        const int n = epoll_wait(ep, events, 256, 1000);
        for (int k = 0; k < n; ++k) {
            const size_t i = events[k].data.u64;
            Slot& s = slots[i];
            if (s.sent < s.out.size()) {
                const ssize_t w = send(s.fd, s.out.data() + s.sent, s.out.size() - s.sent, MSG_NOSIGNAL);
                if (w > 0) s.sent += size_t(w);
                if (s.sent == s.out.size()) {
                    epoll_event ev{};
                    ev.events = EPOLLIN;
                    ev.data.u64 = i;
                    epoll_ctl(ep, EPOLL_CTL_MOD, s.fd, &ev);
                }
                if (w >= 0 || errno == EAGAIN) continue;
            }
            ssize_t got;
            while ((got = recv(s.fd, buf, sizeof buf, 0)) > 0) s.in.append(buf, size_t(got));
            if (got < 0 && errno == EAGAIN) continue;
            // The service closed the connection: the reply is whole.
            const Clock::time_point now = Clock::now();
            const size_t head = s.in.find("\r\n\r\n");
            const bool good = s.in.compare(0, 5, "HTTP/") == 0 && s.in.compare(8, 3, " 20") == 0;
            if (good && head != std::string::npos && s.in.substr(0, head).find("X-Error:") == std::string::npos) {
                ++r.done;
                r.bytes += s.in.size();
                r.ms.push_back(std::chrono::duration<double, std::milli>(now - s.began).count());
            } else {
                ++r.failed;
            }
            close(s.fd);
            s.fd = -1;
            if (now < end) open_slot(i);
            else --open;
        }
    }
    close(ep);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return r;
}

Service& service() {
    static Service s("full");
    return s;
}

Service& service_sync_normal() {
    static Service s("normal");
    return s;
}

// One exchange, for setting up; a refusal ends the run.
void once(Service& to, const std::string& request) {
    if (load(to.port, 1, 0.0, [&](uint64_t) { return request; }).done != 1) {
        fprintf(stderr, "set-up request refused: %s\nsee %s/service.log\n", request.substr(0, 80).c_str(),
                to.dir.c_str());
        abort();
    }
}

const std::string CREATE_ACCOUNT =
    post("/murkwell/manage.php", "do=create&name=bench&password=secret1&password2=secret1");

void report(benchmark::State& state, Result r) {
    std::sort(r.ms.begin(), r.ms.end());
    auto at = [&](double q) { return r.ms.empty() ? 0.0 : r.ms[std::min(r.ms.size() - 1, size_t(q * r.ms.size()))]; };
    state.SetIterationTime(r.seconds);
    state.counters["req_per_s"] = double(r.done) / r.seconds;
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["failed"] = double(r.failed);
    state.counters["reply_bytes"] = r.done ? double(r.bytes) / double(r.done) : 0.0;
}

void setup() {
    static bool done = false;
    if (done) return;
    done = true;
    rlimit files;
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    once(service(), CREATE_ACCOUNT);
    // The author with exactly 50 maps: the list the download phase fetches.
    for (int i = 0; i < 50; ++i) {
        const std::string body = "&target=1&id=list" + std::to_string(i) + "&title=Map%20" + std::to_string(i) +
                                 "&intro=Intro&data=" + map_data(i + 2);
        once(service(), post(API + "share", body));
    }
}

void BM_Valid(benchmark::State& state) {
    setup();
    for (auto _ : state)
        report(state, load(service().port, CONNECTIONS, PHASE_SECONDS, [](uint64_t) { return get(API + "valid"); }));
}
BENCHMARK(BM_Valid)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Download50(benchmark::State& state) {
    setup();
    const std::string request = get(API + "download&q=u%7eg%3abench");
    for (auto _ : state)
        report(state, load(service().port, CONNECTIONS, PHASE_SECONDS, [&](uint64_t) { return request; }));
}
BENCHMARK(BM_Download50)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Share(benchmark::State& state) {
    setup();
    const std::string data = map_data(7);
    for (auto _ : state)
        report(state, load(service().port, CONNECTIONS, PHASE_SECONDS, [&](uint64_t i) {
                   return post(API + "share", "&target=1&id=b" + std::to_string(i) +
                                                  "&title=Bench&intro=Intro&data=" + data);
               }));
}
BENCHMARK(BM_Share)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_ShareSyncNormal(benchmark::State& state) {
    static bool account = false;
    if (!account) once(service_sync_normal(), CREATE_ACCOUNT);
    account = true;
    const std::string data = map_data(7);
    for (auto _ : state)
        report(state, load(service_sync_normal().port, CONNECTIONS, PHASE_SECONDS, [&](uint64_t i) {
                   return post(API + "share", "&target=1&id=b" + std::to_string(i) +
                                                  "&title=Bench&intro=Intro&data=" + data);
               }));
}
BENCHMARK(BM_ShareSyncNormal)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
