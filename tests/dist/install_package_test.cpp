// The game as a player gets it: `cmake --install` into a prefix with spaces,
// the Debian package built by CPack and unpacked with dpkg-deb, the desktop
// files checked by their own validators, and the installed binary started
// from those trees under a private Xvfb (moved, with a read-only data folder,
// without a home). One process: the tree and the package are made once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

const std::string kBuild = MURKWELL_BINARY_DIR;
const std::string kSource = MURKWELL_SOURCE_DIR;
const std::string kAppId = MURKWELL_APP_ID;
const uid_t kNobody = 65534;

struct Cmd {
    int status = -1;  // the shell's exit status; -1 when it could not run
    std::string out;  // standard output and standard error
};

Cmd shell(const std::string& command) {
    Cmd c;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return c;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) c.out.append(buf, n);
    const int st = pclose(p);
    c.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return c;
}

// One shell word, whatever the path holds.
std::string q(const std::string& s) {
    std::string out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

bool have(const std::string& tool) { return shell("command -v " + q(tool)).status == 0; }

// Every file and link below dir, as sorted paths relative to it.
std::vector<std::string> files_below(const std::string& dir) {
    std::vector<std::string> list;
    std::istringstream in(test::run("cd " + q(dir) + " && find . \\( -type f -o -type l \\) | sort"));
    for (std::string line; std::getline(in, line);)
        if (line.size() > 2) list.push_back(line.substr(2));
    return list;
}

// Width and height from a PNG's header; (0, 0) when it is not a PNG.
std::pair<int, int> png_size(const std::string& path) {
    const std::string b = test::read_file(path);
    if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || b.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        return int((unsigned char)b[at]) << 24 | int((unsigned char)b[at + 1]) << 16 |
               int((unsigned char)b[at + 2]) << 8 | int((unsigned char)b[at + 3]);
    };
    return {be32(16), be32(20)};
}

// The value of `key=` in a desktop entry.
std::string desktop_key(const std::string& entry, const std::string& key) {
    std::istringstream in(entry);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

// The files one install holds, relative to its prefix.
std::vector<std::string> expected_files() {
    std::vector<std::string> v = {
        "bin/murkwell",
        "share/applications/" + kAppId + ".desktop",
        "share/metainfo/" + kAppId + ".metainfo.xml",
        "share/icons/hicolor/48x48/apps/murkwell.png",
        "share/icons/hicolor/64x64/apps/murkwell.png",
        "share/icons/hicolor/128x128/apps/murkwell.png",
        "share/icons/hicolor/256x256/apps/murkwell.png",
        "share/man/man6/murkwell.6.gz",
        "share/doc/murkwell/README.md",
        "share/doc/murkwell/copyright",
        "share/doc/murkwell/changelog.gz",
        "share/lintian/overrides/murkwell",
    };
#ifdef MURKWELL_WITH_SERVER
    v.push_back("bin/murkwell-server");
    v.push_back("share/man/man6/murkwell-server.6.gz");
    v.push_back("share/doc/murkwell/examples/murkwell-server.service");
#endif
    for (const std::string& f : files_below(test::source_data_dir()))
        if (f != ".gitkeep") v.push_back("share/murkwell/" + f);
    std::sort(v.begin(), v.end());
    return v;
}

// ----------------------------------------------------------------- fixture

// Made once for the whole program: an install tree under a prefix with a
// space, the package, and the package unpacked into a root.
struct Made {
    test::TempDir work;
    std::string tree, deb, root, problem;
    test::Xvfb* x = nullptr;
};
Made* g_made = nullptr;

class Dist : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_made = new Made;
        Made& m = *g_made;
        chmod(m.work.path().c_str(), 0755);  // the runs as another account reach the trees
        m.tree = m.work.file("pre fix/usr");
        Cmd install = shell(std::string(CMAKE_COMMAND) + " --install " + q(kBuild) + " --prefix " + q(m.tree));
        if (install.status != 0) {
            m.problem = "cmake --install failed:\n" + install.out;
            return;
        }
        Cmd pack = shell("cd " + q(m.work.path()) + " && " + std::string(CPACK_COMMAND) + " -G DEB -B " +
                         q(m.work.file("pkg")) + " --config " + q(kBuild + "/CPackConfig.cmake"));
        m.deb = test::run("ls " + q(m.work.file("pkg")) + "/*.deb 2>/dev/null | head -n 1");
        if (!m.deb.empty() && m.deb.back() == '\n') m.deb.pop_back();
        if (pack.status != 0 || m.deb.empty()) {
            m.problem = "cpack failed:\n" + pack.out;
            return;
        }
        m.root = m.work.file("root");
        Cmd unpack = shell("dpkg-deb -x " + q(m.deb) + " " + q(m.root));
        if (unpack.status != 0) m.problem = "dpkg-deb -x failed:\n" + unpack.out;
        m.x = new test::Xvfb;
    }
    static void TearDownTestSuite() {
        delete g_made->x;
        delete g_made;
        g_made = nullptr;
    }
    void SetUp() override { ASSERT_EQ(g_made->problem, ""); }
    Made& m() { return *g_made; }
};

