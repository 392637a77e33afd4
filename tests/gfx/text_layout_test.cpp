// Text layout and clip arithmetic without a display: wrapping, widths, heights,
// the caret and the hit test with a font of known glyph widths, and clip_rect
// and the clip stack.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/graphics.h"

namespace {

// Font "f": line height 20; every byte 10 wide except NUL and newline (0), '*'
// (3, so word-filter masks change widths), 'i' (4) and 'W' (150, wider than the
// boxes used here).
std::string font_json() {
    std::string chars;
    for (int c = 0; c < 256; ++c) {
        int w = 10;
        if (c == 0 || c == '\n') w = 0;
        if (c == '*') w = 3;
        if (c == 'i') w = 4;
        if (c == 'W') w = 150;
        chars += (c ? "," : "") + std::string("{\"x\":") + std::to_string(c * 10) +
                 ",\"y\":0,\"w\":" + std::to_string(w) + ",\"h\":20}";
    }
    return "{\"f\": {\"height\": 20, \"texture\": \"none\", \"rect\": {\"w\": 4096, \"h\": 32},"
           " \"chars\": [" + chars + "]}}";
}

struct TextLayout : ::testing::Test {
    int f = 0;
    void SetUp() override {
        testing::internal::CaptureStderr();
        graphics_load_text("{}", "{}");
        fonts_load_text(font_json());
        f = font_get("f");
        testing::internal::GetCapturedStderr();
        ASSERT_NE(f, 0);
    }
    void TearDown() override { graphics_free(); }
    std::vector<std::string> pieces(const std::string& text, float maxw) {
        std::vector<std::string> out;
        for (const Line& l : text_wrap(f, text.c_str(), maxw))
            out.push_back(text.substr(size_t(l.start), size_t(l.end - l.start)));
        return out;
    }
};

TEST_F(TextLayout, WrapsAtTheLastSpaceThatFits) {
    // "ab cd": only four bytes fit in 40 units, so the break goes back to the space.
    const std::vector<Line> lines = text_wrap(f, "ab cd", 40);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].start, 0);
    EXPECT_EQ(lines[0].end, 2);
    EXPECT_EQ(lines[0].width, 20);
    EXPECT_EQ(lines[1].start, 3);
    EXPECT_EQ(lines[1].end, 5);
    EXPECT_EQ(lines[1].width, 20);
    EXPECT_EQ(pieces("one two three four", 95),
              (std::vector<std::string>{"one two", "three", "four"}));
}

TEST_F(TextLayout, LongWordBreaksInsideAndTheNextLineStartsWithTheByteThatDidNotFit) {
    const std::string word(40, 'q');
    const std::vector<Line> lines = text_wrap(f, word.c_str(), 100);
    ASSERT_EQ(lines.size(), 4u);
    for (size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].start, int(k) * 10);
        EXPECT_EQ(lines[k].end, int(k) * 10 + 10);
        EXPECT_EQ(lines[k].width, 100);
    }
}

TEST_F(TextLayout, NewlinesBreakAndNoWidthMeansOneLinePerNewline) {
    EXPECT_EQ(pieces("ab\ncd\n\nef", 0), (std::vector<std::string>{"ab", "cd", "", "ef"}));
    EXPECT_EQ(pieces("", 50), (std::vector<std::string>{""}));
}

TEST_F(TextLayout, ASpaceThatDoesNotFitIsTheBreak) {
    // "word" fills 40 of 45 units; the space after it does not fit and breaks the
    // line, so no line opens with a space or comes out empty.
    EXPECT_EQ(pieces("word word word", 45), (std::vector<std::string>{"word", "word", "word"}));
    EXPECT_EQ(pieces("  ab", 30), (std::vector<std::string>{" ", "ab"}));
}

TEST_F(TextLayout, ASpaceThatDoesNotFitBreaksAtTheLastSpaceBeforeIt) {
    // "ab cd" fills the 50 units; the space after it does not fit, and the line
    // goes back to the space that was remembered, as for any other byte.
    const std::vector<Line> lines = text_wrap(f, "ab cd ef", 50);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].start, 0);
    EXPECT_EQ(lines[0].end, 2);
    EXPECT_EQ(lines[0].width, 20);
    EXPECT_EQ(lines[1].start, 3);
    EXPECT_EQ(lines[1].end, 8);
    EXPECT_EQ(lines[1].width, 50);
    EXPECT_EQ(pieces("one two three four", 75),
              (std::vector<std::string>{"one", "two", "three", "four"}));
}

TEST_F(TextLayout, StopsAfterThirtyTwoLines) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "word ";
    const std::vector<Line> lines = text_wrap(f, text.c_str(), 45);
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines[31].start, 31 * 5);
    EXPECT_EQ(text_height(f, text.c_str(), 45), 32 * 20);
}

TEST_F(TextLayout, AGlyphWiderThanTheBoxStillMovesOn) {
    // "aWb" in 100 units: W alone is 150 wide; it gets a line of its own instead
    // of the wrap producing empty lines.
    EXPECT_EQ(pieces("aWb", 100), (std::vector<std::string>{"a", "W", "b"}));
}

