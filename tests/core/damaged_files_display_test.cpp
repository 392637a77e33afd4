// The real game started over files damaged between runs: a saved game cut
// short, settings of garbage, a maps database that is not one, a downloads
// database another program holds locked, and a data folder missing a picture
// and sounds. It starts, says what is wrong on the error stream, keeps every
// file it could not read, and the next start is a clean one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/game.h"
#include "test_support.h"

namespace {

// The game binary copied beside a data folder of links to the shipped files,
// less the ones named: the game takes the data folder beside itself.
std::string make_install(const test::TempDir& tmp, const std::vector<std::string>& missing) {
    const std::string game = tmp.file("game");
    const std::string data = test::source_data_dir();
    const std::string script =
        "set -e; mkdir -p '" + game + "/data'; cp '" MURKWELL_BINARY_DIR "/murkwell' '" + game + "/';"
        " cd '" + data + "'; for f in $(find . -type f -o -type l); do"
        "   mkdir -p \"" + game + "/data/$(dirname $f)\"; ln -s \"" + data + "/$f\" \"" + game + "/data/$f\"; done;"
        " echo ok";
    if (test::run(script) != "ok\n") return std::string();
    for (const std::string& m : missing) unlink((game + "/data/" + m).c_str());
    return game + "/murkwell";
}

struct GameRun {
    int status = -1;
    std::string err;
};

// Starts the game, waits (bounded) until its error stream holds `until`, then
// ends it with SIGTERM as a desktop session would.
GameRun run_game(const std::string& exe, const std::string& home, const std::vector<std::string>& args,
                 const std::string& until) {
    test::GameOptions options;
    options.exe = exe;
    options.args = args;
    test::GameProcess game(home, options);
    game.wait_for_stderr(until, 60);
    GameRun run;
    run.status = game.stop(SIGTERM);
    run.err = game.err();
    return run;
}

// Python's sqlite3 module holding an exclusive lock on a database until
// released (or destroyed).
class LockHolder {
public:
    LockHolder(const std::string& db, const std::string& ready) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[0], 0);
            close(fds[1]);
            execlp("python3", "python3", "-c",
                   "import sqlite3, sys\n"
                   "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                   "c.execute('begin exclusive')\n"
                   "open(sys.argv[2], 'w').close()\n"
                   "sys.stdin.read()\n",
                   db.c_str(), ready.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[0]);
        pipe_ = fds[1];
        for (int i = 0; i < 1000 && !test::file_exists(ready); ++i) usleep(10000);
    }
    ~LockHolder() { release(); }
    void release() {
        if (pipe_ >= 0) close(pipe_);
        pipe_ = -1;
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};

bool has(const std::string& log, const std::string& line) { return log.find(line) != std::string::npos; }

