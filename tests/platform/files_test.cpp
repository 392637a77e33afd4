#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/driver.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

struct FilesTest : ::testing::Test {
    test::TempDir tmp;
    test::ScopedEnv appdata{"APPDATA", tmp.path().c_str()};
    void SetUp() override { driver().app_name = "Murkwell"; }
    void TearDown() override {
        driver().app_name = "";
        set_data_dir("");
    }
};

TEST_F(FilesTest, UserFolderIsMadePrivateUnderAppdata) {
    const std::string dir = user_dir();
    EXPECT_EQ(dir, tmp.path() + "/Murkwell");
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(FilesTest, UserFolderFallsBackToXdgThenHome) {
    test::ScopedEnv no_appdata("APPDATA", nullptr);
    {
        test::ScopedEnv xdg("XDG_DATA_HOME", (tmp.path() + "/xdg").c_str());
        EXPECT_EQ(user_dir(), tmp.path() + "/xdg/Murkwell");
        EXPECT_TRUE(test::file_exists(tmp.path() + "/xdg/Murkwell"));
    }
    test::ScopedEnv no_xdg("XDG_DATA_HOME", nullptr);
    test::ScopedEnv home("HOME", (tmp.path() + "/home").c_str());
    EXPECT_EQ(user_dir(), tmp.path() + "/home/.local/share/Murkwell");
    EXPECT_TRUE(test::file_exists(tmp.path() + "/home/.local/share/Murkwell"));
}

TEST_F(FilesTest, NoApplicationNameMeansWorkingFolder) {
    driver().app_name = "";
    EXPECT_EQ(user_dir(), ".");
}

TEST_F(FilesTest, UserFileRoundTripAndLimits) {
    const std::string bytes("ab\0cd", 5);
    ASSERT_TRUE(write_user_file("x.dat", bytes.data(), bytes.size()));
    char buf[8] = {};
    EXPECT_EQ(read_user_file("x.dat", buf, sizeof buf), 5u);
    EXPECT_EQ(std::string(buf, 5), bytes);

    // Too large: refused by name, nothing read.
    char small[4] = {'z', 'z', 'z', 'z'};
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_user_file("x.dat", small, sizeof small), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "x.dat is too large\n");
    EXPECT_EQ(std::string(small, 4), "zzzz");

    testing::internal::CaptureStderr();
    EXPECT_EQ(read_user_file("missing.dat", buf, sizeof buf), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "file not found: " + tmp.path() + "/Murkwell/missing.dat\n");
}

TEST_F(FilesTest, WriteReplacesWholeFileAndLeavesNoTemporary) {
    ASSERT_TRUE(write_user_file("s.dat", "0123456789", 10));
    ASSERT_TRUE(write_user_file("s.dat", "ab", 2));
    EXPECT_EQ(test::read_file(tmp.path() + "/Murkwell/s.dat"), "ab");
    EXPECT_FALSE(test::file_exists(tmp.path() + "/Murkwell/s.dat.new"));
}

TEST_F(FilesTest, AppdataThatIsAFileIsReportedNotFatal) {
    test::write_file(tmp.path() + "/blocker", "x");
    test::ScopedEnv bad("APPDATA", (tmp.path() + "/blocker").c_str());
    testing::internal::CaptureStderr();
    user_dir();
    EXPECT_FALSE(write_user_file("s.dat", "ab", 2));
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("cannot create folder"), std::string::npos) << log;
}

TEST_F(FilesTest, DataFileIsReadWholeWithNulBytes) {
    set_data_dir(tmp.path());
    test::write_file(tmp.path() + "/blob.bin", std::string("\0\1\2\0", 4));
    EXPECT_EQ(read_data_file("blob.bin"), std::string("\0\1\2\0", 4));
    EXPECT_EQ(read_data_file("nothing.bin"), "");
}

TEST_F(FilesTest, DataFolderBesideTheExecutable) {
    set_data_dir("");
    // The test binary's folder has no data folder and neither has the working
    // folder; with nothing installed either the fallback is ./data.
    std::string dir;
    test::stderr_of([&] { dir = data_dir(); });
    if (!test::file_exists(data_dir_candidates().back() + "/tiles.json")) {
        EXPECT_EQ(dir, "./data");
    }
}

TEST_F(FilesTest, DataFolderSearchOrderEndsAtTheInstalledFolders) {
    const std::vector<std::string> dirs = data_dir_candidates();
    ASSERT_EQ(dirs.size(), 4u);
    const std::string exe = test::run("readlink -f /proc/" + std::to_string(getpid()) + "/exe");
    const std::string exe_dir = exe.substr(0, exe.rfind('/'));
    EXPECT_EQ(dirs[0], exe_dir + "/data");
    EXPECT_EQ(dirs[1], "./data");
    // bin/../share/murkwell beside this program's folder, spelled without "..".
    EXPECT_EQ(dirs[2], exe_dir.substr(0, exe_dir.rfind('/')) + "/share/murkwell");
    EXPECT_EQ(dirs[3].front(), '/');
    EXPECT_EQ(dirs[3].substr(dirs[3].size() - 15), "/share/murkwell");
}

TEST_F(FilesTest, WorkingFolderDataThatHoldsTheGameIsUsed) {
    set_data_dir("");
    char old_cwd[4096];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    mkdir("data", 0700);
    test::write_file("data/tiles.json", "[]");
    EXPECT_EQ(data_dir(), "./data");
    ASSERT_EQ(chdir(old_cwd), 0);
}

TEST_F(FilesTest, RelativeXdgDataHomeIsIgnored) {
    test::ScopedEnv no_appdata("APPDATA", nullptr);
    test::ScopedEnv xdg("XDG_DATA_HOME", "relative/share");
    test::ScopedEnv home("HOME", (tmp.path() + "/home").c_str());
    EXPECT_EQ(user_dir(), tmp.path() + "/home/.local/share/Murkwell");
}

TEST_F(FilesTest, FoldersInUseAreReported) {
    set_data_dir(tmp.path());
    const std::string log = test::stderr_of([] { report_folders(); });
    EXPECT_EQ(log, "data folder: " + tmp.path() + "\nper-user folder: " + tmp.path() + "/Murkwell\n");
}

}  // namespace
