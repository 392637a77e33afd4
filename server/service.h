// The level service's request handler: the game's API ("/murkwell/api.php"),
// the account page ("/murkwell/manage.php") and the stats page
// ("/murkwell/stats.php"). Transport-free: a Request in, a Reply out, so the
// HTTP layer, the tests and the fuzzer all drive the same code. Safe to call
// from several threads at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "server/level_check.h"
#include "server/store.h"

struct Request {
    std::string method;        // "GET", "POST", ...
    std::string target;        // the raw request target: path and query string
    std::string content_type;  // of the body; "" when none
    std::string body;
    std::string peer;          // the client's address, for the rate limits
};

struct Reply {
    int status = 200;
    std::string content_type;  // "" when there is no body
    std::string body;
    std::shared_ptr<const std::string> shared_body;  // sent instead of body when set (cached lists)
    std::string error;         // sent as "X-Error" when not empty; one line
    std::string action;        // what was asked, for the request log

    const std::string& bytes() const { return shared_body ? *shared_body : body; }
};

// At most `count` events per `seconds` from one address (a token bucket that
// refills evenly); count 0 allows nothing.
struct RateLimit {
    int count = 0;
    int seconds = 1;
};

// Parses "COUNT/SECONDS". False for anything else.
bool parse_rate_limit(const std::string& text, RateLimit& out);

struct ServiceOptions {
    RateLimit shares{20, 600};    // per address
    RateLimit accounts{5, 3600};  // account creations per address
    // Finished plays reported per address: each one is a synced write that also
    // renews the cached lists, so a flood would hold up everybody else.
    RateLimit plays{60, 600};
    // Cached download bodies live this long at most (the popular list moves with time).
    int cache_seconds = 60;
    // Unix seconds; tests move the clock.
    std::function<int64_t()> clock;
};

// The texts of the "X-Error" replies.
extern const char* const ERR_UNKNOWN_ACCOUNT;
extern const char* const ERR_WRONG_PASSWORD;
extern const char* const ERR_BLOCKED;
extern const char* const ERR_SIGN_IN_TO_SHARE;
extern const char* const ERR_MAP_DAMAGED;
extern const char* const ERR_MAP_NO_PLAYER;
extern const char* const ERR_MAP_TOO_MANY_ACTORS;
extern const char* const ERR_MAP_UNBEATEN;
extern const char* const ERR_TOO_MANY_SHARES;
extern const char* const ERR_TOO_MANY_ACCOUNTS;
extern const char* const ERR_TOO_MANY_PLAYS;
extern const char* const ERR_BAD_REQUEST;
extern const char* const ERR_TOO_LARGE;
extern const char* const ERR_VERSION;
extern const char* const ERR_UNKNOWN_ACTION;
extern const char* const ERR_UNKNOWN_LIST;
extern const char* const ERR_UNKNOWN_LEVEL;
extern const char* const ERR_SHARE_METHOD;
extern const char* const ERR_STORAGE;
extern const char* const ERR_NOT_FOUND;

// The longest user name: "g:" + name must fit the level record's 31-character
// user identifier, which travels with every shared map.
enum : int { ACCOUNT_NAME_MAX = 29, PASSWORD_MAX = 63, PASSWORD_MIN = 4 };

class Service {
public:
    Service(LevelStore& store, const TileKinds& kinds, ServiceOptions options = {});
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    Reply handle(const Request& request);

    // The reply for a request refused before it reached handle (a body over
    // the limit).
    static Reply too_large();

    // Loads the levels of a level database (the game's `levels` format) as
    // featured levels, in the order of their value, then name. Rows whose data
    // is not a sound level are passed over with a line on stderr. Returns the
    // number loaded, -1 when the file cannot be read.
    int load_featured(const std::string& path);

    // On a store that has never been seeded and holds no levels, loads the
    // featured levels of path and remembers that it did. A missing file is
    // reported and tried again at the next start.
    void seed_once(const std::string& path);

private:
    struct Caller;
    class Limiter;
    struct CachedList;

    Reply api(const Request& r);
    Reply manage(const Request& r);
    Reply stats(const Request& r);

    Reply valid(const Caller& who);
    Reply share(const Request& r, const Caller& who);
    Reply download(const Caller& who, const std::string& q);
    Reply plays(const Caller& who);
    Reply track(const Caller& who);

    int64_t now() const;

    LevelStore& store_;
    TileKinds kinds_;
    ServiceOptions options_;
    std::unique_ptr<Limiter> share_limiter_, account_limiter_, plays_limiter_;
    std::mutex cache_mutex_;
    std::unordered_map<std::string, std::shared_ptr<const CachedList>> cache_;
};