TEST(DamagedFiles, TheGameStartsSaysWhatIsWrongAndKeepsWhatItCouldNotRead) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir tmp;
    const std::string exe = make_install(tmp, {"img/walls.png", "sound/menus.ogg", "sound/sneak.ogg"});
    ASSERT_FALSE(exe.empty());
    const std::string home = tmp.file("home"), dir = home + "/Murkwell/";
    ASSERT_EQ(test::run("mkdir -p '" + dir + "' && echo ok"), "ok\n");

    // A saved game in play, cut short by a full disk.
    std::string state(sizeof(game), '\0');
    const int32_t one = 1, three = 3;
    memcpy(&state[0], &one, 4);
    memcpy(&state[4], &three, 4);
    test::write_file(dir + "state.dat", state.substr(0, 50000));
    // Settings overwritten with noise; a maps database that is noise too.
    std::string noise(276, '\0');
    unsigned seed = 5;
    for (char& c : noise) c = char((seed = seed * 1103515245u + 12345u) >> 16);
    test::write_file(dir + "settings.dat", noise);
    test::write_file(dir + "user.db", noise + noise + noise);
    // A downloads database with a row, locked by another program.
    ASSERT_EQ(test::sqlite(dir + "net.db",
                           "create table levels (id text primary key, name text, data blob, ts int, "
                           "author text, title text, q text, uid text, stars float, skulls float, "
                           "intro text, value int); insert into levels (id, title, q) values "
                           "('7', 'Downloaded', 'c~newest');"),
              "");
    const std::string net_sum = test::run("md5sum < '" + dir + "net.db'");
    LockHolder lock(dir + "net.db", tmp.file("locked"));
    ASSERT_TRUE(test::file_exists(tmp.file("locked")));

    // A level is played, so its pictures and music are asked for.
    const GameRun first = run_game(exe, home, {"--play", "t01"}, "walls.png");
    ASSERT_TRUE(WIFEXITED(first.status)) << first.err;
    EXPECT_EQ(WEXITSTATUS(first.status), 0) << first.err;
    const std::string& log = first.err;
    EXPECT_TRUE(has(log, "state.dat is cut short (50000 of 213308 bytes)\n")) << log;
    EXPECT_TRUE(has(log, "state.dat kept as " + dir + "state.dat.damaged; starting at the main menu\n"));
    EXPECT_TRUE(has(log, "settings.dat is of another version (")) << log;
    EXPECT_TRUE(has(log, "settings.dat kept as " + dir + "settings.dat.damaged; using the default settings\n"));
    EXPECT_TRUE(has(log, "user.db is damaged (file is not a database)\n")) << log;
    EXPECT_TRUE(has(log, "user.db kept as " + dir + "user.db.damaged; starting a new one\n"));
    EXPECT_TRUE(has(log, "net.db is locked by another program")) << log;
    EXPECT_TRUE(has(log, "unable to load " + tmp.file("game") + "/data/img/walls.png\n")) << log;
    EXPECT_TRUE(has(log, "stream_load (soundSource) error: " + tmp.file("game") + "/data/sound/menus.ogg\n"))
        << log;
    EXPECT_TRUE(has(log, "stream_load (soundSource) error: " + tmp.file("game") + "/data/sound/sneak.ogg\n"))
        << log;

    // Every file it could not read is kept byte for byte; nothing touched the
    // locked one; good files stand in place of the others.
    EXPECT_EQ(test::read_file(dir + "state.dat.damaged"), state.substr(0, 50000));
    EXPECT_EQ(test::read_file(dir + "settings.dat.damaged"), noise);
    EXPECT_EQ(test::read_file(dir + "user.db.damaged"), noise + noise + noise);
    EXPECT_EQ(test::run("md5sum < '" + dir + "net.db'"), net_sum);
    EXPECT_EQ(test::read_file(dir + "state.dat").size(), sizeof(game));
    EXPECT_EQ(test::read_file(dir + "settings.dat").size(), sizeof(settings));
    EXPECT_EQ(test::sqlite(dir + "user.db", "pragma integrity_check; select count(*) from levels;"), "ok\n0\n");
    lock.release();
    EXPECT_EQ(test::sqlite(dir + "net.db", "select title from levels;"), "Downloaded\n");

    // The next start finds nothing wrong and resumes the level it was playing.
    const GameRun second = run_game(exe, home, {}, "sizeof(game) = 208k");
    ASSERT_TRUE(WIFEXITED(second.status)) << second.err;
    EXPECT_EQ(WEXITSTATUS(second.status), 0);
    for (const char* word : {"damaged", "cut short", "another version", "locked", "kept as"})
        EXPECT_FALSE(has(second.err, word)) << word << "\n" << second.err;
    game g{};
    const std::string saved = test::read_file(dir + "state.dat");
    ASSERT_EQ(saved.size(), sizeof g);
    memcpy(&g, saved.data(), sizeof g);
    EXPECT_STREQ(g.level.title, "First Steps");
    EXPECT_EQ(g.settings.music_volume, 50);
    EXPECT_EQ(test::read_file(dir + "state.dat.damaged"), state.substr(0, 50000));
    EXPECT_FALSE(test::file_exists(dir + "state.dat.damaged.2"));
}

}  // namespace
