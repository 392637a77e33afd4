#include "platform/files.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace {
std::string g_data_override;
const char* (*g_app_name)() = nullptr;

// Each problem with a folder is said once per run, not on every call.
void report_once(const std::string& what) {
    static std::set<std::string> said;
    if (said.insert(what).second) fprintf(stderr, "%s\n", what.c_str());
}

bool is_dir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_absolute(const char* path) { return path && path[0] == '/'; }

std::string exe_dir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "";
    buf[n] = '\0';
    char* slash = strrchr(buf, '/');
    if (!slash) return "";
    *slash = '\0';
    return buf;
}

// mkdir -p with mode 0700 for the folders it creates.
bool make_dirs(const std::string& path) {
    if (path.empty() || is_dir(path)) return true;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash))) return false;
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
    report_once("cannot create folder " + path + ": " + strerror(errno));
    return false;
}

// dir joined with a relative path, its leading "../" steps taken off dir, so an
// installed game names "/usr/share/murkwell" rather than "/usr/bin/../share/murkwell".
std::string join_relative(std::string dir, std::string rel) {
    while (rel.compare(0, 3, "../") == 0 && dir.size() > 1) {
        const size_t slash = dir.find_last_of('/');
        if (slash == std::string::npos) break;
        dir.erase(slash == 0 ? 1 : slash);
        rel.erase(0, 3);
    }
    return dir == "/" ? "/" + rel : path_join(dir, rel);
}

// A folder holds the game's data when the tile catalogue is there: a "data"
// folder of some other program in the working folder is passed over.
bool holds_game_data(const std::string& dir) {
    struct stat st;
    return stat(path_join(dir, "tiles.json").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The home folder from the account database when HOME is unset; empty when the
// account has none (system users name "/nonexistent", which must not be made).
std::string account_home() {
    const struct passwd* pw = getpwuid(getuid());
    if (!pw || !is_absolute(pw->pw_dir) || !is_dir(pw->pw_dir)) return "";
    return pw->pw_dir;
}

// A folder for this run's files when the user has no home at all: private to
// the user, refused when someone else made it first or it is a link.
std::string private_temp_dir(const std::string& app) {
    const char* tmp = getenv("TMPDIR");
    const std::string base = is_absolute(tmp) ? tmp : "/tmp";
    const std::string dir = path_join(base, app + "-" + std::to_string(getuid()));
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        report_once("cannot create folder " + dir + ": " + strerror(errno));
        return "";
    }
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0) {
        report_once("refusing folder " + dir + ": not a private folder of this user");
        return "";
    }
    return dir;
}
}  // namespace

std::string path_join(const std::string& dir, const std::string& name) {
    return dir + "/" + name;
}

size_t file_size(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return size_t(st.st_size);
}

void set_data_dir(const std::string& path) { g_data_override = path; }

std::vector<std::string> data_dir_candidates() {
    const std::string exe = exe_dir();
    std::vector<std::string> dirs;
    if (!exe.empty()) dirs.push_back(path_join(exe, "data"));
    dirs.push_back("./data");
#ifdef MURKWELL_DATA_FROM_BINDIR
    if (!exe.empty()) dirs.push_back(join_relative(exe, MURKWELL_DATA_FROM_BINDIR));
#endif
#ifdef MURKWELL_INSTALL_DATADIR
    dirs.push_back(MURKWELL_INSTALL_DATADIR);
#endif
    return dirs;
}

std::string data_dir() {
    if (!g_data_override.empty()) return g_data_override;
    const std::vector<std::string> dirs = data_dir_candidates();
    for (const std::string& dir : dirs)
        if (holds_game_data(dir)) return dir;
    std::string tried;
    for (size_t i = 0; i < dirs.size(); ++i)
        tried += (i == 0 ? "" : i + 1 == dirs.size() ? " or " : ", ") + dirs[i];
    report_once("data folder not found: " + tried);
    return "./data";
}

