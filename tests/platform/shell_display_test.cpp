// The desktop hand-offs: the browser through xdg-open, the clipboard through
// the X11 CLIPBOARD (xclip under a private Xvfb) or the process-local buffer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/driver.h"
#include "platform/shell.h"
#include "test_support.h"

namespace {

// Waits for the detached fake browser to write its file.
std::string wait_for_file(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
        std::string s = test::read_file(path);
        if (!s.empty()) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
}

TEST(Weblink, UrlReachesTheBrowserAsOneArgument) {
    test::TempDir tmp;
    const std::string out = tmp.file("args");
    const std::string fake = tmp.file("xdg-open");
    test::write_file(fake, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + out + "'\n");
    chmod(fake.c_str(), 0755);
    const std::string path = tmp.path() + ":" + getenv("PATH");
    test::ScopedEnv env("PATH", path.c_str());

    const char* url = "http://example.invalid/murkwell/stats.php?u=a b;rm -rf x&y=$(id)";
    testing::internal::CaptureStdout();
    driver().weblink(url);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, std::string("Driver::weblink: ") + url + "\nWin32:WebPage\n");
    EXPECT_EQ(wait_for_file(out), std::string("1|") + url);
}

TEST(Clipboard, LocalBufferWithoutDisplay) {
    test::ScopedEnv no_display("DISPLAY", nullptr);
    clipboard_set("hello\tworld");
    EXPECT_EQ(clipboard_get(), "hello\tworld");
    clipboard_set("");
    EXPECT_EQ(clipboard_get(), "");
}

TEST(Clipboard, EmptyX11ClipboardIsEmptyTextNotTheLastCopy) {
    // A clipboard tool that finds no text: reading fails, writing is taken.
    test::TempDir tmp;
    const std::string fake = tmp.file("xclip");
    test::write_file(fake, "#!/bin/sh\ncase \"$*\" in *-i*) cat >/dev/null; exit 0;; esac\nexit 1\n");
    chmod(fake.c_str(), 0755);
    const std::string path = tmp.path() + ":" + getenv("PATH");
    test::ScopedEnv env("PATH", path.c_str());
    test::ScopedEnv display("DISPLAY", ":99");
    clipboard_set("copied earlier");
    EXPECT_EQ(clipboard_get(), "");
}

TEST(Clipboard, SharedThroughX11Clipboard) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    clipboard_set("from murkwell");
    // Another program sees it, once xclip's background copy has taken the
    // selection (it does so just after the call returns): asked again for up
    // to ten seconds.
    std::string seen;
    for (int i = 0; i < 500 && seen != "from murkwell"; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen.clear();
        if (FILE* p = popen("xclip -selection clipboard -o 2>/dev/null", "r")) {
            char buf[256];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0) seen.append(buf, n);
            pclose(p);
        }
    }
    EXPECT_EQ(seen, "from murkwell");
    // ...and what another program puts there comes back.
    if (FILE* p = popen("xclip -selection clipboard -i", "w")) {
        fputs("from outside", p);
        pclose(p);
    }
    // (xclip again takes the selection just after it returns.)
    std::string back = clipboard_get();
    for (int i = 0; i < 500 && back != "from outside"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        back = clipboard_get();
    }
    EXPECT_EQ(back, "from outside");
}

}  // namespace
