// The font model the widget tests measure with keeps the graphics module's text
// rules; the text field's expectations rest on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_gfx.h"

using namespace uitest;

namespace {

std::vector<std::string> lines_of(const std::string& text, float maxw) {
    std::vector<std::string> out;
    for (const Line& l : wrap(text.c_str(), maxw))
        out.push_back(text.substr(size_t(l.start), size_t(l.end - l.start)));
    return out;
}

TEST(TextModel, Wrapping) {
    struct Case { std::string text; float maxw; std::vector<std::string> lines; } cases[] = {
        // A long word breaks inside; the next line starts with the byte that did not fit.
        {std::string(40, 'x'), 100, {std::string(10, 'x'), std::string(10, 'x'),
                                     std::string(10, 'x'), std::string(10, 'x')}},
        // "ab cd" where "ab c" fits: the break moves back to the space.
        {"ab cd", 37, {"ab", "cd"}},
        {"ab\ncd", 0, {"ab", "cd"}},
        {"", 50, {""}},
        {" abc", 25, {" a", "bc"}},   // a leading space is never a break
        {"aa bb cc", 0, {"aa bb cc"}},
    };
    for (const Case& c : cases) EXPECT_EQ(lines_of(c.text, c.maxw), c.lines) << c.text;
    EXPECT_EQ(wrap(std::string(400, 'x').c_str(), 10).size(), 32u);
}

TEST(TextModel, CaretAndHit) {
    // "ab cd" at 37: "ab" then "cd" from index 3.
    const char* t = "ab cd";
    struct Caret { int index; float x, y, w; } carets[] = {
        {0, 0, 0, 10}, {2, 20, 0, 6}, {3, 0, 20, 10}, {5, 20, 20, 0},
    };
    for (const Caret& c : carets) {
        const Rect r = caret_rect(t, c.index, 37);
        EXPECT_FLOAT_EQ(r.x, c.x) << c.index;
        EXPECT_FLOAT_EQ(r.y, c.y) << c.index;
        EXPECT_FLOAT_EQ(r.w, c.w) << c.index;
        EXPECT_FLOAT_EQ(r.h, LINE);
    }
    // Between two rows the nearer row wins, then the nearest left edge.
    EXPECT_EQ(hit(t, 14, 29, 37), 4);
    EXPECT_EQ(hit(t, 14, 9, 37), 1);
    EXPECT_EQ(hit(t, 500, 9, 37), 2);
    EXPECT_EQ(hit(t, 5, 10, 37), 0);     // a tie goes to the first
    EXPECT_EQ(hit("", 50, 50, 0), 0);
}

}  // namespace