// ------------------------------------------------------------ the game run

struct GameRun {
    int status = -1;
    bool window = false;  // a window of class "murkwell" appeared
    std::string err;
};

struct Launch {
    std::string exe;
    std::map<std::string, std::string> env;  // the whole environment, besides DISPLAY
    bool as_nobody = false;                  // drop to an account without a home (needs root)
};

// Starts the installed game in a working folder that holds a "data" folder of
// the player's own (not the game's: it must be passed over), waits (bounded) until
// its window is up and start-up is over, asks it to stop with SIGTERM, and
// collects what it said.
GameRun run_installed(const Launch& l, const std::string& display, const std::string& scratch) {
    GameRun run;
    const std::string err_path = scratch + "/stderr.txt";
    const std::string cwd = scratch + "/cwd";
    mkdir(cwd.c_str(), 0777);
    chmod(cwd.c_str(), 0777);
    mkdir((cwd + "/data").c_str(), 0777);
    test::write_file(cwd + "/data/holiday.txt", "not the game's");
    pid_t pid = fork();
    if (pid == 0) {
        int out = open("/dev/null", O_WRONLY);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(cwd.c_str()) != 0) _exit(126);
        clearenv();
        setenv("DISPLAY", display.c_str(), 1);
        for (const auto& [k, v] : l.env) setenv(k.c_str(), v.c_str(), 1);
        if (l.as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(125);
        execl(l.exe.c_str(), l.exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return run;
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::seconds(60);
    bool started = false;
    while (clock::now() < deadline && !(started && run.window)) {
        if (waitpid(pid, &run.status, WNOHANG) == pid) {
            run.err = test::read_file(err_path);
            return run;  // ended on its own: the caller reports it
        }
        started = test::read_file(err_path).find("sizeof(game) = 208k") != std::string::npos;
        run.window = run.window ||
                     shell("DISPLAY=" + display + " xdotool search --classname '^murkwell$'").status == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGTERM);
    const auto stop_deadline = clock::now() + std::chrono::seconds(20);
    while (waitpid(pid, &run.status, WNOHANG) != pid) {
        if (clock::now() > stop_deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &run.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.err = test::read_file(err_path);
    return run;
}

// What every good run shows: started, found its data in `data`, kept its files
// in `user`, stopped cleanly on SIGTERM and saved.
void expect_good_run(const GameRun& run, const std::string& data, const std::string& user) {
    ASSERT_TRUE(WIFEXITED(run.status)) << "killed by signal, or still running after SIGTERM\n" << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_TRUE(run.window) << "no window of class murkwell (the desktop entry's StartupWMClass)";
    EXPECT_NE(run.err.find("data folder: " + data + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("data folder not found"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("levels " + data + "/game.db has 12"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("_game_tile_init 33 block"), std::string::npos) << "no tile catalogue\n" << run.err;
    EXPECT_NE(run.err.find("per-user folder: " + user + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(test::read_file(user + "/state.dat").size(), 213308u) << "nothing saved in " << user;
}

// ------------------------------------------------------------------- tests

TEST_F(Dist, InstallTreeHoldsTheGameItsDataAndDesktopFiles) {
    EXPECT_EQ(files_below(m().tree), expected_files());
    struct stat st;
    ASSERT_EQ(stat((m().tree + "/bin/murkwell").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXOTH);
    // The data folder byte for byte.
    Cmd diff = shell("diff -r --exclude=.gitkeep " + q(test::source_data_dir()) + " " +
                     q(m().tree + "/share/murkwell"));
    EXPECT_EQ(diff.status, 0) << diff.out;
    for (int size : {48, 64, 128, 256}) {
        const std::string icon =
            m().tree + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/murkwell.png";
        EXPECT_EQ(png_size(icon), std::make_pair(size, size)) << icon;
    }
    // The pieces name each other: the entry starts the installed program and
    // shows the installed icon; the metainfo launches the installed entry.
    const std::string entry = test::read_file(m().tree + "/share/applications/" + kAppId + ".desktop");
    EXPECT_TRUE(test::file_exists(m().tree + "/bin/" + desktop_key(entry, "Exec")));
    EXPECT_EQ(desktop_key(entry, "Icon"), "murkwell");
    EXPECT_EQ(desktop_key(entry, "StartupWMClass"), "murkwell");
    const std::string meta = test::read_file(m().tree + "/share/metainfo/" + kAppId + ".metainfo.xml");
    EXPECT_NE(meta.find("<launchable type=\"desktop-id\">" + kAppId + ".desktop</launchable>"), std::string::npos);
    EXPECT_NE(meta.find("<release version=\"" MURKWELL_VERSION "\""), std::string::npos);
    // Installed paths in the manual page are the prefix really installed to.
    const std::string page = test::run("zcat " + q(m().tree + "/share/man/man6/murkwell.6.gz"));
    EXPECT_NE(page.find(".I \"" + m().tree + "/share/murkwell/\""), std::string::npos) << page;
    const std::string packaged = test::run("zcat " + q(m().root + "/usr/share/man/man6/murkwell.6.gz"));
    EXPECT_NE(packaged.find(".I \"/usr/share/murkwell/\""), std::string::npos) << packaged;
}

TEST_F(Dist, DesktopFilesPassTheirValidators) {
    struct Check {
        const char* tool;
        std::string command;
    };
    // What a player gets: the files of the unpacked package, with /usr paths.
    const std::string share = m().root + "/usr/share";
    const std::string man = "test -z \"$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z ";
    std::vector<Check> checks = {
        {"desktop-file-validate", "desktop-file-validate " + q(share + "/applications/" + kAppId + ".desktop")},
        {"appstreamcli", "appstreamcli validate --no-net --pedantic " + q(share + "/metainfo/" + kAppId + ".metainfo.xml")},
        // man prints its warnings; the check passes only when it says nothing.
        {"man", man + q(share + "/man/man6/murkwell.6.gz") + " 2>&1 >/dev/null)\""},
    };
#ifdef MURKWELL_WITH_SERVER
    checks.push_back({"man", man + q(share + "/man/man6/murkwell-server.6.gz") + " 2>&1 >/dev/null)\""});
    // The install tree's unit: its ExecStart names the installed service, in a
    // folder with a space, which must reach systemd as one word.
    checks.push_back({"systemd-analyze", "systemd-analyze verify --man=no " +
                                             q(m().tree + "/share/doc/murkwell/examples/murkwell-server.service")});
#endif
    int ran = 0;
    for (const Check& c : checks) {
        if (!have(c.tool)) {
            printf("skipped (%s is not installed): %s\n", c.tool, c.command.c_str());
            continue;
        }
        ++ran;
        Cmd r = shell(c.command);
        EXPECT_EQ(r.status, 0) << c.command << "\n" << r.out;
    }
    if (ran == 0) GTEST_SKIP() << "no validator installed (tools/setup.sh installs them)";
}

TEST_F(Dist, PackageControlFields) {
    auto field = [&](const std::string& name) {
        std::string v = test::run("dpkg-deb -f " + q(m().deb) + " " + name);
        while (!v.empty() && v.back() == '\n') v.pop_back();
        return v;
    };
    EXPECT_EQ(field("Package"), "murkwell");
    EXPECT_EQ(field("Version"), MURKWELL_VERSION);
    EXPECT_EQ(field("Section"), "games");
    std::string arch = test::run("dpkg --print-architecture");
    arch.erase(arch.find_last_not_of('\n') + 1);
    EXPECT_EQ(field("Architecture"), arch);
    EXPECT_FALSE(field("Maintainer").empty());
    EXPECT_GT(std::stol("0" + field("Installed-Size")), 1000);
    // Computed from the binaries' libraries, not written by hand.
    const std::string depends = field("Depends");
    for (const char* lib : {"libc6", "libsdl1.2debian", "libsdl-image1.2", "libsdl-mixer1.2", "libsqlite3-0",
                            "libjsoncpp", "zlib1g", "libgl1"})
        EXPECT_NE(depends.find(lib), std::string::npos) << lib << " missing from: " << depends;
    EXPECT_EQ(depends.find("-dev"), std::string::npos) << depends;
}

TEST_F(Dist, PackageHoldsTheInstallTreeOwnedByRoot) {
    // The package's files under /usr are exactly what an install lays out.
    EXPECT_EQ(files_below(m().root + "/usr"), expected_files());
    EXPECT_EQ(files_below(m().root).size(), expected_files().size()) << "files outside /usr";
    std::istringstream listing(test::run("dpkg-deb -c " + q(m().deb)));
    int entries = 0;
    for (std::string line; std::getline(listing, line); ++entries) {
        std::istringstream f(line);
        std::string mode, owner;
        f >> mode >> owner;
        EXPECT_EQ(owner, "root/root") << line;
        const bool program = line.find("./usr/bin/") != std::string::npos && mode[0] == '-';
        const char* want = mode[0] == 'd' || program ? "rwxr-xr-x" : "rw-r--r--";
        EXPECT_EQ(mode.substr(1), want) << line;
    }
    EXPECT_GT(entries, 40);
    // Stripped: the debugging information stays in the build.
    Cmd file = shell("file -b " + q(m().root + "/usr/bin/murkwell"));
    EXPECT_NE(file.out.find(", stripped"), std::string::npos) << file.out;
}

TEST_F(Dist, LintianFindsNothingUnexplained) {
    if (!have("lintian")) GTEST_SKIP() << "lintian is not installed (tools/setup.sh installs it)";
    // Errors and warnings fail; the informational tags are shown so an override
    // that no longer applies is noticed too.
    Cmd r = shell("lintian --display-info --fail-on error,warning " + q(m().deb));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("unused-override"), std::string::npos) << r.out;
}

TEST_F(Dist, InstalledGameStartsFromThePackageAndFromAMovedTree) {
    ASSERT_TRUE(m().x && m().x->ok());
    // A copy of the install tree under another folder with a space: the game
    // must find its data relative to itself, not where it was installed.
    const std::string moved = m().work.file("moved here/usr");
    ASSERT_EQ(shell("mkdir -p " + q(m().work.file("moved here")) + " && cp -a " + q(m().tree) + " " + q(moved)).status, 0);
    struct Case {
        const char* name;
        std::string prefix;
    } cases[] = {{"unpacked package", m().root + "/usr"}, {"moved install tree", moved}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir scratch;
        Launch l;
        l.exe = c.prefix + "/bin/murkwell";
        l.env = {{"APPDATA", scratch.path()}, {"SDL_AUDIODRIVER", "dummy"}, {"PATH", "/usr/bin:/bin"}};
        GameRun run = run_installed(l, m().x->display(), scratch.path());
        expect_good_run(run, c.prefix + "/share/murkwell", scratch.path() + "/Murkwell");
    }
}

TEST_F(Dist, ReadOnlyDataFolderAndNoHome) {
    ASSERT_TRUE(m().x && m().x->ok());
    if (getuid() != 0) GTEST_SKIP() << "becoming an account without a home folder needs root";
    // The unpacked package as installed: data owned by root, read-only for the
    // player; the player's account has no home and the environment names none.
    const std::string data = m().root + "/usr/share/murkwell";
    ASSERT_EQ(shell("chmod -R a-w " + q(data)).status, 0);
    const std::string before = test::run("cd " + q(data) + " && ls -la --time-style=full-iso -R . && md5sum game.db");
    test::TempDir scratch;
    chmod(scratch.path().c_str(), 0777);
    const std::string tmp = scratch.file("tmp");
    mkdir(tmp.c_str(), 01777);
    chmod(tmp.c_str(), 01777);
    Launch l;
    l.exe = m().root + "/usr/bin/murkwell";
    l.env = {{"SDL_AUDIODRIVER", "dummy"}, {"TMPDIR", tmp}};
    l.as_nobody = true;
    GameRun run = run_installed(l, m().x->display(), scratch.path());
    const std::string user = tmp + "/Murkwell-" + std::to_string(kNobody);
    expect_good_run(run, data, user);
    EXPECT_NE(run.err.find("no home folder (HOME and XDG_DATA_HOME are not set, the account has none): "
                           "keeping this session's files in " + user),
              std::string::npos)
        << run.err;
    struct stat st;
    ASSERT_EQ(stat(user.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(test::run("cd " + q(data) + " && ls -la --time-style=full-iso -R . && md5sum game.db"), before)
        << "the game wrote into its data folder";
    shell("chmod -R u+w " + q(data));
}

TEST_F(Dist, PrivateTemporaryFolderTakenByAnotherAccountIsRefused) {
    ASSERT_TRUE(m().x && m().x->ok());
    if (getuid() != 0) GTEST_SKIP() << "becoming an account without a home folder needs root";
    // Someone else made the folder the game would use first: the game must not
    // keep the player's files there, and must say why.
    test::TempDir scratch;
    chmod(scratch.path().c_str(), 0777);
    const std::string tmp = scratch.file("tmp");
    mkdir(tmp.c_str(), 01777);
    chmod(tmp.c_str(), 01777);
    const std::string squatted = tmp + "/Murkwell-" + std::to_string(kNobody);
    mkdir(squatted.c_str(), 0777);
    chmod(squatted.c_str(), 0777);
    Launch l;
    l.exe = m().root + "/usr/bin/murkwell";
    l.env = {{"SDL_AUDIODRIVER", "dummy"}, {"TMPDIR", tmp}};
    l.as_nobody = true;
    GameRun run = run_installed(l, m().x->display(), scratch.path());
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_NE(run.err.find("refusing folder " + squatted + ": not a private folder of this user"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("nothing will be saved"), std::string::npos) << run.err;
    EXPECT_EQ(files_below(squatted).size(), 0u) << "files left in a folder of another account";
}

}  // namespace