TEST_F(TextLayout, HeightWithoutWidthIsOneLineWhateverTheNewlines) {
    EXPECT_EQ(text_height(f, "one\ntwo\nthree", 0), 20);
    EXPECT_EQ(text_height(f, "one\ntwo\nthree", 500), 60);
    EXPECT_EQ(text_height(f, "", 500), 20);
}

TEST_F(TextLayout, WidthCountsEveryByteOfTheFilteredText) {
    EXPECT_EQ(text_width(f, "abc"), 30);
    EXPECT_EQ(text_width(f, "a\nb"), 20);  // the newline is a glyph of width 0
    EXPECT_EQ(text_width(f, "iii"), 12);
    // A listed word is measured as its mask: four '*' of width 3.
    EXPECT_EQ(text_width(f, "xSHITx"), 10 + 4 * 3 + 10);
    EXPECT_EQ(text_width(f, nullptr), 0);
}

TEST_F(TextLayout, CaretRectangles) {
    struct Case {
        const char* text;
        int index;
        float maxw;
        Rect want;
    } cases[] = {
        {"abc", 0, 0, {0, 0, 10, 20}},
        {"aic", 2, 0, {14, 0, 10, 20}},
        {"abc", 3, 0, {30, 0, 0, 20}},            // on the NUL: width of glyph 0
        {"ab cd", 2, 40, {20, 0, 10, 20}},        // the break space ends line 0
        {"ab cd", 3, 40, {0, 20, 10, 20}},        // 'c' opens the second line
        {"ab cd", 4, 40, {10, 20, 10, 20}},
        {"ab cd", 99, 40, {20, 20, 0, 20}},       // past the end: end of the last line
        {"ab\ncd", 3, 0, {0, 20, 10, 20}},
    };
    for (const Case& c : cases) {
        const Rect r = text_caret_rect(f, c.text, c.index, c.maxw);
        EXPECT_EQ(r.x, c.want.x) << c.text << " @" << c.index;
        EXPECT_EQ(r.y, c.want.y) << c.text << " @" << c.index;
        EXPECT_EQ(r.w, c.want.w) << c.text << " @" << c.index;
        EXPECT_EQ(r.h, c.want.h) << c.text << " @" << c.index;
    }
}

TEST_F(TextLayout, HitPicksTheNearerRowFirstThenTheNearestLeftEdge) {
    // Lines "abcdefgh" (y 0..20) and "i" (y 20..40).
    const char* text = "abcdefgh\ni";
    // y 22 is nearer the second row's centre (30) than the first's (10), so the
    // second row wins although every position there lies far away in x.
    EXPECT_EQ(text_hit(f, text, 75, 22, 0), 10);  // the end after 'i' (left edge 4)
    EXPECT_EQ(text_hit(f, text, 1, 22, 0), 9);    // 'i' (left edge 0)
    EXPECT_EQ(text_hit(f, text, 75, 18, 0), 7);   // 70 and 80 tie: the first
    EXPECT_EQ(text_hit(f, text, 74, 18, 0), 7);   // 'h' at 70
    EXPECT_EQ(text_hit(f, text, 76, 18, 0), 8);   // the newline at 80
    EXPECT_EQ(text_hit(f, text, 500, 5, 0), 8);   // the newline after 'h', at 80
    EXPECT_EQ(text_hit(f, text, 500, 35, 0), 10); // the end of the text
    EXPECT_EQ(text_hit(f, text, 35, 10, 0), 3);   // tie between 30 and 40: the first
    EXPECT_EQ(text_hit(f, "", 35, 10, 0), 0);
    // With wrapping: "ab cd" in 40 units, row 1 holds "cd" from index 3.
    EXPECT_EQ(text_hit(f, "ab cd", 12, 31, 40), 4);
}

TEST_F(TextLayout, MissingFontMeasuresNothing) {
    EXPECT_EQ(text_width(0, "abc"), 0);
    EXPECT_EQ(text_height(0, "abc", 0), 0);
    EXPECT_EQ(text_wrap(0, "abc", 0).size(), 1u);
}

struct ClipCase {
    Rect q, t, c;
    bool visible;
    Rect want_q, want_t;
};

