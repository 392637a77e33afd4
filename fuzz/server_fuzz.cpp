// Arbitrary bytes as a raw HTTP request to the level service: handed to the
// real HTTP layer over a socket pair, parsed there and answered by the request
// handler on a real (memory-backed) SQLite store. Whatever arrives, the
// service answers or closes the connection, and every answer it makes carries
// "X-Response: 1".
//
// The store holds the account "ann" (password "secret1"), so the seeds reach
// shares, plays and events with a good token.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "server/http_server.h"
#include "server/service.h"
#include "server/sqlite_store.h"

namespace {

struct Fixture {
    std::string dir;
    TileKinds kinds;
    std::unique_ptr<SqliteStore> store;
    std::unique_ptr<Service> service;
    std::unique_ptr<HttpServer> http;

    Fixture() {
        char shm[] = "/dev/shm/murkwell-fuzz-XXXXXX";
        char tmp[] = "/tmp/murkwell-fuzz-XXXXXX";
        char* tmpl = mkdtemp(shm) ? shm : tmp;
        if (tmpl == tmp && !mkdtemp(tmp)) abort();
        dir = tmpl;
        set_data_dir(MURKWELL_SOURCE_DIR "/data");
        if (!load_tile_kinds(kinds)) abort();
        SqliteStoreOptions so;
        so.durable = false;
        so.event_limit = 1000;
        store = std::make_unique<SqliteStore>(dir + "/service.db", so);
        if (!store->ok()) abort();
        ServiceOptions o;
        o.shares = {1000000, 1};
        o.accounts = {1000000, 1};
        service = std::make_unique<Service>(*store, kinds, o);
        service->handle(Request{"POST", "/murkwell/manage.php", "",
                                "do=create&name=ann&password=secret1&password2=secret1", "127.0.0.1"});
        HttpOptions h;
        h.log = false;
        h.max_body = 1 << 16;  // the limit's path without megabytes of input
        http = std::make_unique<HttpServer>(*service, h);
        if (!http->start_manual()) abort();
    }
    ~Fixture() {
        http.reset();
        service.reset();
        store.reset();
        if (system(("rm -rf '" + dir + "'").c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0) abort();
    const int client = pair[0];
    if (!f.http->add_connection(pair[1])) abort();

    const unsigned long closed_before = f.http->closed_connections();
    size_t sent = 0;
    bool ended = false;  // the client's side is shut for writing
    std::string reply;
    // Each round: write what fits, let the server work, read what it wrote.
    for (int round = 0; round < 100000; ++round) {
        if (sent < size) {
            const ssize_t n = send(client, data + sent, size - sent, MSG_NOSIGNAL);
            if (n > 0) sent += size_t(n);
        }
        if (sent == size && !ended) {
            shutdown(client, SHUT_WR);
            ended = true;
        }
        f.http->run_once();
        char buf[65536];
        ssize_t n;
        while ((n = recv(client, buf, sizeof buf, 0)) > 0) reply.append(buf, size_t(n));
        if (f.http->closed_connections() != closed_before && n == 0) break;
    }
    close(client);
    if (f.http->closed_connections() == closed_before) {
        fprintf(stderr, "the service never closed the connection\n");
        abort();
    }
    // Every reply the service itself made carries its marker; those the HTTP
    // layer makes alone (malformed requests) are plain 4xx/5xx replies.
    if (reply.compare(0, 5, "HTTP/") == 0) {
        const int status = atoi(reply.c_str() + reply.find(' ') + 1);
        const size_t head_end = reply.find("\r\n\r\n");
        const std::string head = reply.substr(0, head_end) + "\r\n";
        if (status < 400 && head.find("\r\nX-Response: 1\r\n") == std::string::npos) {
            fprintf(stderr, "a reply without X-Response\n");
            abort();
        }
    }
    return 0;
}
