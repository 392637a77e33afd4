// The web service API over the HTTP client: request paths and bodies, the five
// slots, reply checks, the error screen and the storing of downloads.
#include "net/web.h"

#include <json/json.h>
#include <sqlite3.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "db/mydb.h"
#include "platform/files.h"
#include "text/text.h"
#include "world/storage.h"

const char* const API_BUILD = "1.0.3-Desktop-Win32-VANTORR";
const char* const API_PROTOCOL = "2";
const char* const API_SCRIPT = "/murkwell/api.php?";

void (*download_list_reset)() = nullptr;

namespace {

bool g_started = false;
const int SERVICE_TIMEOUT = 30;  // seconds
const size_t SERVICE_FILE_MAX = 65536;

WebService& service() {
    static WebService s;
    return s;
}

// Percent-encoding: letters and digits as they are, every other byte "%xx".
std::string e(const std::string& s) {
    std::string out(url_encoded_length(s.size(), s.data()), '\0');
    url_encode(s.size(), &out[0], out.size(), s.data());
    out.resize(out.size() - 1);
    return out;
}

std::string e(long long n) { return e(std::to_string(n)); }

// Every starter: a fresh request in the slot (abandoning the previous one of
// its kind), the service's address, the path and body, then start.
void start_slot(WebRequest& slot, const std::string& path, const std::string& body = "") {
    slot = WebRequest();
    slot.host = service().host;
    slot.port = service().port;
    slot.timeout = float(SERVICE_TIMEOUT);
    slot.path = path;
    slot.post = body;
    slot.start();
}

std::string column(const Row& row, const char* name) {
    auto it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

int clamp_int(double v) {
    if (!std::isfinite(v)) return 0;
    if (v > double(INT_MAX)) return INT_MAX;
    if (v < double(INT_MIN)) return INT_MIN;
    return int(v);
}

}  // namespace

// ---------------------------------------------------------------------------
// Start-up, shutdown and the service address

int web_startup() {
    web_load_service();
    g_started = true;
    return 0;
}

void web_shutdown() {
    WebSlots& s = web_slots();
    for (WebRequest* r : {&s.track, &s.share, &s.download, &s.plays, &s.valid}) r->close();
    g_started = false;
}

bool web_started() { return g_started; }

const WebService& web_service() { return service(); }

void web_load_service() {
    WebService& s = service();
    s = WebService();
    // A per-user service.txt points this player's game at another service (a
    // group's shared one); without it the shipped file names the local one.
    std::string text;
    const std::string own = path_join(user_dir(), "service.txt");
    if (const size_t size = file_size(own); size > 0 && size <= SERVICE_FILE_MAX) {
        text.resize(size);
        text.resize(read_user_file("service.txt", &text[0], size));
    }
    if (text.empty()) text = read_data_file("service.txt");
    if (text.empty()) {
        fprintf(stderr, "service.txt: not found\n");
        return;
    }
    Json::CharReaderBuilder builder;
    Json::Value root;
    std::string errors;
    std::istringstream in(text);
    if (!Json::parseFromStream(builder, in, &root, &errors) || !root.isObject()) {
        fprintf(stderr, "service.txt: not a JSON object\n");
        return;
    }
    const Json::Value& host = root["host"];
    if (!host.isString() || host.asString().empty() ||
        host.asString().size() >= size_t(CONN_HOST_MAX)) {
        fprintf(stderr, "service.txt: no usable host\n");
    } else {
        s.host = host.asString();
    }
    const Json::Value& port = root["port"];
    if (port.isNull()) return;
    if (port.isInt() && port.asInt() > 0 && port.asInt() <= 65535) {
        s.port = port.asInt();
    } else {
        fprintf(stderr, "service.txt: bad port, using 80\n");
    }
}

std::string web_service_url(const char* path) {
    std::string url = "http://" + service().host;
    if (service().port != 80) url += ":" + std::to_string(service().port);
    return url + (path ? path : "");
}

WebSlots& web_slots() {
    static WebSlots slots;
    return slots;
}

// ---------------------------------------------------------------------------
// Requests

std::string api_token(const settings& s) {
    char inner[33];
    const std::string password = field_text(s.password);
    md5_hex(password.size(), password.data(), inner);
    const std::string key = field_text(s.user) + "|" + inner;
    char token[33];
    md5_hex(key.size(), key.data(), token);
    return token;
}

std::string api_path(const game& g, const char* action) {
    const settings& s = g.settings;
    std::string path = API_SCRIPT;
    path += "&_vinfo=" + e(std::string(API_BUILD));
    path += "&_version=" + e(std::string(API_PROTOCOL));
    path += "&_uid=" + e(field_text(s.user_id));
    path += "&_name=" + e(field_text(s.user));
    path += "&_token=" + e(api_token(s));
    path += "&_udid=" + e(field_text(s.device_id));
    path += "&_action=" + e(std::string(action ? action : ""));
    return path;
}

void api_valid(game& g) { start_slot(web_slots().valid, api_path(g, "valid")); }

void api_share(game& g, int target) {
    level& lv = g.edit_level;
    set_field(lv.uid, field_text(g.settings.user_id));
    set_field(lv.author, field_text(g.settings.user));
    if (lv.name[0] == '\0') set_field(lv.name, field_text(lv.id));

    // The encoding of the data column.
    std::string packed;
    if (!level_data_deflate(lv, packed)) {
        fprintf(stderr, "logic_save(): zlib fail\n");
        return;
    }

    std::string body = "&target=" + e(target);
    body += "&id=" + e(field_text(lv.id));
    body += "&title=" + e(field_text(lv.title));
    body += "&intro=" + e(field_text(lv.intro));
    body += "&data=" + e(base64_encode(packed.data(), packed.size()));
    start_slot(web_slots().share, api_path(g, "share"), body);
}

void api_download(game& g) {
    start_slot(web_slots().download,
               api_path(g, "download") + "&q=" + e(field_text(g.download_query)));
}

void api_plays(game& g, int stars, int skulls) {
    const level& lv = g.level;
    const double collected = double(lv.cartridges);
    const double total = lv.cartridges_total > 1 ? double(lv.cartridges_total) : 1.0;
    long long bombs = 0;
    for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) bombs += lv.inventory[k];
    std::string path = api_path(g, "plays");
    path += "&lid=" + e(field_text(lv.name));
    path += "&tm=" + e(lv.play_time / 30);
    path += "&bonus=" + e(clamp_int(collected * 1000.0 / total));
    path += "&rewind=" + e(lv.rewinds_used);
    path += "&extra=" + e(clamp_int(double(bombs)));
    path += "&stars=" + e(stars);
    path += "&skulls=" + e(skulls);
    start_slot(web_slots().plays, path);
}

