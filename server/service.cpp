#include "server/service.h"

#include <sqlite3.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "core/fixed_text.h"
#include "db/mydb.h"
#include "server/download_db.h"
#include "server/form.h"
#include "server/pages.h"
#include "text/text.h"
#include "world/model.h"
#include "world/storage.h"

const char* const ERR_UNKNOWN_ACCOUNT =
    "There is no account with this user name on the level service. Check the name (capitals "
    "count), or choose \"Create account\".";
const char* const ERR_WRONG_PASSWORD =
    "The password does not match this account. Enter it again, or change it on the account page.";
const char* const ERR_BLOCKED = "This account is blocked on this level service.";
const char* const ERR_SIGN_IN_TO_SHARE =
    "Sign in to share maps: enter your user name and password, or create an account.";
const char* const ERR_MAP_DAMAGED =
    "The map arrived damaged and was not shared. Save it and share it again.";
const char* const ERR_MAP_NO_PLAYER = "This map has no player start. Place the agent, then share it.";
const char* const ERR_MAP_TOO_MANY_ACTORS =
    "This map has more than 64 guards, lamps and agents. Remove some, then share it.";
const char* const ERR_MAP_UNBEATEN =
    "Beat this map without rewinding and with every item collected, then share it.";
const char* const ERR_TOO_MANY_SHARES =
    "Too many shares from your address in a short time. Wait a few minutes, then share again.";
const char* const ERR_TOO_MANY_ACCOUNTS =
    "Too many accounts were created from your address. Try again later.";
const char* const ERR_TOO_MANY_PLAYS =
    "Too many plays were reported from your address in a short time. Try again later.";
const char* const ERR_BAD_REQUEST = "The level service did not understand this request.";
const char* const ERR_TOO_LARGE = "The request is too large for the level service.";
const char* const ERR_VERSION = "This version of the game does not speak the level service's protocol.";
const char* const ERR_UNKNOWN_ACTION = "The level service does not know this request.";
const char* const ERR_UNKNOWN_LIST = "The level service has no such list of levels.";
const char* const ERR_UNKNOWN_LEVEL = "This level is not on the level service.";
const char* const ERR_SHARE_METHOD = "Maps are shared with a form upload (POST).";
const char* const ERR_STORAGE = "The level service could not store this. Try again later.";
const char* const ERR_NOT_FOUND = "There is no such page on the level service.";

