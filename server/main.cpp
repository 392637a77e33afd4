// murkwell-server: the level service, and its administration commands on the
// same database.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "server/http_server.h"
#include "server/service.h"
#include "server/sqlite_store.h"

namespace {

const char* const USAGE =
    "usage: murkwell-server [serve] --db PATH [--listen ADDR:PORT] [options]\n"
    "       murkwell-server accounts --db PATH\n"
    "       murkwell-server levels --db PATH\n"
    "       murkwell-server feature|unfeature|delete --db PATH NUMBER...\n"
    "       murkwell-server block|unblock --db PATH NAME...\n"
    "\n"
    "serve options:\n"
    "  --listen ADDR:PORT        address to serve on (default 127.0.0.1:8457)\n"
    "  --seed PATH               featured levels loaded into an empty database\n"
    "                            (default: featured.db of the data folder)\n"
    "  --data DIR                the data folder (tiles.json, featured.db)\n"
    "  --threads N               worker threads (default 2)\n"
    "  --max-connections N       open connections in all (default 1000)\n"
    "  --max-per-address N       open connections from one address (default 64)\n"
    "  --timeout SECONDS         a silent connection is closed after this (default 15)\n"
    "  --share-limit N/SECONDS   shares per address (default 20/600)\n"
    "  --account-limit N/SECONDS account creations per address (default 5/3600)\n"
    "  --plays-limit N/SECONDS   finished plays reported per address (default 60/600)\n"
    "  --keep-events N           play events kept (default 1000000)\n"
    "  --sync full|normal        full: every acknowledged write is on disk (default);\n"
    "                            normal: safe from a crash of the service, not of\n"
    "                            the machine, for several times the share rate\n"
    "  --quiet                   no request log\n";

struct Options {
    std::string command = "serve";
    std::string db;
    std::string seed;
    std::vector<std::string> arguments;
    HttpOptions http;
    ServiceOptions service;
    SqliteStoreOptions store;
};

bool parse_count(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    const long v = strtol(text, &end, 10);
    if (!*text || *end || v < lo || v > hi) return false;
    out = v;
    return true;
}

// False (with a line on stderr) for anything that is not a known option.
bool parse_options(int argc, char** argv, Options& o) {
    int i = 1;
    if (i < argc && argv[i][0] != '-') o.command = argv[i++];
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        const char* value = has_value ? argv[i + 1] : "";
        long n = 0;
        bool ok = true;
        if (a.compare(0, 2, "--") != 0) {
            o.arguments.push_back(a);
            continue;
        }
        if (a == "--quiet") {
            o.http.log = false;
            continue;
        }
        if (!has_value) {
            fprintf(stderr, "%s needs a value\n", a.c_str());
            return false;
        }
        ++i;
        if (a == "--db") o.db = value;
        else if (a == "--seed") o.seed = value;
        else if (a == "--data") set_data_dir(value);
        else if (a == "--listen") ok = parse_listen(value, o.http.address, o.http.port);
        else if (a == "--threads") ok = parse_count(value, 1, 64, n), o.http.threads = unsigned(n);
        else if (a == "--max-connections") ok = parse_count(value, 1, 100000, n), o.http.max_connections = unsigned(n);
        else if (a == "--max-per-address") ok = parse_count(value, 1, 100000, n), o.http.max_per_address = unsigned(n);
        else if (a == "--timeout") ok = parse_count(value, 1, 3600, n), o.http.timeout = unsigned(n);
        else if (a == "--share-limit") ok = parse_rate_limit(value, o.service.shares);
        else if (a == "--account-limit") ok = parse_rate_limit(value, o.service.accounts);
        else if (a == "--plays-limit") ok = parse_rate_limit(value, o.service.plays);
        else if (a == "--keep-events") ok = parse_count(value, 1, LONG_MAX, n), o.store.event_limit = n;
        else if (a == "--sync") ok = (!strcmp(value, "full") || !strcmp(value, "normal")),
                                 o.store.sync_every_write = !strcmp(value, "full");
        else {
            fprintf(stderr, "unknown option %s\n", a.c_str());
            return false;
        }
        if (!ok) {
            fprintf(stderr, "bad value for %s: %s\n", a.c_str(), value);
            return false;
        }
    }
    if (o.db.empty()) {
        fprintf(stderr, "--db PATH is needed\n");
        return false;
    }
    return true;
}