void api_track(game& g, int value, const char* category, const char* action) {
    if (!category || !category[0] || !action || !action[0]) return;
    std::string path = api_path(g, "track");
    path += "&page=" + e(std::string("level"));
    path += "&category=" + e(std::string(category));
    path += "&action=" + e(std::string(action));
    path += "&value=" + e(value);
    start_slot(web_slots().track, path);
}

// ---------------------------------------------------------------------------
// Replies

void open_error_screen(game& g) {
    // The error screen paints the screen it returns to beneath itself, so it
    // must never return to itself.
    if (g.state != STATE_MENU_ERROR) g.error_return_state = g.state;
    set_state(g, STATE_MENU_ERROR);
}

bool check_reply(game& g, WebRequest& r) {
    if (!r.conn || r.conn->failed) return true;
    if (r.header("X-Response").empty()) {
        set_field(g.error_text, "G01: Invalid response.");
        open_error_screen(g);
        return true;
    }
    const std::string error = r.header("X-Error");
    if (error.empty()) return false;
    set_field(g.error_text, error);
    open_error_screen(g);
    return true;
}

void save_download(game& g) {
    WebConn* c = web_slots().download.conn;
    if (!c) return;
    store_download(g, c->body, size_t(c->body_len), size_t(c->reply.length));
}

