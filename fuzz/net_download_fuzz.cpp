// Arbitrary bytes as the body of a download reply: stored through
// store_download into a real network database (tmp.db written, opened,
// copied), then every row stored for the query loaded with logic_load.
//
// Seeds are small download databases, so mutations reach SQLite's page
// parsing and the row copy, not only the file header check.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/game.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "world/storage.h"

namespace {

struct Guarded {
    game g;
    unsigned char guard[4096];  // must stay 0xA5: nothing is written past the record
};

struct Fixture {
    std::string dir;
    Guarded* box = nullptr;

    Fixture() {
        // Memory-backed when possible: every stored download syncs its files.
        char shm[] = "/dev/shm/murkwell-fuzz-XXXXXX";
        char tmp[] = "/tmp/murkwell-fuzz-XXXXXX";
        char* tmpl = mkdtemp(shm) ? shm : tmp;
        if (tmpl == tmp && !mkdtemp(tmp)) abort();
        dir = tmpl;
        setenv("APPDATA", dir.c_str(), 1);
        driver().app_name = "Murkwell";
        MyDB& net = app_handles().net_db;
        open_level_db(net, path_join(user_dir(), "net.db"));
        if (!net.is_open()) abort();
        net.query("pragma synchronous = off");
        net.query("pragma journal_mode = memory");
        box = new Guarded();
        memset(box->guard, 0xA5, sizeof box->guard);
        snprintf(box->g.download_query, sizeof box->g.download_query, "c~fuzz");
    }
    ~Fixture() {
        app_handles().net_db.close();
        if (system(("rm -rf '" + dir + "'").c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fx;
    game& g = fx.box->g;
    store_download(g, reinterpret_cast<const char*>(data), size, size + 64);
    const std::vector<Row> rows =
        app_handles().net_db.query("select id from levels where q = 'c~fuzz' limit 4");
    for (const Row& row : rows) {
        auto it = row.find("id");
        logic_load(g, app_handles().net_db, it == row.end() ? std::string() : it->second);
    }
    for (unsigned char b : fx.box->guard)
        if (b != 0xA5) abort();
    return 0;
}
