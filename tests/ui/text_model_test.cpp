// The font model the widget tests measure with keeps the graphics module's text
// rules; the text field's expectations rest on it. The last test holds the model
// against the graphics module itself, with a font of the model's glyph widths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gfx/graphics.h"
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
        {"ab cd", 25, {"ab", "cd"}},  // a space that does not fit is the break
        {"ab  cd", 30, {"ab", " cd"}},  // back to the first space
        {"ab cd ef", 46, {"ab", "cd ef"}},  // the space after "cd" does not fit
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

// The model's glyph table as a font description.
std::string model_font_json() {
    std::string chars;
    for (int c = 0; c < 256; ++c) {
        if (c) chars += ",";
        chars += "{\"x\":0,\"y\":0,\"w\":" + std::to_string(int(advance((unsigned char)c))) +
                 ",\"h\":20}";
    }
    return "{\"model\":{\"height\":" + std::to_string(int(LINE)) +
           ",\"texture\":\"none\",\"rect\":{\"w\":256,\"h\":256},\"chars\":[" + chars + "]}}";
}

TEST(TextModel, AgreesWithTheGraphicsModule) {
    testing::internal::CaptureStderr();
    fonts_load_text(model_font_json());
    const int font = font_get("model");
    testing::internal::GetCapturedStderr();
    ASSERT_NE(font, 0);
    ASSERT_FLOAT_EQ(font_entry(font).height, LINE);
    // Letters that spell no filtered word, so the filter keeps every byte.
    const char alphabet[] = "aimx *\n";
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int n = int(rng() % 60);
        for (int i = 0; i < n; ++i) text += alphabet[rng() % (sizeof alphabet - 1)];
        const float maxw = round % 5 == 0 ? 0.0f : float(8 + rng() % 150);
        const char* t = text.c_str();
        const std::vector<Line> real = text_wrap(font, t, maxw), model = wrap(t, maxw);
        ASSERT_EQ(real.size(), model.size()) << "\"" << text << "\" at " << maxw;
        for (size_t k = 0; k < real.size(); ++k) {
            EXPECT_EQ(real[k].start, model[k].start) << text << " line " << k;
            EXPECT_EQ(real[k].end, model[k].end) << text << " line " << k;
            EXPECT_EQ(real[k].width, model[k].width) << text << " line " << k;
        }
        EXPECT_FLOAT_EQ(text_width(font, t), width_of(t));
        for (int i = 0; i <= n + 1; ++i) {
            const Rect a = text_caret_rect(font, t, i, maxw), b = caret_rect(t, i, maxw);
            EXPECT_FLOAT_EQ(a.x, b.x) << text << " caret " << i;
            EXPECT_FLOAT_EQ(a.y, b.y) << text << " caret " << i;
            EXPECT_FLOAT_EQ(a.w, b.w) << text << " caret " << i;
        }
        for (float py = -15; py < 140; py += 13)
            for (float px = -7; px < 170; px += 9)
                EXPECT_EQ(text_hit(font, t, px, py, maxw), hit(t, px, py, maxw))
                    << text << " at " << px << "," << py;
        if (HasFailure()) break;
    }
}

}  // namespace
