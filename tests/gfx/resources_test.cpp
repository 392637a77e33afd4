// The resource tables without a display: lazy lookup by name with its
// diagnostics, and bad description files (missing, malformed, wrong types, too
// many names, short glyph tables) that must give index 0 or an empty entry.
#include <gtest/gtest.h>

#include <string>

#include "gfx/graphics.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

struct Resources : ::testing::Test {
    test::TempDir data;
    void SetUp() override { set_data_dir(data.path()); }
    void TearDown() override {
        graphics_free();
        set_data_dir("");
    }
    bool has(const std::string& log, const std::string& line) {
        return log.find(line) != std::string::npos;
    }
};

TEST_F(Resources, LookupsLoadOnceAndForgetMissingNames) {
    testing::internal::CaptureStderr();
    graphics_load_text(
        R"({"spr": {"texture": "sheet", "rect": {"x": 64, "y": 32, "w": 16, "h": 8},
                    "shape": {"x": 1, "y": -24, "w": 40, "h": 20}},
            "other": {"texture": "sheet", "rect": {"w": 1, "h": 1}}})",
        R"({"sheet": {"fname": "img/sheet.png", "rect": {"w": 128, "h": 64}}})");
    const int spr = image_get("spr");
    const int again = image_get("spr");
    const int other = image_get("other");
    const int missing = image_get("nothing");
    const int missing2 = image_get("nothing");
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(spr, 1);
    EXPECT_EQ(again, 1);
    EXPECT_EQ(other, 2);
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(missing2, 0);
    // Each name is tried once when found, and every time when missing.
    EXPECT_EQ(log.find("trying load img spr\ndoing load img spr (1)\ntrying load tex sheet\n"
                       "doing load tex sheet (1)\ndriver_tex_load "),
              0u)
        << log;
    EXPECT_EQ(log.find("trying load img spr\n", 1), std::string::npos);
    // The second image shares the texture, which is not loaded again.
    EXPECT_EQ(log.find("trying load tex sheet\n", log.find("trying load tex sheet\n") + 1),
              std::string::npos);
    size_t tries = 0;
    for (size_t at = 0; (at = log.find("trying load img nothing\n", at)) != std::string::npos; ++at)
        ++tries;
    EXPECT_EQ(tries, 2u);

    const Image& img = image_entry(spr);
    EXPECT_EQ(img.index, 1);
    EXPECT_EQ(img.texture, 1);
    EXPECT_EQ(img.rect.x, 64);
    EXPECT_EQ(img.rect.h, 8);
    EXPECT_EQ(img.shape.y, -24);
    EXPECT_EQ(img.shape.w, 40);
    const Texture& tex = texture_entry(img.texture);
    EXPECT_EQ(tex.size.w, 128);
    EXPECT_EQ(tex.size.h, 64);
    EXPECT_EQ(tex.gl_name, 0);  // no window here: nothing uploaded
    EXPECT_EQ(image_gl_texture(spr), 0);

    // Index 0 and indices out of range read as the zeroed entry 0.
    for (int bad : {0, -1, 3, 5000}) {
        EXPECT_EQ(image_entry(bad).rect.w, 0) << bad;
        EXPECT_EQ(texture_entry(bad).size.w, 0) << bad;
        EXPECT_EQ(font_entry(bad).height, 0) << bad;
    }
}

TEST_F(Resources, MissingMalformedOrWronglyShapedFilesReadAsEmpty) {
    struct Case {
        std::string text;
        std::string diagnostic;
    } cases[] = {
        {"", "image.txt is missing or empty\n"},
        {"{\"a\": {\"texture\": ", "image.txt: "},
        {"[{\"a\": 1}]", "image.txt is not a JSON object\n"},
        {"\"a\"", "image.txt is not a JSON object\n"},
        {std::string(100000, '[') + std::string(100000, ']'), "image.txt: "},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        graphics_load_text(c.text, "{}");
        const int a = image_get("a");
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(a, 0);
        EXPECT_TRUE(has(log, c.diagnostic)) << log;
    }
    // The same through the data folder, where nothing exists.
    testing::internal::CaptureStderr();
    load_graphics();
    load_fonts();
    const int img = image_get("floor"), tex = texture_get("floor"), font = font_get("font1");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(img + tex + font, 0);
    EXPECT_TRUE(has(log, "image.txt is missing or empty\n"));
    EXPECT_TRUE(has(log, "texture.txt is missing or empty\n"));
    EXPECT_TRUE(has(log, "font.txt is missing or empty\n"));
}