bool store_download(game& g, const char* body, size_t body_len, size_t reply_len) {
    fprintf(stderr, "saving download data ... %d - %d\n", int(body_len), int(reply_len));
    const std::string tmp_path = path_join(user_dir(), "tmp.db");
    // An empty body would open as an empty database and wipe the list.
    if (body_len == 0 || !body) {
        fprintf(stderr, "download is not a level database\n");
        return false;
    }
    // A journal left by an import that crashed belongs to the old tmp.db;
    // SQLite would replay it onto the new one.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        std::remove((tmp_path + suffix).c_str());
    if (!write_user_file("tmp.db", body, body_len)) return false;

    MyDB tmp;
    // The file came from the network: locked down before it is upgraded, and
    // `levels` is taken only as a plain table (a view could run anything).
    open_level_db(tmp, tmp_path, true);
    std::vector<Row> ids;
    bool usable = false;
    if (tmp.is_open()) {
        const std::vector<Row> kind =
            tmp.query("select type from sqlite_master where name = 'levels'");
        if (!tmp.error && kind.size() == 1 && column(kind[0], "type") == "table") {
            ids = tmp.query("select id from levels");
            usable = tmp.error == 0;
        }
    }
    if (!usable) {
        fprintf(stderr, "download is not a level database\n");
        return false;
    }

    // The query's rows are replaced as a whole: nothing of them changes unless
    // every new one is read and written. Without a transaction of its own the
    // import could not be undone, so it does not start.
    const std::string q = field_text(g.download_query);
    MyDB& net = app_handles().net_db;
    net.query("begin");
    const bool began = net.error == 0;
    bool ok = began;
    if (ok) {
        net.query("delete from levels where q = ?", {q});
        ok = net.error == 0;
    }
    std::set<std::string> stored;
    for (size_t i = 0; ok && i < ids.size(); ++i) {
        const std::string id = column(ids[i], "id");
        // A table without a key may list an id twice; its first row stands for it.
        if (!stored.insert(id).second) continue;
        const std::vector<Row> rows = tmp.query("select * from levels where id = ?", {id});
        ok = tmp.error == 0;
        // An id that is not text (NULL, a number in an untyped column) finds no row.
        if (!ok || rows.empty()) continue;
        const Row& row = rows.front();
        net.query("insert into levels (id,name,author,data,title,ts,q,uid,stars,skulls,intro,value) "
                  "values (?,?,?,?,?,?,?,?,?,?,?,?)",
                  {q + "|" + id, column(row, "name"), column(row, "author"), column(row, "data"),
                   column(row, "title"), column(row, "ts"), q, column(row, "uid"),
                   column(row, "stars"), column(row, "skulls"), column(row, "intro"),
                   column(row, "value")});
        ok = net.error == 0;
    }
    if (ok) {
        net.query("commit");
        ok = net.error == 0;
    }
    if (!ok) {
        // Some failures (a full disk) have rolled back already; a transaction
        // that was not this import's own is never touched.
        if (began && net.handle && sqlite3_get_autocommit(net.handle) == 0) net.query("rollback");
        fprintf(stderr, "download not stored: the old levels are kept\n");
    }
    tmp.close();

    if (ok && g.state == STATE_MENU_DOWNLOAD2) {
        if (download_list_reset) download_list_reset();
        set_state(g, STATE_MENU_DOWNLOAD2);
    }
    return ok;
}

void web_poll(game& g) {
    WebSlots& s = web_slots();
    WebRequest* const order[5] = {&s.track, &s.share, &s.download, &s.plays, &s.valid};
    for (WebRequest* r : order) {
        if (!r->conn || !conn_poll(r->conn)) continue;
        WebConn* const polled = r->conn;
        if (r == &s.share || r == &s.valid) {
            check_reply(g, *r);
        } else if (r == &s.download) {
            if (!check_reply(g, *r)) save_download(g);
        }
        // A handler may have started a new request in this slot; only the
        // finished one is freed.
        if (r->conn == polled) r->close();
    }
}
