// A display server that refuses a new connection now and then (as a busy one
// does) must not cost the game its video mode: the connection is tried again
// before the mode counts as refused.
//
// A small relay stands in for the display: it takes connections on a display
// number of its own and passes them on to a private Xvfb, except those it is
// told to drop at once.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>

#include "platform/driver.h"
#include "test_support.h"

namespace {

int unix_socket(const std::string& path, bool listen_on) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    const int r = listen_on ? bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a)
                            : connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (r != 0 || (listen_on && listen(fd, 16) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

class Relay {
public:
    // Listens as display :n and passes connections to display `to`; the k-th
    // connection (1-based) is dropped unread when k is in `drop`.
    Relay(int n, const std::string& to, std::set<int> drop)
        : path_("/tmp/.X11-unix/X" + std::to_string(n)), to_("/tmp/.X11-unix/X" + to.substr(1)),
          drop_(std::move(drop)) {
        fd_ = unix_socket(path_, true);
        if (fd_ >= 0) accepter_ = std::thread([this] { accept_loop(); });
    }
    ~Relay() {
        stop_ = true;
        if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
        if (accepter_.joinable()) accepter_.join();
        if (fd_ >= 0) close(fd_);
        unlink(path_.c_str());
        for (std::thread& t : pipes_) t.join();
    }
    bool ok() const { return fd_ >= 0; }
    int connections() const { return count_; }

private:
    void accept_loop() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            if (drop_.count(++count_)) {
                close(c);
                continue;
            }
            const int s = unix_socket(to_, false);
            if (s < 0) {
                close(c);
                continue;
            }
            pipes_.emplace_back([this, c, s] { pass(c, s); });
        }
    }
    void pass(int a, int b) {
        char buf[65536];
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        while (!stop_) {
            if (poll(p, 2, 50) <= 0) continue;
            bool closed = false;
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = read(p[i].fd, buf, sizeof buf);
                if (n <= 0 || write(p[1 - i].fd, buf, size_t(n)) != n) closed = true;
            }
            if (closed) break;
        }
        close(a);
        close(b);
    }

    std::string path_, to_;
    std::set<int> drop_;
    int fd_ = -1;
    std::atomic<int> count_{0};
    std::atomic<bool> stop_{false};
    std::thread accepter_;
    std::vector<std::thread> pipes_;
};

// A display number no server uses (no socket, no lock file).
int free_display() {
    for (int n = 700; n < 800; ++n) {
        struct stat st;
        if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) != 0 &&
            stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) != 0)
            return n;
    }
    return -1;
}

TEST(DisplayHiccup, AConnectionRefusedOnceStillOpensTheModeAsked) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    const int n = free_display();
    ASSERT_GT(n, 0);
    // The first connection of the first video attempt (SDL's look whether the
    // display answers) is dropped; those of the driver's start come before it.
    Relay relay(n, x.display(), {4});
    ASSERT_TRUE(relay.ok());
    test::ScopedEnv display("DISPLAY", (":" + std::to_string(n)).c_str());
    test::ScopedEnv audio("SDL_AUDIODRIVER", "dummy");
    test::ScopedEnv any_driver("SDL_VIDEODRIVER", nullptr);  // the game's own choice

    const std::string log = test::stderr_of([] {
        driver_init(nullptr);
        init_video(960, 720, 0);
    });
    EXPECT_GE(relay.connections(), 5);
    EXPECT_NE(log.find("_try_init_video(960,720,0)\nSDL video: "), std::string::npos) << log;
    EXPECT_NE(log.find("res: 960 x 720\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("trying at default res"), std::string::npos) << log;
    EXPECT_EQ(driver().width, 960);
    EXPECT_EQ(driver().height, 720);
    SDL_Quit();
}

}  // namespace