TEST(ClipRect, CropsTextureCoordinatesInProportion) {
    const ClipCase cases[] = {
        // Cut on the left and at the bottom: texture cut by the same fractions.
        {{0, 0, 100, 50}, {0, 0, 1, 1}, {25, 10, 50, 100}, true,
         {25, 10, 50, 40}, {0.25f, 0.2f, 0.5f, 0.8f}},
        // Cut on the right and the top of a sprite that is itself a sub-rectangle.
        {{10, 10, 40, 20}, {0.5f, 0.25f, 0.25f, 0.5f}, {0, 15, 30, 100}, true,
         {10, 15, 20, 15}, {0.5f, 0.375f, 0.125f, 0.375f}},
        // Inside: untouched.
        {{10, 10, 5, 5}, {0, 0, 1, 1}, {0, 0, 100, 100}, true, {10, 10, 5, 5}, {0, 0, 1, 1}},
        // Entirely outside, and empty quads.
        {{200, 0, 10, 10}, {0, 0, 1, 1}, {0, 0, 100, 100}, false, {}, {}},
        {{0, 200, 10, 10}, {0, 0, 1, 1}, {0, 0, 100, 100}, false, {}, {}},
        {{0, 0, 0, 10}, {0, 0, 1, 1}, {0, 0, 100, 100}, false, {}, {}},
        {{0, 0, 10, -1}, {0, 0, 1, 1}, {0, 0, 100, 100}, false, {}, {}},
        // Touching the edge only: nothing left.
        {{100, 0, 10, 10}, {0, 0, 1, 1}, {0, 0, 100, 100}, false, {}, {}},
    };
    for (const ClipCase& c : cases) {
        Rect q = c.q, t = c.t;
        EXPECT_EQ(clip_rect(q, &t, c.c), c.visible) << q.x << "," << q.y;
        if (!c.visible) continue;
        EXPECT_FLOAT_EQ(q.x, c.want_q.x);
        EXPECT_FLOAT_EQ(q.y, c.want_q.y);
        EXPECT_FLOAT_EQ(q.w, c.want_q.w);
        EXPECT_FLOAT_EQ(q.h, c.want_q.h);
        EXPECT_FLOAT_EQ(t.x, c.want_t.x);
        EXPECT_FLOAT_EQ(t.y, c.want_t.y);
        EXPECT_FLOAT_EQ(t.w, c.want_t.w);
        EXPECT_FLOAT_EQ(t.h, c.want_t.h);
        // Without texture coordinates the quad is trimmed the same way.
        Rect q2 = c.q;
        EXPECT_TRUE(clip_rect(q2, nullptr, c.c));
        EXPECT_FLOAT_EQ(q2.w, c.want_q.w);
    }
}

struct ClipStack : ::testing::Test {
    void SetUp() override { graphics_load_text("{}", "{}"); }
    void TearDown() override { graphics_free(); }
};

TEST_F(ClipStack, ClipsAtTheTranslationAndNestsByIntersection) {
    Rect q{0, 0, 10, 10};
    EXPECT_TRUE(clip_test(q, nullptr));  // no clip: everything visible

    translate2d(100, 50);
    clip_push(40, 30);  // canvas box (100, 50, 40, 30)
    translate2d(30, 0);
    clip_push(40, 40);  // (130, 50, 40, 40) trimmed to (130, 50, 10, 30)
    EXPECT_EQ(clip_depth(), 2);

    // Local (0, 0) is canvas (130, 50): a 20 x 20 quad keeps 10 x 20.
    q = Rect{0, 0, 20, 20};
    Rect t{0, 0, 1, 1};
    EXPECT_TRUE(clip_test(q, &t));
    EXPECT_FLOAT_EQ(q.w, 10);
    EXPECT_FLOAT_EQ(q.h, 20);
    EXPECT_FLOAT_EQ(t.w, 0.5f);
    q = Rect{-5, 25, 20, 20};
    EXPECT_TRUE(clip_test(q, nullptr));
    EXPECT_FLOAT_EQ(q.x, 0);
    EXPECT_FLOAT_EQ(q.h, 5);

    clip_pop();
    translate2d(-30, 0);
    q = Rect{35, 0, 10, 10};
    EXPECT_TRUE(clip_test(q, nullptr));
    EXPECT_FLOAT_EQ(q.w, 5);
    clip_pop();
    clip_pop();  // never below zero
    EXPECT_EQ(clip_depth(), 0);
    translate2d(-100, -50);
    float tx = 1, ty = 1;
    translation2d(&tx, &ty);
    EXPECT_EQ(tx, 0);
    EXPECT_EQ(ty, 0);
}

TEST_F(ClipStack, DeeperThanEightHidesEverythingAndADisjointChildHidesToo) {
    for (int i = 0; i < 8; ++i) clip_push(1000, 1000);
    Rect q{0, 0, 10, 10};
    EXPECT_TRUE(clip_test(q, nullptr));
    clip_push(1000, 1000);
    q = Rect{0, 0, 10, 10};
    EXPECT_FALSE(clip_test(q, nullptr));
    clip_pop();
    q = Rect{0, 0, 10, 10};
    EXPECT_TRUE(clip_test(q, nullptr));
    for (int i = 0; i < 8; ++i) clip_pop();

    clip_push(50, 50);
    translate2d(200, 0);
    clip_push(50, 50);  // lies right of its parent: nothing of it is visible
    for (float x : {-200.0f, -100.0f, 0.0f, 10.0f}) {
        q = Rect{x, 0, 30, 30};
        EXPECT_FALSE(clip_test(q, nullptr)) << x;
    }
    clip_pop();
    clip_pop();
    translate2d(-200, 0);
}

}  // namespace