void set_user_dir_name(const char* (*app_name)()) { g_app_name = app_name; }

std::string user_dir() {
    const char* app = g_app_name ? g_app_name() : nullptr;
    if (!app || !app[0]) return ".";
    std::string base;
    const char* xdg = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    if (const char* appdata = getenv("APPDATA"); appdata && appdata[0]) {
        base = appdata;
    } else if (is_absolute(xdg)) {  // a relative XDG_DATA_HOME is invalid and ignored
        base = xdg;
    } else if (is_absolute(home)) {
        base = std::string(home) + "/.local/share";
    } else if (const std::string account = account_home(); !account.empty()) {
        base = account + "/.local/share";
    } else {
        const std::string dir = private_temp_dir(app);
        if (dir.empty()) {
            report_once("no per-user folder: HOME and XDG_DATA_HOME are not set and the account has "
                        "no home folder; nothing will be saved");
            return "/nonexistent/" + std::string(app);
        }
        report_once("no home folder (HOME and XDG_DATA_HOME are not set, the account has none): "
                    "keeping this session's files in " + dir + ", which may not survive a restart");
        return dir;
    }
    const std::string dir = path_join(base, app);
    if (make_dirs(dir) && access(dir.c_str(), W_OK) != 0)
        report_once("per-user folder " + dir + " is not writable: " + strerror(errno));
    return dir;
}

void report_folders() {
    fprintf(stderr, "data folder: %s\n", data_dir().c_str());
    fprintf(stderr, "per-user folder: %s\n", user_dir().c_str());
}

std::string read_data_file(const std::string& name) {
    const std::string path = path_join(data_dir(), name);
    const size_t size = file_size(path);
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    out.resize(size);
    const size_t got = size ? fread(&out[0], 1, size, f) : 0;
    out.resize(got);
    fclose(f);
    return out;
}

size_t read_user_file(const std::string& name, void* buf, size_t capacity) {
    const std::string path = path_join(user_dir(), name);
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        fprintf(stderr, "cannot read %s: not a file\n", path.c_str());
        return 0;
    }
    const size_t size = file_size(path);
    if (size > capacity) {
        fprintf(stderr, "%s is too large\n", name.c_str());
        return 0;
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        if (errno == ENOENT) fprintf(stderr, "file not found: %s\n", path.c_str());
        else fprintf(stderr, "cannot read %s: %s\n", path.c_str(), strerror(errno));
        return 0;
    }
    const size_t got = size ? fread(buf, 1, size, f) : 0;
    if (ferror(f)) fprintf(stderr, "cannot read %s: %s\n", path.c_str(), strerror(errno));
    fclose(f);
    return got;
}

bool user_file_exists(const std::string& name) {
    struct stat st;
    return lstat(path_join(user_dir(), name).c_str(), &st) == 0;
}

std::string keep_user_file_aside(const std::string& name) {
    const std::string dir = user_dir();
    const std::string from = path_join(dir, name);
    for (int n = 1; n < 1000; ++n) {
        std::string to = from + ".damaged";
        if (n > 1) to += "." + std::to_string(n);
        struct stat st;
        if (lstat(to.c_str(), &st) == 0) continue;  // an older one is kept too
        if (rename(from.c_str(), to.c_str()) == 0) return to;
        break;
    }
    fprintf(stderr, "cannot keep %s aside: %s\n", from.c_str(), strerror(errno));
    return std::string();
}

bool write_user_file(const std::string& name, const void* data, size_t size) {
    const std::string path = path_join(user_dir(), name);
    const std::string tmp = path + ".new";
    FILE* f = fopen(tmp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok) {
        ok = fwrite(data, 1, size, f) == size;
        ok = (fflush(f) == 0) && ok;
        ok = (fclose(f) == 0) && ok;
        ok = ok && rename(tmp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        fprintf(stderr, "cannot write %s: %s\n", path.c_str(), strerror(errno));
        unlink(tmp.c_str());
    }
    return ok;
}
