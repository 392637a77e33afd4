#include "platform/shell.h"

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/driver.h"

namespace {
std::string g_local_clipboard;

bool on_path(const char* program) {
    const char* path = getenv("PATH");
    if (!path) return false;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The external clipboard tool's command line for reading or writing, or empty.
std::vector<const char*> clipboard_tool(bool write) {
    const char* display = getenv("DISPLAY");
    if (!display || !display[0]) return {};
    if (on_path("xclip"))
        return {"xclip", "-selection", "clipboard", write ? "-i" : "-o", nullptr};
    if (on_path("xsel"))
        return {"xsel", "--clipboard", write ? "--input" : "--output", nullptr};
    return {};
}

// Runs argv with its standard input fed from `in` (when writing) or its standard
// output collected into `out` (when reading). True on exit status 0.
bool run_piped(const std::vector<const char*>& argv, const std::string* in, std::string* out) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDWR);
        if (in) {
            dup2(fds[0], 0);
            dup2(devnull, 1);
        } else {
            dup2(devnull, 0);
            dup2(fds[1], 1);
        }
        dup2(devnull, 2);
        close(fds[0]);
        close(fds[1]);
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    bool ok = true;
    if (in) {
        close(fds[0]);
        // A broken pipe must not kill the game.
        struct sigaction ignore = {}, old = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &old);
        size_t done = 0;
        while (done < in->size()) {
            ssize_t n = write(fds[1], in->data() + done, in->size() - done);
            if (n <= 0) { ok = false; break; }
            done += size_t(n);
        }
        close(fds[1]);
        sigaction(SIGPIPE, &old, nullptr);
    } else {
        close(fds[1]);
        char buf[4096];
        ssize_t n;
        while ((n = read(fds[0], buf, sizeof buf)) > 0) out->append(buf, size_t(n));
        close(fds[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

bool spawn_detached(const char* program, const char* arg) {
    // Fork twice so the browser is adopted by init and never left as a zombie.
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        pid_t inner = fork();
        if (inner == 0) {
            setsid();
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            execlp(program, program, arg, static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(inner < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Driver::weblink(const char* url) {
    printf("Driver::weblink: %s\n", url);
    printf("Win32:WebPage\n");
    fflush(stdout);
    if (!spawn_detached("xdg-open", url)) fprintf(stderr, "cannot start xdg-open for %s\n", url);
    if (!SDL_GetVideoSurface()) return;
    if (SDL_WM_IconifyWindow()) return;
    if (video_is_fullscreen() && go_windowed) {
        go_windowed();
        SDL_WM_IconifyWindow();
    }
}

std::string clipboard_get() {
    std::vector<const char*> tool = clipboard_tool(false);
    if (tool.empty()) return g_local_clipboard;
    // The tool fails when the clipboard holds no text: that is empty text, not
    // whatever this process copied before someone else took the clipboard.
    std::string text;
    if (!run_piped(tool, nullptr, &text)) return "";
    // Text ends at its first NUL, as a C string would.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

void clipboard_set(const std::string& text) {
    g_local_clipboard = text.substr(0, text.find('\0'));
    std::vector<const char*> tool = clipboard_tool(true);
    if (!tool.empty()) run_piped(tool, &g_local_clipboard, nullptr);
}
