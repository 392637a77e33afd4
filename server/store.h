// The level service's storage: accounts, shared levels, ratings, finished
// plays and play events, behind one narrow interface. The service only talks
// to LevelStore, so a store on another database can take SQLite's place.
//
// Every operation is safe to call from several threads at once; a write is
// all or nothing. Times are Unix seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Account {
    std::string uid;      // "g:" + name: the user identifier the game sends
    std::string name;     // unique on the service, ignoring ASCII case
    std::string token;    // md5_hex(name + "|" + md5_hex(password)); never the password
    int64_t created = 0;
    bool blocked = false;
};

struct SharedLevel {
    int64_t number = 0;   // the service's level number (1, 2, ...); 0 before it is stored
    std::string uid;      // the author's user identifier ("" for curated seed levels)
    std::string id;       // the author's level identifier; (uid, id) is unique
    std::string name;     // the level's own name (its map id) as the author left it
    std::string author, title, intro;
    std::string data;     // the compressed level record (one zlib stream)
    int64_t ts = 0;       // time of the last share
    int featured = 0;     // 0: not featured; else its place in the featured list, 1 first
    double stars = 0.0;   // average of the non-zero "Awesomeness" ratings, 0 when none
    double skulls = 0.0;  // average of the non-zero "Difficulty" ratings, 0 when none
    int64_t star_votes = 0, skull_votes = 0;
    int64_t plays = 0;    // finished plays reported
    int64_t starts = 0;   // plays started (play events "start")
};

// Which levels a list holds, and in which order.
enum class ListKind {
    Featured,   // featured levels by their place
    Newest,     // newest share first
    Popular,    // most finished plays since `since`, then best rated, then newest
    Favorites,  // levels `who` rated 4 or 5 stars, most recently rated first
    Friends,    // levels by the authors of `who`'s favourites (not `who`'s own), newest first
    Author,     // levels by the author `who`, newest first
};

struct ListQuery {
    ListKind kind = ListKind::Newest;
    std::string who;      // player key or user identifier, for the kinds that name one
    int64_t since = 0;    // Popular: count plays from this time on
    int limit = 100;
    bool with_data = true;  // false leaves SharedLevel::data empty (pages)
    bool hidden = false;    // true also lists the levels of blocked accounts
};

// One finished play, with the rating given (0: not rated).
struct Play {
    int64_t level = 0;    // level number
    std::string player;   // player key: an account's uid, "d:" + device id for a guest, or ""
    bool account = false; // player is a signed-in account: its statistics count the play
    int64_t ts = 0;
    int64_t seconds = 0, bonus = 0, rewinds = 0, bombs_left = 0;
    int stars = 0, skulls = 0;  // 0..5
};

// One play event ("start", "win", "restart", "rewind", "quit").
struct PlayEvent {
    int64_t ts = 0;
    std::string player;   // player key, as in Play
    bool account = false; // player is a signed-in account: its statistics count the event
    std::string page, category, action;  // category: the level's name
    int64_t value = 0;    // whole seconds of play at the event
};

struct PlayerStats {
    int64_t played = 0;   // distinct levels started or won
    int64_t won = 0;      // distinct levels won
    int64_t seconds = 0;  // play time of the plays ended (won, restarted, quit)
};

enum class PlayResult { Stored, UnknownLevel, Failed };

class LevelStore {
public:
    virtual ~LevelStore() = default;

    // False when the store could not be opened or set up; every call then fails.
    virtual bool ok() const = 0;

    // Accounts. find_account matches the name exactly or in another ASCII case.
    virtual std::optional<Account> find_account(const std::string& name) = 0;
    // False when the name is taken (in any ASCII case) or the write failed.
    virtual bool add_account(const Account& account) = 0;
    virtual bool set_token(const std::string& uid, const std::string& token) = 0;
    virtual bool set_blocked(const std::string& name, bool blocked) = 0;
    virtual std::vector<Account> accounts() = 0;

    // Levels. put_level stores a share, replacing the level with the same
    // (uid, id) but keeping its number, ratings, plays and featured place; it
    // returns the level's number, 0 on failure. featured is taken only when a
    // new level is made.
    virtual int64_t put_level(const SharedLevel& level) = 0;
    virtual std::optional<SharedLevel> level(int64_t number) = 0;
    virtual std::vector<SharedLevel> list(const ListQuery& query) = 0;
    virtual bool remove_level(int64_t number) = 0;
    // Puts the level at the end of the featured list, or takes it off.
    virtual bool set_featured(int64_t number, bool featured) = 0;
    virtual int64_t level_count() = 0;

    // A finished play: stored with its rating, which replaces the player's
    // earlier non-zero ratings of the level, and the level's averages updated.
    virtual PlayResult add_play(const Play& play) = 0;
    // A play event; only the newest events are kept (see the store's bound).
    virtual bool add_event(const PlayEvent& event) = 0;
    virtual PlayerStats player_stats(const std::string& uid) = 0;

    // Changes whenever a level list could have changed (also by another process
    // on the same store), so cached lists can be checked cheaply.
    virtual int64_t generation() = 0;

    // Small service settings ("seeded").
    virtual std::string setting(const std::string& key) = 0;
    virtual bool set_setting(const std::string& key, const std::string& value) = 0;
};