std::string date_of(int64_t t) {
    const time_t tt = time_t(t);
    struct tm parts;
    char buf[32] = "-";
    if (gmtime_r(&tt, &parts)) strftime(buf, sizeof buf, "%Y-%m-%d", &parts);
    return buf;
}

int serve(Options& o) {
    // The database holds account tokens: made readable by this user only.
    umask(077);
    // The signals are taken by sigwait below, not by whichever thread they hit.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    TileKinds kinds;
    if (!load_tile_kinds(kinds)) {
        fprintf(stderr, "murkwell-server: no tile catalogue in %s\n", data_dir().c_str());
        return 1;
    }
    SqliteStore store(o.db, o.store);
    if (!store.ok()) return 1;
    Service service(store, kinds, o.service);
    service.seed_once(o.seed.empty() ? path_join(data_dir(), "featured.db") : o.seed);

    HttpServer http(service, o.http);
    if (!http.start()) return 1;
    fprintf(stderr, "murkwell-server: listening on %s:%d, database %s\n", o.http.address.c_str(), http.port(),
            o.db.c_str());

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    fprintf(stderr, "murkwell-server: %s, stopping\n", signal_number == SIGINT ? "SIGINT" : "SIGTERM");
    http.stop();
    fprintf(stderr, "murkwell-server: stopped\n");
    return 0;
}

int admin(const Options& o) {
    SqliteStore store(o.db, o.store);
    if (!store.ok()) return 1;
    const std::string& c = o.command;
    if (c == "accounts") {
        for (const Account& a : store.accounts())
            printf("%s\t%s\t%s\t%s\n", a.name.c_str(), a.uid.c_str(), date_of(a.created).c_str(),
                   a.blocked ? "blocked" : "active");
        return 0;
    }
    if (c == "levels") {
        ListQuery q;
        q.kind = ListKind::Newest;
        q.limit = INT_MAX;
        q.with_data = false;
        q.hidden = true;
        // Players' texts reach the administrator's terminal inert.
        const size_t whole = size_t(-1);
        for (const SharedLevel& l : store.list(q))
            printf("%lld\t%s\t%s\t%s\t%s\tfeatured %d\tplays %lld\tstars %.2f\tskulls %.2f\n",
                   static_cast<long long>(l.number), date_of(l.ts).c_str(), printable(l.uid, whole).c_str(),
                   printable(l.author, whole).c_str(), printable(l.title, whole).c_str(), l.featured,
                   static_cast<long long>(l.plays), l.stars, l.skulls);
        return 0;
    }
    const bool by_number = c == "feature" || c == "unfeature" || c == "delete";
    const bool by_name = c == "block" || c == "unblock";
    if ((!by_number && !by_name) || o.arguments.empty()) {
        fputs(USAGE, stderr);
        return 2;
    }
    int failures = 0;
    for (const std::string& a : o.arguments) {
        bool ok;
        if (by_number) {
            long number = 0;
            ok = parse_count(a.c_str(), 1, LONG_MAX, number);
            if (ok && c == "delete") ok = store.remove_level(number);
            else if (ok) ok = store.set_featured(number, c == "feature");
        } else {
            ok = store.set_blocked(a, c == "block");
        }
        fprintf(ok ? stdout : stderr, "%s %s: %s\n", c.c_str(), a.c_str(), ok ? "done" : "no such level or account");
        fflush(stdout);  // in order with the error lines
        if (!ok) ++failures;
    }
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc > 1 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h") || !strcmp(argv[1], "help"))) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (!parse_options(argc, argv, o)) {
        fputs(USAGE, stderr);
        return 2;
    }
    return o.command == "serve" ? serve(o) : admin(o);
}