TEST_F(Resources, MembersOfTheWrongTypeReadAsZero) {
    testing::internal::CaptureStderr();
    graphics_load_text(
        R"({"a": {"texture": 5, "rect": "wide", "shape": [1, 2]},
            "b": 17,
            "c": {"texture": "t", "rect": {"x": "1", "y": null, "w": true, "h": 1e300},
                  "shape": {"w": -1e300, "h": 12.5}}})",
        R"({"t": {"fname": 3, "rect": 9}})");
    const int a = image_get("a"), b = image_get("b"), c = image_get("c");
    testing::internal::GetCapturedStderr();
    // Described names load (an index), with zeroed members.
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_GT(c, 0);
    EXPECT_EQ(image_entry(a).texture, 0);
    EXPECT_EQ(image_entry(a).rect.w, 0);
    EXPECT_EQ(image_entry(b).shape.h, 0);
    const Image& ic = image_entry(c);
    EXPECT_GT(ic.texture, 0);
    EXPECT_EQ(ic.rect.x, 0);
    EXPECT_EQ(ic.rect.h, 1e6f);        // held at +-1e6
    EXPECT_EQ(ic.shape.w, -1e6f);
    EXPECT_EQ(ic.shape.h, 12.5f);
    EXPECT_EQ(texture_entry(ic.texture).size.w, 0);
}

TEST_F(Resources, NamesBeyondTheTablesGetIndexZero) {
    std::string images = "{", textures = "{";
    for (int i = 0; i < 2100; ++i)
        images += (i ? "," : "") + std::string("\"i") + std::to_string(i) +
                  "\": {\"texture\": \"t" + std::to_string(i % 300) + "\"}";
    for (int i = 0; i < 300; ++i)
        textures += (i ? "," : "") + std::string("\"t") + std::to_string(i) + "\": {}";
    testing::internal::CaptureStderr();
    graphics_load_text(images + "}", textures + "}");
    int last_texture = 0;
    for (int i = 0; i < 300; ++i) {
        const int t = texture_get("t" + std::to_string(i));
        if (i < 255) {
            EXPECT_EQ(t, i + 1);
            last_texture = t;
        } else {
            EXPECT_EQ(t, 0) << i;
        }
    }
    for (int i = 0; i < 2100; ++i) {
        const int img = image_get("i" + std::to_string(i));
        if (i < 2047)
            EXPECT_EQ(img, i + 1);
        else
            EXPECT_EQ(img, 0) << i;
    }
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(last_texture, 255);
    EXPECT_TRUE(has(log, "tex table full (256 entries): t255 not loaded\n"));
    EXPECT_TRUE(has(log, "img table full (2048 entries): i2047 not loaded\n"));
    // Images whose texture did not fit keep texture 0.
    EXPECT_EQ(image_entry(255 + 1).texture, 0);
    EXPECT_EQ(image_entry(1).texture, 1);

    std::string fonts = "{";
    for (int i = 0; i < 300; ++i)
        fonts += (i ? "," : "") + std::string("\"f") + std::to_string(i) + "\": {\"height\": 7}";
    testing::internal::CaptureStderr();
    fonts_load_text(fonts + "}");
    for (int i = 0; i < 300; ++i) {
        const int f = font_get("f" + std::to_string(i));
        EXPECT_EQ(f, i < 255 ? i + 1 : 0) << i;
    }
    EXPECT_TRUE(has(testing::internal::GetCapturedStderr(), "font table full"));
    EXPECT_EQ(font_entry(255).height, 7);
}

TEST_F(Resources, ShortOrMissingGlyphTablesLeaveTheRestEmpty) {
    testing::internal::CaptureStderr();
    graphics_load_text("{}", "{}");
    fonts_load_text(R"({"short": {"height": 20, "chars": [{"x": 1, "w": 5}, {"w": 6}, 7, {"w": 8}]},
                        "none": {"height": 10, "chars": "abc"},
                        "odd": [1, 2]})");
    const int s = font_get("short"), n = font_get("none"), o = font_get("odd");
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_GT(s, 0);
    const Font& f = font_entry(s);
    EXPECT_EQ(f.height, 20);
    EXPECT_EQ(f.glyphs[0].x, 1);
    EXPECT_EQ(f.glyphs[1].w, 6);
    EXPECT_EQ(f.glyphs[2].w, 0);  // not an object
    EXPECT_EQ(f.glyphs[3].w, 8);
    for (int c = 4; c < 256; ++c) EXPECT_EQ(f.glyphs[c].w, 0) << c;
    EXPECT_TRUE(has(log, "font short: \"chars\" holds 4 of 256 glyphs; the rest are empty\n"));
    EXPECT_TRUE(has(log, "font none: \"chars\" holds 0 of 256 glyphs"));
    EXPECT_GT(n, 0);
    EXPECT_GT(o, 0);
    EXPECT_EQ(font_entry(o).height, 0);
    EXPECT_EQ(text_width(s, "\x01\x01\x03xyz"), 6 + 6 + 8);
}

TEST_F(Resources, TheShippedDescriptionsParseAndResolveTheNamesTheRendererUses) {
    set_data_dir(test::source_data_dir());
    testing::internal::CaptureStderr();
    load_graphics();
    load_fonts();
    for (const char* name : {"floor", "shadow", "walls", "white", "black", "decal-none",
                             "player-glow", "unshadow", "player", "guard", "blast-0"})
        EXPECT_GT(image_get(name), 0) << name;
    for (const char* name : {"font1", "font2", "font3"}) {
        const int f = font_get(name);
        EXPECT_GT(f, 0) << name;
        EXPECT_GT(font_entry(f).height, 0) << name;
        EXPECT_GT(text_width(f, "Murkwell"), 0) << name;
    }
    testing::internal::GetCapturedStderr();
}

}  // namespace
