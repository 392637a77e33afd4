#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace test {

TempDir::TempDir() {
    char tmpl[] = "/tmp/murkwell-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
    if (path_.rfind("/tmp/murkwell-test-", 0) != 0) return;
    pid_t pid = fork();
    if (pid == 0) {
        execlp("rm", "rm", "-rf", path_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid > 0) waitpid(pid, nullptr, 0);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = getenv(name);
    had_old_ = old != nullptr;
    if (old) old_ = old;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_old_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
}

Xvfb::Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return;
    }
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return;
    }
    pid_ = pid;
    display_ = ":" + number;
    env_ = new ScopedEnv("DISPLAY", display_.c_str());
}

Xvfb::~Xvfb() {
    delete env_;
    if (pid_ <= 0) return;
    // A server that has not gone within 10 s of SIGTERM (a loaded machine, a
    // client still holding on) is killed, so a test never waits on it forever.
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        usleep(20000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

GameProcess::GameProcess(const std::string& appdata, const GameOptions& options) : dir_(appdata) {
    const std::string out_path = dir_ + "/stdout.txt", err_path = dir_ + "/stderr.txt";
    write_file(out_path, "");
    write_file(err_path, "");
    const std::string exe = options.exe.empty() ? std::string(MURKWELL_BINARY_DIR) + "/murkwell" : options.exe;
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        setenv("APPDATA", dir_.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    pid_ = pid;
}

GameProcess::~GameProcess() {
    if (pid_ > 0) stop(SIGKILL);
}

std::string GameProcess::err() const { return read_file(dir_ + "/stderr.txt"); }
std::string GameProcess::out() const { return read_file(dir_ + "/stdout.txt"); }

static bool wait_for_text(const std::function<std::string()>& read, const std::string& text, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i) {
        if (read().find(text) != std::string::npos) return true;
        usleep(20000);
    }
    return read().find(text) != std::string::npos;
}

bool GameProcess::wait_for_stderr(const std::string& text, double seconds) const {
    return wait_for_text([this] { return err(); }, text, seconds);
}

bool GameProcess::wait_for_stdout(const std::string& text, double seconds) const {
    return wait_for_text([this] { return out(); }, text, seconds);
}

int GameProcess::stop(int sig) {
    int status = -1;
    if (pid_ <= 0) return status;
    kill(pid_, sig);
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) break;
        usleep(20000);
        if (i == 999) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    pid_ = -1;
    return status;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string source_data_dir() { return std::string(MURKWELL_SOURCE_DIR) + "/data"; }

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string sqlite(const std::string& path, const std::string& sql) {
    return run("sqlite3 '" + path + "' \"" + sql + "\" 2>&1");
}

}  // namespace test
