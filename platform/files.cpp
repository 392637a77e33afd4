#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

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

std::string data_dir() {
    if (!g_data_override.empty()) return g_data_override;
    const std::string beside = path_join(exe_dir(), "data");
    if (is_dir(beside)) return beside;
    if (!is_dir("./data")) report_once("data folder not found: " + beside + " or ./data");
    return "./data";
}

void set_user_dir_name(const char* (*app_name)()) { g_app_name = app_name; }

std::string user_dir() {
    const char* app = g_app_name ? g_app_name() : nullptr;
    if (!app || !app[0]) return ".";
    std::string base;
    if (const char* appdata = getenv("APPDATA"); appdata && appdata[0]) {
        base = appdata;
    } else if (const char* xdg = getenv("XDG_DATA_HOME"); xdg && xdg[0]) {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        base = std::string(home && home[0] ? home : ".") + "/.local/share";
    }
    const std::string dir = path_join(base, app);
    if (make_dirs(dir) && access(dir.c_str(), W_OK) != 0)
        report_once("per-user folder " + dir + " is not writable: " + strerror(errno));
    return dir;
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
    const size_t size = file_size(path);
    if (size > capacity) {
        fprintf(stderr, "%s is too large\n", name.c_str());
        return 0;
    }
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(stderr, "file not found: %s\n", path.c_str());
        return 0;
    }
    const size_t got = size ? fread(buf, 1, size, f) : 0;
    fclose(f);
    return got;
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