namespace {

const char* const API_PATH = "/murkwell/api.php";
const char* const MANAGE_PATH = "/murkwell/manage.php";
const char* const STATS_PATH = "/murkwell/stats.php";
const char* const PROTOCOL = "2";
const int LIST_LIMIT = 100;
const int POPULAR_DAYS = 30;
const size_t QUERY_MAX = 128;       // longest download query: "u~" and a user identifier
const size_t DEVICE_MAX = 64;       // the game's device identifier field
const size_t NAME_FIELD = 64;       // the game's user name field, NUL included
const int64_t EVENT_SECONDS_MAX = 86400;  // a play event's seconds count up to a day

Reply api_error(int status, const char* text, const std::string& action) {
    Reply r;
    r.status = status;
    r.error = text;
    r.action = action;
    return r;
}

Reply page(int status, std::string html, const std::string& error = "") {
    Reply r;
    r.status = status;
    r.content_type = "text/html; charset=utf-8";
    r.body = std::move(html);
    r.error = error;
    return r;
}

// A whole decimal number in [lo, hi], with an optional minus sign.
bool parse_int(const std::string& s, int64_t lo, int64_t hi, int64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    errno = 0;
    const long long v = strtoll(s.c_str(), nullptr, 10);
    if (errno != 0 || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool has_control(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// A form text as a level text field keeps it: up to the first NUL, cut to
// `size` - 1 bytes without splitting a UTF-8 sequence.
std::string field_cut(const std::string& s, size_t size) {
    std::string t = s.substr(0, s.find('\0'));
    if (t.size() < size) return t;
    size_t n = size - 1;
    // Step back over continuation bytes to the start of the cut sequence, and
    // drop it when it would be incomplete.
    size_t start = n;
    while (start > 0 && (static_cast<unsigned char>(t[start]) & 0xC0) == 0x80) --start;
    if (start < n && static_cast<unsigned char>(t[start]) >= 0xC0) n = start;
    return t.substr(0, n);
}

// A user name the service takes for a new account: 1 to ACCOUNT_NAME_MAX
// bytes of UTF-8 without control characters, no spaces at either end.
bool good_name(const std::string& name) {
    if (name.empty() || name.size() > size_t(ACCOUNT_NAME_MAX) || has_control(name)) return false;
    if (name.front() == ' ' || name.back() == ' ') return false;
    return html_escape(name).find("\xEF\xBF\xBD") == std::string::npos;
}

// The shipped featured levels are stored under the author "Murkwell" (uid
// "g:Murkwell"); an account of that name, in any case, would own them and could
// replace them by sharing maps of the same identifiers.
bool reserved_name(const std::string& name) { return strcasecmp(name.c_str(), "Murkwell") == 0; }

std::string md5(const std::string& s) {
    char out[33];
    md5_hex(s.size(), s.data(), out);
    return out;
}

std::string token_of(const std::string& name, const std::string& password) {
    return md5(name + "|" + md5(password));
}

}  // namespace

bool parse_rate_limit(const std::string& text, RateLimit& out) {
    const size_t slash = text.find('/');
    int64_t count = 0, seconds = 0;
    if (slash == std::string::npos || !parse_int(text.substr(0, slash), 0, 1000000000, count) ||
        !parse_int(text.substr(slash + 1), 1, 1000000000, seconds))
        return false;
    out.count = int(count);
    out.seconds = int(seconds);
    return true;
}

// ---------------------------------------------------------------------------
// Rate limits: one token bucket per address.

class Service::Limiter {
public:
    explicit Limiter(RateLimit limit) : limit_(limit) {}

    // Takes one token of `key`'s bucket at time now; false when it is empty.
    bool take(const std::string& key, int64_t now) {
        if (limit_.count <= 0) return false;
        const double rate = double(limit_.count) / double(limit_.seconds);
        std::lock_guard<std::mutex> lock(mutex_);
        if (buckets_.size() > 100000) forget_full(now, rate);
        auto it = buckets_.find(key);
        if (it == buckets_.end()) it = buckets_.emplace(key, Bucket{double(limit_.count), now}).first;
        Bucket& b = it->second;
        if (now > b.last) {
            b.tokens = std::min(double(limit_.count), b.tokens + double(now - b.last) * rate);
            b.last = now;
        }
        if (b.tokens < 1.0) return false;
        b.tokens -= 1.0;
        return true;
    }

private:
    struct Bucket {
        double tokens;
        int64_t last;
    };
    // A bucket that has refilled is the same as none: dropping it keeps the
    // table small under many addresses.
    void forget_full(int64_t now, double rate) {
        for (auto it = buckets_.begin(); it != buckets_.end();) {
            const double tokens = it->second.tokens + double(now - it->second.last) * rate;
            it = tokens >= double(limit_.count) ? buckets_.erase(it) : std::next(it);
        }
    }

    RateLimit limit_;
    std::mutex mutex_;
    std::map<std::string, Bucket> buckets_;
};

// ---------------------------------------------------------------------------
// Who is asking

struct Service::Caller {
    Form form;
    std::string peer;
    std::string name;                // "" for a guest
    std::optional<Account> account;  // a signed-in account, when name and token match
    const char* refusal = nullptr;   // why the name and token were not accepted
    int refusal_status = 0;
    std::string player;              // account uid, "d:" + device id for a guest, or ""

    bool guest() const { return name.empty(); }
};

struct Service::CachedList {
    int64_t generation;
    int64_t made;
    std::shared_ptr<const std::string> body;
};

Service::Service(LevelStore& store, const TileKinds& kinds, ServiceOptions options)
    : store_(store),
      kinds_(kinds),
      options_(std::move(options)),
      share_limiter_(new Limiter(options_.shares)),
      account_limiter_(new Limiter(options_.accounts)),
      plays_limiter_(new Limiter(options_.plays)) {}

Service::~Service() = default;

int64_t Service::now() const { return options_.clock ? options_.clock() : int64_t(time(nullptr)); }

Reply Service::too_large() {
    Reply r = page(413, message_page("Too large", ERR_TOO_LARGE), ERR_TOO_LARGE);
    r.action = "too-large";
    return r;
}

Reply Service::handle(const Request& r) {
    const size_t q = r.target.find('?');
    const std::string path = r.target.substr(0, q);
    Reply reply;
    if (path == API_PATH) {
        reply = api(r);
    } else if (path == MANAGE_PATH) {
        reply = manage(r);
    } else if (path == STATS_PATH) {
        reply = stats(r);
    } else if (path == "/" || path == "/murkwell/" || path == "/murkwell") {
        reply = page(200, index_page(store_.level_count()));
        reply.action = "index";
    } else {
        reply = page(404, message_page("Not found", ERR_NOT_FOUND), ERR_NOT_FOUND);
        reply.action = "not-found";
    }
    return reply;
}

// ---------------------------------------------------------------------------
// The game's API

Reply Service::api(const Request& r) {
    const size_t q = r.target.find('?');
    Caller who;
    who.peer = r.peer;
    std::string error;
    if (q != std::string::npos && !parse_form(r.target.substr(q + 1), who.form, error))
        return api_error(400, ERR_BAD_REQUEST, "bad-query");
    const std::string action = form_value(who.form, "_action");
    if (r.method == "POST" && !parse_form(r.body, who.form, error))
        return api_error(400, ERR_BAD_REQUEST, action.empty() ? "bad-body" : action);
    if (who.form.count("_version") && form_value(who.form, "_version") != PROTOCOL)
        return api_error(400, ERR_VERSION, action);

    // The account, when one is named: the token must be the one made from
    // exactly this name and its password.
    who.name = form_value(who.form, "_name");
    if (!who.guest()) {
        std::optional<Account> a;
        if (who.name.size() < NAME_FIELD && !has_control(who.name)) a = store_.find_account(who.name);
        if (!a || a->name != who.name) {
            who.refusal = ERR_UNKNOWN_ACCOUNT;
            who.refusal_status = 403;
        } else if (a->token != form_value(who.form, "_token")) {
            who.refusal = ERR_WRONG_PASSWORD;
            who.refusal_status = 403;
        } else if (a->blocked) {
            who.refusal = ERR_BLOCKED;
            who.refusal_status = 403;
        } else {
            who.account = a;
            who.player = a->uid;
        }
    } else {
        const std::string device = form_value(who.form, "_udid");
        if (!device.empty() && device.size() <= DEVICE_MAX && !has_control(device)) who.player = "d:" + device;
    }

    Reply reply;
    if (action == "valid") reply = valid(who);
    else if (action == "share") reply = share(r, who);
    else if (action == "download") reply = download(who, form_value(who.form, "q"));
    else if (action == "plays") reply = plays(who);
    else if (action == "track") reply = track(who);
    else reply = api_error(400, ERR_UNKNOWN_ACTION, "unknown");
    if (reply.action.empty()) reply.action = action;
    return reply;
}

Reply Service::valid(const Caller& who) {
    if (who.refusal) return api_error(who.refusal_status, who.refusal, "valid");
    Reply r;
    r.action = "valid";
    return r;
}

Reply Service::share(const Request& r, const Caller& who) {
    if (r.method != "POST") return api_error(405, ERR_SHARE_METHOD, "share");
    if (who.guest()) return api_error(403, ERR_SIGN_IN_TO_SHARE, "share");
    if (who.refusal) return api_error(who.refusal_status, who.refusal, "share");
    if (!share_limiter_->take(who.peer, now())) return api_error(429, ERR_TOO_MANY_SHARES, "share");

    const Form& f = who.form;
    const std::string id = form_value(f, "id");
    if (form_value(f, "target") != "1" || id.empty() || id.size() > 31 || has_control(id))
        return api_error(400, ERR_BAD_REQUEST, "share");

    std::unique_ptr<level> lv(new level());
    switch (check_shared_data(form_value(f, "data"), kinds_, *lv)) {
    case MapVerdict::Ok: break;
    case MapVerdict::Damaged: return api_error(400, ERR_MAP_DAMAGED, "share");
    case MapVerdict::NoPlayerStart: return api_error(400, ERR_MAP_NO_PLAYER, "share");
    case MapVerdict::TooManyActors: return api_error(400, ERR_MAP_TOO_MANY_ACTORS, "share");
    case MapVerdict::Unbeaten: return api_error(400, ERR_MAP_UNBEATEN, "share");
    }

    // The stored record carries the service's word on who made it.
    const Account& a = *who.account;
    set_field(lv->uid, a.uid);
    set_field(lv->author, a.name);
    set_field(lv->id, id);
    if (f.count("title")) set_field(lv->title, field_cut(form_value(f, "title"), sizeof lv->title));
    if (f.count("intro")) set_field(lv->intro, field_cut(form_value(f, "intro"), sizeof lv->intro));
    if (lv->name[0] == '\0') set_field(lv->name, id);

    SharedLevel s;
    s.uid = a.uid;
    s.id = id;
    s.name = field_text(lv->name);
    s.author = field_text(lv->author);
    s.title = field_text(lv->title);
    s.intro = field_text(lv->intro);
    s.ts = now();
    if (!level_data_deflate(*lv, s.data)) return api_error(500, ERR_STORAGE, "share");
    const int64_t number = store_.put_level(s);
    if (number == 0) return api_error(500, ERR_STORAGE, "share");
    Reply reply;
    reply.action = "share";
    reply.content_type = "text/plain; charset=utf-8";
    reply.body = std::to_string(number) + "\n";
    return reply;
}

Reply Service::download(const Caller& who, const std::string& q) {
    ListQuery query;
    query.limit = LIST_LIMIT;
    bool personal = false;
    if (q == "c~featured") {
        query.kind = ListKind::Featured;
    } else if (q == "c~newest") {
        query.kind = ListKind::Newest;
    } else if (q == "c~popular") {
        query.kind = ListKind::Popular;
    } else if (q == "c~favorites" || q == "c~friends") {
        query.kind = q == "c~favorites" ? ListKind::Favorites : ListKind::Friends;
        personal = true;
    } else if (q.size() > 2 && q.size() <= QUERY_MAX && !has_control(q) &&
               (q.compare(0, 2, "u~") == 0 || q.compare(0, 2, "f~") == 0)) {
        query.kind = q[0] == 'u' ? ListKind::Author : ListKind::Favorites;
        query.who = q.substr(2);
    } else {
        return api_error(404, ERR_UNKNOWN_LIST, "download");
    }
    if (personal) {
        if (who.refusal) return api_error(who.refusal_status, who.refusal, "download");
        query.who = who.player;
    }

    const int64_t t = now();
    query.since = t - int64_t(POPULAR_DAYS) * 86400;
    const std::string key = q + '\n' + query.who;
    const int64_t generation = store_.generation();
    std::shared_ptr<const CachedList> cached;
    {
        std::lock_guard<std::mutex> lock(cache_mutex_);
        auto it = cache_.find(key);
        if (it != cache_.end() && it->second->generation == generation &&
            t - it->second->made < options_.cache_seconds && t >= it->second->made)
            cached = it->second;
    }
    if (!cached) {
        // A personal list with nobody to be personal about is empty.
        std::vector<SharedLevel> levels;
        if (!query.who.empty() || !personal) levels = store_.list(query);
        std::string body = build_download_db(levels);
        if (body.empty()) return api_error(500, ERR_STORAGE, "download");
        cached = std::make_shared<const CachedList>(
            CachedList{generation, t, std::make_shared<const std::string>(std::move(body))});
        std::lock_guard<std::mutex> lock(cache_mutex_);
        // Lists per player could fill memory: start again when there are many.
        if (cache_.size() > 4096) cache_.clear();
        cache_[key] = cached;
    }
    Reply reply;
    reply.action = "download";
    reply.content_type = "application/x-sqlite3";
    reply.shared_body = cached->body;
    return reply;
}

Reply Service::plays(const Caller& who) {
    if (who.refusal) return api_error(who.refusal_status, who.refusal, "plays");
    const Form& f = who.form;
    Play p;
    int64_t stars = 0, skulls = 0;
    if (!parse_int(form_value(f, "tm"), 0, INT_MAX, p.seconds) ||
        !parse_int(form_value(f, "bonus"), 0, 1000, p.bonus) ||
        !parse_int(form_value(f, "rewind"), 0, INT_MAX, p.rewinds) ||
        !parse_int(form_value(f, "extra"), 0, INT_MAX, p.bombs_left) ||
        !parse_int(form_value(f, "stars"), 0, 5, stars) || !parse_int(form_value(f, "skulls"), 0, 5, skulls))
        return api_error(400, ERR_BAD_REQUEST, "plays");
    // Levels of the service are named by their number; any other name (a
    // tutorial, a map of the player's own) is not the service's to count.
    if (!parse_int(form_value(f, "lid"), 1, INT64_MAX, p.level))
        return api_error(404, ERR_UNKNOWN_LEVEL, "plays");
    if (!plays_limiter_->take(who.peer, now())) return api_error(429, ERR_TOO_MANY_PLAYS, "plays");
    p.player = who.player;
    p.account = who.account.has_value();
    p.ts = now();
    p.stars = int(stars);
    p.skulls = int(skulls);
    switch (store_.add_play(p)) {
    case PlayResult::Stored: break;
    case PlayResult::UnknownLevel: return api_error(404, ERR_UNKNOWN_LEVEL, "plays");
    case PlayResult::Failed: return api_error(500, ERR_STORAGE, "plays");
    }
    Reply reply;
    reply.action = "plays";
    return reply;
}

Reply Service::track(const Caller& who) {
    if (who.refusal) return api_error(who.refusal_status, who.refusal, "track");
    const Form& f = who.form;
    PlayEvent e;
    e.page = form_value(f, "page");
    e.category = form_value(f, "category");
    e.action = form_value(f, "action");
    int64_t value = 0;
    bool action_ok = !e.action.empty() && e.action.size() <= 16;
    for (char c : e.action) action_ok = action_ok && c >= 'a' && c <= 'z';
    if (!action_ok || e.page.size() > 32 || has_control(e.page) || e.category.empty() ||
        e.category.size() > 63 || has_control(e.category) ||
        !parse_int(form_value(f, "value"), INT_MIN, INT_MAX, value))
        return api_error(400, ERR_BAD_REQUEST, "track");
    e.value = std::clamp<int64_t>(value, 0, EVENT_SECONDS_MAX);
    e.player = who.player;
    e.account = who.account.has_value();
    e.ts = now();
    if (!store_.add_event(e)) return api_error(500, ERR_STORAGE, "track");
    Reply reply;
    reply.action = "track";
    return reply;
}

// ---------------------------------------------------------------------------
// Pages

Reply Service::manage(const Request& r) {
    const size_t q = r.target.find('?');
    Form query, post;
    std::string error;
    if (q != std::string::npos && !parse_form(r.target.substr(q + 1), query, error)) {
        Reply reply = page(400, message_page("Bad request", ERR_BAD_REQUEST), ERR_BAD_REQUEST);
        reply.action = "manage";
        return reply;
    }
    if (r.method != "POST") {
        std::string name = form_value(query, "name");
        if (!good_name(name)) name.clear();
        Reply reply = page(200, manage_page(name, "", false));
        reply.action = "manage";
        return reply;
    }

    auto refuse = [](int status, const std::string& name, const char* text) {
        Reply reply = page(status, manage_page(good_name(name) ? name : "", text, true), text);
        reply.action = "manage";
        return reply;
    };
    if (!parse_form(r.body, post, error)) return refuse(400, "", ERR_BAD_REQUEST);
    const std::string what = form_value(post, "do");
    const std::string name = form_value(post, "name");
    const std::string password = form_value(post, "password");

    if (what == "create") {
        if (!good_name(name))
            return refuse(400, name, "A user name has 1 to 29 characters, no control characters and "
                                     "no spaces at either end.");
        if (password.size() < size_t(PASSWORD_MIN) || password.size() > size_t(PASSWORD_MAX))
            return refuse(400, name, "A password has 4 to 63 characters.");
        if (password != form_value(post, "password2"))
            return refuse(400, name, "The two passwords differ. Enter the same password twice.");
        if (reserved_name(name) || store_.find_account(name))
            return refuse(409, name, "This user name is taken. Choose another one.");
        if (!account_limiter_->take(r.peer, now())) return refuse(429, name, ERR_TOO_MANY_ACCOUNTS);
        Account a;
        a.name = name;
        a.uid = "g:" + name;
        a.token = token_of(name, password);
        a.created = now();
        if (!store_.add_account(a)) {
            // Taken by a request that came in at the same time, or a failed write.
            if (store_.find_account(name)) return refuse(409, name, "This user name is taken. Choose another one.");
            return refuse(500, name, ERR_STORAGE);
        }
        Reply reply = page(201, manage_page(name,
                                            "The account \"" + name + "\" is ready. Enter the same user "
                                            "name and password in the game's Settings.",
                                            false));
        reply.action = "create-account";
        return reply;
    }
    if (what == "change") {
        const std::optional<Account> a = name.empty() ? std::nullopt : store_.find_account(name);
        if (!a || a->name != name) return refuse(403, name, ERR_UNKNOWN_ACCOUNT);
        if (a->token != token_of(name, password)) return refuse(403, name, ERR_WRONG_PASSWORD);
        if (a->blocked) return refuse(403, name, ERR_BLOCKED);
        const std::string fresh = form_value(post, "new");
        if (fresh.size() < size_t(PASSWORD_MIN) || fresh.size() > size_t(PASSWORD_MAX))
            return refuse(400, name, "A password has 4 to 63 characters.");
        if (fresh != form_value(post, "new2"))
            return refuse(400, name, "The two new passwords differ. Enter the same password twice.");
        if (!store_.set_token(a->uid, token_of(name, fresh))) return refuse(500, name, ERR_STORAGE);
        Reply reply = page(200, manage_page(name,
                                            "The password is changed. Enter the new one in the game's "
                                            "Settings.",
                                            false));
        reply.action = "change-password";
        return reply;
    }
    return refuse(400, name, ERR_BAD_REQUEST);
}

Reply Service::stats(const Request& r) {
    const size_t q = r.target.find('?');
    Form query;
    std::string error;
    Reply reply;
    if (q == std::string::npos || !parse_form(r.target.substr(q + 1), query, error) ||
        form_value(query, "uid").empty()) {
        reply = page(400, message_page("Bad request", "Which player? The address needs ?uid=."),
                     ERR_BAD_REQUEST);
    } else {
        const std::string uid = form_value(query, "uid");
        std::optional<Account> a;
        if (uid.size() > 2 && uid.size() <= QUERY_MAX && uid.compare(0, 2, "g:") == 0)
            a = store_.find_account(uid.substr(2));
        if (!a || a->uid != uid || a->blocked) {
            reply = page(404, message_page("Unknown player", "There is no player with this user identifier."),
                         ERR_UNKNOWN_ACCOUNT);
        } else {
            ListQuery lq;
            lq.kind = ListKind::Author;
            lq.who = a->uid;
            lq.limit = 1000;
            lq.with_data = false;
            reply = page(200, stats_page(*a, store_.player_stats(a->uid), store_.list(lq)));
        }
    }
    reply.action = "stats";
    return reply;
}

// ---------------------------------------------------------------------------
// Featured levels

int Service::load_featured(const std::string& path) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fprintf(stderr, "featured levels: cannot open %s\n", path.c_str());
        sqlite3_close(handle);
        return -1;
    }
    MyDB seed;
    seed.handle = handle;
    const std::vector<Row> rows = seed.query("select * from levels order by value, name, id");
    if (seed.error) {
        fprintf(stderr, "featured levels: %s has no levels table\n", path.c_str());
        return -1;
    }
    auto column = [](const Row& row, const char* name) {
        auto it = row.find(name);
        return it == row.end() ? std::string() : it->second;
    };
    int loaded = 0;
    std::unique_ptr<level> lv(new level());
    for (const Row& row : rows) {
        const std::string id = field_cut(column(row, "id"), 32);
        if (id.empty() || !inflate_level_exact(column(row, "data"), *lv) ||
            check_level(*lv, kinds_, false) != MapVerdict::Ok) {
            fprintf(stderr, "featured levels: %s: level \"%s\" is not a sound level, passed over\n",
                    path.c_str(), id.c_str());
            continue;
        }
        SharedLevel s;
        s.uid = field_cut(column(row, "uid"), 32);
        s.id = id;
        s.name = field_cut(column(row, "name"), 32);
        s.author = field_cut(column(row, "author"), 32);
        s.title = field_cut(column(row, "title"), 64);
        s.intro = field_cut(column(row, "intro"), 256);
        set_field(lv->uid, s.uid);
        set_field(lv->id, s.id);
        set_field(lv->name, s.name);
        set_field(lv->author, s.author);
        set_field(lv->title, s.title);
        set_field(lv->intro, s.intro);
        s.ts = now();
        s.featured = 1;
        if (level_data_deflate(*lv, s.data) && store_.put_level(s) != 0) ++loaded;
    }
    return loaded;
}

void Service::seed_once(const std::string& path) {
    if (!store_.setting("seeded").empty() || store_.level_count() != 0) return;
    if (path.empty() || access(path.c_str(), R_OK) != 0) {
        fprintf(stderr, "featured levels: %s not found; the featured list starts empty\n", path.c_str());
        return;
    }
    const int n = load_featured(path);
    if (n < 0) return;
    fprintf(stderr, "featured levels: loaded %d from %s\n", n, path.c_str());
    store_.set_setting("seeded", path);
}
