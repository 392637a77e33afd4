// The web service client:
//  - store_download of a 500-level download database into a real "net.db"
//    (default SQLite settings, one transaction), as save_download does after
//    a reply: write tmp.db, open and upgrade it, replace the query's rows;
//  - the network step of one frame (web_poll) with five slots busy: each
//    connected to a local server that streams without pause, so every poll of
//    every slot receives 4096 bytes; and with five slots connected but idle.
// No display needed:
//   build/bench/net_bench
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/app.h"
#include "core/game.h"
#include "db/mydb.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "world/storage.h"

namespace {

// A per-user folder, a data folder and the network database, once per run.
struct Environment {
    std::string dir;
    std::unique_ptr<game> g{new game()};
    Environment() {
        char tmpl[] = "/tmp/murkwell-bench-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        dir = tmpl;
        setenv("APPDATA", dir.c_str(), 1);
        driver().app_name = "Murkwell";
        mkdir((dir + "/data").c_str(), 0700);
        set_data_dir(dir + "/data");
        open_level_db(app_handles().net_db, path_join(user_dir(), "net.db"));
        snprintf(g->settings.user, sizeof g->settings.user, "bench");
        snprintf(g->settings.user_id, sizeof g->settings.user_id, "g:bench");
        snprintf(g->settings.device_id, sizeof g->settings.device_id, "time|1700000000");
        g->state = 0;  // no screens: a stored download re-enters nothing
    }
    ~Environment() {
        if (dir.rfind("/tmp/murkwell-bench-", 0) == 0 && system(("rm -rf '" + dir + "'").c_str()) != 0)
            fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
};

Environment& env() {
    static Environment e;
    return e;
}

// A hand-made-looking map: rooms of floor and walls with scattered objects.
std::string compressed_level(uint32_t seed) {
    std::unique_ptr<level> lv(new level());
    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool wall = x % 12 == 0 || y % 10 == 0;
            const bool door = x % 12 == 6 || y % 10 == 5;
            uint8_t tile = wall && !door ? 5 : 1;
            if (!wall && (seed >> 24) % 23 == 0) tile = uint8_t(6 + (seed >> 16) % 20);
            lv->map[x + MAP_SIZE * y] = tile;
        }
    }
    std::string out(compressBound(sizeof(level)), '\0');
    uLongf n = out.size();
    compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(lv.get()),
              sizeof(level), Z_DEFAULT_COMPRESSION);
    out.resize(n);
    return out;
}

// The bytes of a download database with `count` levels.
std::string download_database(int count) {
    const std::string path = env().dir + "/download.db";
    unlink(path.c_str());
    {
        MyDB db;
        open_level_db(db, path);
        db.query("begin");
        for (int i = 0; i < count; ++i) {
            const std::string id = std::to_string(1700000000 + i);
            db.query("insert into levels (id,name,author,data,title,ts,uid,stars,skulls,intro,value) "
                     "values (?,?,?,?,?,?,?,?,?,?,?)",
                     {id, "map" + id, "author" + std::to_string(i % 37), compressed_level(uint32_t(i)),
                      "Title of level " + std::to_string(i), id, "g:author" + std::to_string(i % 37),
                      "3.5", "2.25", "Sneak past the guards and blow up every pillar.",
                      std::to_string(i)});
        }
        db.query("commit");
    }
    FILE* f = fopen(path.c_str(), "rb");
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    fclose(f);
    return bytes;
}

void BM_SaveDownload500(benchmark::State& state) {
    game& g = *env().g;
    snprintf(g.download_query, sizeof g.download_query, "c~featured");
    const std::string body = download_database(500);
    for (auto _ : state) {
        if (!store_download(g, body.data(), body.size(), body.size() + 80))
            state.SkipWithError("store_download failed");
    }
    state.counters["body_kB"] = double(body.size()) / 1024.0;
    const std::vector<Row> rows =
        app_handles().net_db.query("select count(*) as n from levels where q = 'c~featured'");
    state.counters["rows"] = rows.empty() ? 0.0 : std::stod(rows[0].at("n"));
}
BENCHMARK(BM_SaveDownload500)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A local server: every connection's request is read, then (when streaming)
// bytes are written without pause until the client goes away.
class StreamServer {
public:
    explicit StreamServer(bool streaming) : streaming_(streaming) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 16);
        socklen_t len = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] {
            while (!stop_) {
                pollfd p = {listener_, POLLIN, 0};
                if (poll(&p, 1, 20) <= 0) continue;
                const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) workers_.emplace_back([this, fd] { serve(fd); });
            }
        });
    }
    ~StreamServer() {
        stop_ = true;
        acceptor_.join();
        for (auto& w : workers_) w.join();
        ::close(listener_);
    }
    int port() const { return port_; }

private:
    void serve(int fd) {
        char buf[4096];
        recv(fd, buf, sizeof buf, 0);  // the request (small GETs and one POST head)
        std::string chunk = "HTTP/1.0 200 OK\nX-Response: 1\n\n";
        chunk += std::string(65536, 'x');
        while (!stop_ && streaming_) {
            pollfd p = {fd, POLLOUT, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            if (send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                errno != EAGAIN)
                break;
        }
        while (!stop_ && !streaming_) usleep(1000);
        ::close(fd);
    }

    bool streaming_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

void start_five_slots(game& g, int port) {
    const std::string service = "{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(port) + "}";
    FILE* f = fopen((env().dir + "/data/service.txt").c_str(), "wb");
    fwrite(service.data(), 1, service.size(), f);
    fclose(f);
    web_startup();
    snprintf(g.download_query, sizeof g.download_query, "c~featured");
    snprintf(g.edit_level.id, sizeof g.edit_level.id, "1700000000");
    snprintf(g.level.name, sizeof g.level.name, "bench");
    api_track(g, 1, "bench", "start");
    api_share(g, 1);
    api_download(g);
    api_plays(g, 3, 2);
    api_valid(g);
}

long long received(const WebSlots& s) {
    long long n = 0;
    for (const WebRequest* r : {&s.track, &s.share, &s.download, &s.plays, &s.valid})
        if (r->conn) n += r->conn->reply.length;
    return n;
}

bool all_receiving(const WebSlots& s) {
    for (const WebRequest* r : {&s.track, &s.share, &s.download, &s.plays, &s.valid})
        if (!r->conn || r->conn->state != CONN_RECEIVING) return false;
    return true;
}

void poll_five(benchmark::State& state, bool streaming) {
    game& g = *env().g;
    StreamServer server(streaming);
    start_five_slots(g, server.port());
    WebSlots& s = web_slots();
    // Connected, requests sent, and (when streaming) data waiting on every slot.
    for (int i = 0; i < 100000 && !all_receiving(s); ++i) {
        web_poll(g);
        usleep(100);
    }
    if (!all_receiving(s)) state.SkipWithError("slots did not reach the receiving state");
    usleep(20000);
    const long long before = received(s);
    for (auto _ : state) web_poll(g);
    state.counters["bytes_per_frame"] =
        benchmark::Counter(double(received(s) - before), benchmark::Counter::kAvgIterations);
    web_shutdown();
}

// 2000 frames: each busy slot gains 8 MB, well inside the reply limit.
void BM_PollFiveBusySlots(benchmark::State& state) { poll_five(state, true); }
BENCHMARK(BM_PollFiveBusySlots)->Unit(benchmark::kMicrosecond)->Iterations(2000)->Repetitions(5);

void BM_PollFiveWaitingSlots(benchmark::State& state) { poll_five(state, false); }
BENCHMARK(BM_PollFiveWaitingSlots)->Unit(benchmark::kMicrosecond)->Iterations(20000)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
