// LevelStore on one SQLite file in WAL mode, through MyDB. Each thread that
// calls in borrows a connection from a small pool, so readers never wait for
// one another and writers queue on SQLite's write lock (busy time-out).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/mydb.h"
#include "server/store.h"

struct SqliteStoreOptions {
    // false: scratch stores (the fuzzer's) that need survive nothing
    // (synchronous=off).
    bool durable = true;
    // With durable: true makes every acknowledged write reach the disk before
    // the answer (synchronous=full, one sync per write); false keeps it safe
    // from a crash of the service but not of the machine (synchronous=normal),
    // for several times the write rate.
    bool sync_every_write = true;
    // The play events kept: older ones are dropped as new ones come.
    int64_t event_limit = 1000000;
};

class SqliteStore : public LevelStore {
public:
    // Opens (creating when missing) the database at path and sets up its
    // tables. A file that is not a level service database, or cannot be
    // opened, leaves ok() false with a line on stderr.
    explicit SqliteStore(const std::string& path, SqliteStoreOptions options = {});
    ~SqliteStore() override;

    bool ok() const override { return ok_; }

    std::optional<Account> find_account(const std::string& name) override;
    bool add_account(const Account& account) override;
    bool set_token(const std::string& uid, const std::string& token) override;
    bool set_blocked(const std::string& name, bool blocked) override;
    std::vector<Account> accounts() override;

    int64_t put_level(const SharedLevel& level) override;
    std::optional<SharedLevel> level(int64_t number) override;
    std::vector<SharedLevel> list(const ListQuery& query) override;
    bool remove_level(int64_t number) override;
    bool set_featured(int64_t number, bool featured) override;
    int64_t level_count() override;

    PlayResult add_play(const Play& play) override;
    bool add_event(const PlayEvent& event) override;
    PlayerStats player_stats(const std::string& uid) override;

    int64_t generation() override;
    std::string setting(const std::string& key) override;
    bool set_setting(const std::string& key, const std::string& value) override;

private:
    class Lease;
    std::unique_ptr<MyDB> open_connection();
    std::unique_ptr<MyDB> acquire();
    void release(std::unique_ptr<MyDB> db);
    // Runs body inside "begin immediate" ... "commit"; rolls back when body
    // returns false or a statement fails.
    template <class Body>
    bool write(Body&& body);

    std::string path_;
    SqliteStoreOptions options_;
    bool ok_ = false;
    std::mutex mutex_;                     // guards idle_
    std::vector<std::unique_ptr<MyDB>> idle_;
    // This process's writers take turns here rather than in SQLite's busy
    // handler, whose growing sleeps would leave some of them waiting seconds.
    std::mutex write_mutex_;
};
