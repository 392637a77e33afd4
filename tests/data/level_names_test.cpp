// The music and theme every shipped level names are ones the game has: a
// stream in data/music.txt and a theme whose floor and wall pictures are in
// data/image.txt (or the default's own name), so no shipped level falls back
// to the defaults with a complaint.
#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "gfx/theme.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

std::vector<std::string> level_sources() {
    std::vector<std::string> out;
    for (const char* folder : {"tutorial", "featured"}) {
        const std::string dir = std::string(MURKWELL_SOURCE_DIR) + "/levels/" + folder;
        DIR* d = opendir(dir.c_str());
        if (!d) continue;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 6 && name.substr(name.size() - 6) == ".level") out.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    return out;
}

// The value of a "key  value" line of a level source, or "" when it has none.
std::string value_of(const std::string& source, const std::string& key) {
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "map") break;
        if (line.compare(0, key.size() + 1, key + " ") == 0) {
            const size_t at = line.find_first_not_of(' ', key.size());
            return at == std::string::npos ? "" : line.substr(at);
        }
    }
    return "";
}

TEST(ShippedLevelNames, EveryLevelsMusicAndThemeExist) {
    const std::vector<std::string> sources = level_sources();
    ASSERT_GE(sources.size(), 10u);
    Json::Value music;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    const std::string text = test::read_file(test::source_data_dir() + "/music.txt");
    ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &music, nullptr));
    set_data_dir(test::source_data_dir());
    testing::internal::CaptureStderr();
    load_graphics();  // no window: the names resolve, nothing is uploaded
    testing::internal::GetCapturedStderr();
    for (const std::string& path : sources) {
        SCOPED_TRACE(path);
        const std::string source = test::read_file(path);
        const std::string m = value_of(source, "music"), t = value_of(source, "theme");
        EXPECT_TRUE(m.empty() || music.isMember(m)) << "music " << m;
        char field[32] = {};
        t.copy(field, sizeof field - 1);
        testing::internal::CaptureStderr();
        const std::string theme = theme_of(field, sizeof field);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "theme " << t;
        EXPECT_TRUE(theme == t || t == THEME_DEFAULT || t.empty()) << "theme " << t;
    }
    graphics_free();
    set_data_dir("");
}

}  // namespace
