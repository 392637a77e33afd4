// The shipped artwork: every image, texture and font the program asks for by
// name resolves in data/texture.txt, data/image.txt and data/font.txt, and
// every file those name exists, decodes and has its declared size.
//
// Names come from two places: the fixed list the interface and the renderer
// depend on, and a scan of the source tree for literal names handed to
// image_get/texture_get/font_get and for literal name patterns ("icon-%s",
// "blast-%d", ...), which are expanded over their real ranges.
#include <SDL.h>
#include <SDL_image.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const int kFacings[] = {1, 2, 3, 4, 6, 7, 8, 9};

Json::Value parse_data_file(const std::string& name) {
    std::string text = test::read_file(test::source_data_dir() + "/" + name);
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    bool ok = reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    EXPECT_TRUE(ok) << name << ": " << errors;
    return root;
}

bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// A string literal of the source and whether it is the first argument of a
// resource lookup ("image", "texture", "font"; empty for any other literal).
struct Literal {
    std::string text;
    std::string lookup;
    std::string where;
};

// Collects the string literals of one C++ file, skipping comments and
// character literals, and notes the lookup call each one is passed to.
void scan_literals(const std::string& path, std::vector<Literal>& out) {
    std::string src = test::read_file(path);
    static const std::regex call(R"((image_get|texture_get|font_get)\s*\(\s*$)");
    std::string code;  // the code before the current position, literals elided
    size_t i = 0;
    int line = 1;
    while (i < src.size()) {
        char c = src[i];
        if (c == '\n') line++;
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
            while (i < src.size() && src[i] != '\n') i++;
            continue;
        }
        if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
            i += 2;
            while (i + 1 < src.size() && !(src[i] == '*' && src[i + 1] == '/')) {
                if (src[i] == '\n') line++;
                i++;
            }
            i += 2;
            continue;
        }
        if (c == '\'') {
            i++;
            while (i < src.size() && src[i] != '\'') i += (src[i] == '\\') ? 2 : 1;
            i++;
            code += "' '";
            continue;
        }
        if (c == '"' && !(i > 0 && src[i - 1] == 'R')) {
            std::string text;
            i++;
            while (i < src.size() && src[i] != '"') {
                if (src[i] == '\\' && i + 1 < src.size()) {
                    text += src[i + 1];
                    i += 2;
                } else {
                    text += src[i++];
                }
            }
            i++;
            std::smatch m;
            std::string tail = code.size() > 80 ? code.substr(code.size() - 80) : code;
            Literal lit{text, "", path + ":" + std::to_string(line)};
            if (std::regex_search(tail, m, call)) lit.lookup = m[1].str().substr(0, m[1].str().find('_'));
            out.push_back(lit);
            code += "\"\"";
            continue;
        }
        code += c;
        i++;
    }
}

void scan_tree(const std::string& dir, std::vector<Literal>& out, int depth = 0) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> entries;
    while (dirent* e = readdir(d)) entries.push_back(e->d_name);
    closedir(d);
    for (const std::string& name : entries) {
        if (name.empty() || name[0] == '.') continue;
        // Tests, tools and build trees hold names on purpose that the game never asks for.
        if (depth == 0 && (name == "tests" || name == "tools" || name == "data" || name == "fuzz" ||
                           name == "bench" || name.rfind("build", 0) == 0))
            continue;
        std::string path = dir + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            scan_tree(path, out, depth + 1);
        } else if ((name.size() > 4 && name.substr(name.size() - 4) == ".cpp") ||
                   (name.size() > 2 && name.substr(name.size() - 2) == ".h")) {
            scan_literals(path, out);
        }
    }
}

class Artwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        textures_ = new Json::Value(parse_data_file("texture.txt"));
        images_ = new Json::Value(parse_data_file("image.txt"));
        fonts_ = new Json::Value(parse_data_file("font.txt"));
        tiles_ = new Json::Value(parse_data_file("tiles.json"));
    }
    static void TearDownTestSuite() {
        delete textures_;
        delete images_;
        delete fonts_;
        delete tiles_;
    }

    // Tile names offered by the editor or drawn as standing objects (their
    // "icon-" image shows in the palette and in the overhead view).
    static std::vector<std::string> tile_names(bool (*pick)(const Json::Value&)) {
        std::vector<std::string> out;
        for (const Json::Value& t : *tiles_)
            if (t.isObject() && pick(t)) out.push_back(t.get("name", "").asString());
        return out;
    }

    // Expands a name pattern over the range its format argument really takes;
    // an unknown pattern is a failure, so new patterns get their range here.
public:
    static std::vector<std::string> expand(const std::string& pattern, bool& known) {
        std::vector<std::string> out;
        auto fmt1 = [&](int v) {
            char buf[64];
            snprintf(buf, sizeof buf, pattern.c_str(), v);
            out.push_back(buf);
        };
        auto fmt2 = [&](int a, int b) {
            char buf[64];
            snprintf(buf, sizeof buf, pattern.c_str(), a, b);
            out.push_back(buf);
        };
        static const std::regex facing_frame(R"(^(player-walk|player-die|guard-walk|guard-run|guard-shoot)-%d-%d$)");
        static const std::regex facing_only(R"(^(player-stop|guard-walk)-%d-0$)");
        if (pattern == "icon-bomb%d" || pattern == "bomb%d") {
            for (int v = 1; v <= 4; v++) fmt1(v);
        } else if (pattern == "blast-%d") {
            for (int v = 0; v <= 8; v++) fmt1(v);
        } else if (pattern == "icon-arrow%d") {
            for (int f : kFacings) fmt1(f);
        } else if (pattern == "font%d") {
            for (int v = 1; v <= 3; v++) fmt1(v);
        } else if (std::regex_match(pattern, facing_frame)) {
            for (int f : kFacings)
                for (int n = 0; n < 8; n++) fmt2(f, n);
        } else if (std::regex_match(pattern, facing_only)) {
            for (int f : kFacings) fmt1(f);
        } else if (pattern == "icon-%s") {
            for (const std::string& n : tile_names([](const Json::Value& t) {
                     return t.get("editor", 0).asInt() != 0 || t.get("view", "").asString() == "sprite";
                 }))
                out.push_back("icon-" + n);
        } else if (pattern == "decal-%s") {
            out.push_back("decal-none");
            for (const std::string& n : tile_names([](const Json::Value& t) {
                     return t.get("view", "").asString() == "decal" || t.get("type", "").asString() == "arrow";
                 }))
                out.push_back("decal-" + n);
        } else {
            known = false;
        }
        return out;
    }

protected:
    static Json::Value* textures_;
    static Json::Value* images_;
    static Json::Value* fonts_;
    static Json::Value* tiles_;
};

Json::Value* Artwork::textures_ = nullptr;
Json::Value* Artwork::images_ = nullptr;
Json::Value* Artwork::fonts_ = nullptr;
Json::Value* Artwork::tiles_ = nullptr;

// Every name the interface, the renderer and the rules' animations use.
std::vector<std::string> required_images() {
    std::vector<std::string> names = {
        "floor", "walls", "shadow", "white", "black", "unshadow", "player-glow", "decal-none",
        "player", "guard", "blank", "icon-bomb1", "icon-bomb2", "icon-bomb3", "icon-bomb4",
        "icon-arrow4", "icon-arrow6", "icon-arrow8", "logo", "box", "box1", "box2", "box3",
        "bar1", "stars", "skulls", "bomb1", "bomb2", "bomb3", "bomb4",
        // The world's dressing: targets, crates, lamp fixtures (lit, and out
        // during an EMP), and the themes' floors and walls.
        "target-top", "target-side", "crate-top", "crate-side", "lamp-1", "lamp-2", "lamp-3",
        "lamp-4", "lamp-off", "floor-museum", "walls-museum", "floor-warehouse", "walls-warehouse"};
    char buf[64];
    for (int c = 0; c <= 8; c++) {
        snprintf(buf, sizeof buf, "blast-%d", c);
        names.push_back(buf);
    }
    for (int f : kFacings) {
        snprintf(buf, sizeof buf, "player-stop-%d-0", f);
        names.push_back(buf);
        for (int n = 0; n < 8; n++) {
            for (const char* anim : {"player-walk", "player-die", "guard-walk", "guard-run", "guard-shoot"}) {
                snprintf(buf, sizeof buf, "%s-%d-%d", anim, f, n);
                names.push_back(buf);
            }
        }
    }
    return names;
}

TEST_F(Artwork, EveryRequiredNameResolves) {
    for (const std::string& name : required_images()) {
        EXPECT_TRUE(images_->isMember(name)) << "image \"" << name << "\" missing from image.txt";
        }
    for (const char* font : {"font1", "font2", "font3"})
        EXPECT_TRUE(fonts_->isMember(font)) << "font \"" << font << "\" missing from font.txt";
    // Tile images: the palette's icons, the editor's decals, the standing objects.
    for (const Json::Value& t : *tiles_) {
        std::string name = t.get("name", "").asString();
        std::string view = t.get("view", "").asString();
        if (t.get("editor", 0).asInt() != 0 || view == "sprite") {
            EXPECT_TRUE(images_->isMember("icon-" + name)) << "no icon-" << name;
        }
        if (view == "decal" || t.get("type", "").asString() == "arrow") {
            EXPECT_TRUE(images_->isMember("decal-" + name)) << "no decal-" << name;
        }
        if (view == "sprite") {
            EXPECT_TRUE(images_->isMember(name)) << "no image for standing tile " << name;
        }
        // Every window-like tile fills its opening; an exit also lights the
        // floor in front of it.
        if (view == "window") {
            EXPECT_TRUE(images_->isMember("pane-" + name)) << "no pane-" << name;
        }
        if (t.get("type", "").asString() == "window") {
            EXPECT_TRUE(images_->isMember("spill-" + name)) << "no spill-" << name;
        }
    }
}

// A resource name gathered from the source: which table it must be in and
// where it was asked for.
struct Wanted {
    std::string name;
    std::string table;  // "image", "texture" or "font"
    std::string where;
};

// Turns the literals of a source tree into the names they ask for: literals
// passed straight to a lookup, "icon-"/"decal-" names, and name patterns
// expanded over their ranges. Patterns without a known range go to `unknown`.
std::vector<Wanted> gather(const std::string& dir, std::vector<std::string>& unknown) {
    std::vector<Literal> literals;
    scan_tree(dir, literals);
    static const std::regex pattern_like(R"(^(icon-|decal-|player-|guard-|blast-|bomb|font)[a-z0-9-]*%[ds][a-z0-9%-]*$)");
    static const std::regex icon_like(R"(^(icon|decal)-[a-z0-9-]+$)");
    std::vector<Wanted> out;
    for (const Literal& lit : literals) {
        bool is_pattern = lit.text.find('%') != std::string::npos;
        std::vector<std::string> names;
        if (is_pattern && (std::regex_match(lit.text, pattern_like) || !lit.lookup.empty())) {
            bool known = true;
            names = Artwork::expand(lit.text, known);
            if (!known) unknown.push_back("\"" + lit.text + "\" at " + lit.where);
        } else if (!is_pattern && (!lit.lookup.empty() || std::regex_match(lit.text, icon_like))) {
            names.push_back(lit.text);
        }
        std::string table = lit.lookup.empty() ? "image" : lit.lookup;
        if (lit.lookup.empty() && lit.text.rfind("font", 0) == 0) table = "font";
        for (const std::string& n : names) out.push_back({n, table, lit.where});
    }
    return out;
}

TEST_F(Artwork, EveryNameTheSourceAsksForResolves) {
    std::vector<std::string> unknown;
    std::vector<Wanted> wanted = gather(MURKWELL_SOURCE_DIR, unknown);
    for (const std::string& u : unknown) ADD_FAILURE() << "no known range for the name pattern " << u;
    for (const Wanted& w : wanted) {
        const Json::Value* table = w.table == "texture" ? textures_ : w.table == "font" ? fonts_ : images_;
        EXPECT_TRUE(table->isMember(w.name)) << w.table << " \"" << w.name << "\" asked for at " << w.where
                                             << " is not described";
    }
    std::printf("checked %zu names gathered from the source\n", wanted.size());
}

// The gathering itself, on a small tree: lookups, patterns and comments.
TEST_F(Artwork, SourceScanFindsLookupsAndPatterns) {
    test::TempDir dir;
    mkdir(dir.file("gfx").c_str(), 0700);
    mkdir(dir.file("tests").c_str(), 0700);
    test::write_file(dir.file("gfx/a.cpp"),
                     "int f() { int i = image_get(\"logo\"); // image_get(\"commented\")\n"
                     "  /* font_get(\"font9\") */ char c = '\"'; font_get( \"font2\" );\n"
                     "  snprintf(b, n, \"icon-bomb%d\", k); texture_get(\"walls\");\n"
                     "  image_get(\"icon-%s\"); snprintf(b, n, \"guard-sleep-%d-%d\", 1, 2); puts(\"plain text\"); }\n");
    test::write_file(dir.file("gfx/b.h"), "const char* k = \"decal-arrow3\";\n");
    test::write_file(dir.file("tests/c.cpp"), "image_get(\"only-in-tests\");\n");
    std::vector<std::string> unknown;
    std::vector<Wanted> wanted = gather(dir.path(), unknown);
    std::set<std::string> got;
    for (const Wanted& w : wanted) got.insert(w.table + ":" + w.name);
    for (const char* expect : {"image:logo", "font:font2", "texture:walls", "image:icon-bomb1", "image:icon-bomb4",
                               "image:decal-arrow3", "image:icon-floor", "image:icon-arrow9"})
        EXPECT_TRUE(got.count(expect)) << expect;
    for (const char* never : {"image:commented", "font:font9", "image:only-in-tests", "image:plain text",
                              "image:icon-bomb5", "image:icon-bomb0", "image:icon-rug"})
        EXPECT_FALSE(got.count(never)) << never;
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_NE(unknown[0].find("guard-sleep-%d-%d"), std::string::npos);
}

// Fails when a file named by texture.txt does not exist, does not decode, or
// differs in size from its "rect" (texture coordinates are divided by it).
TEST_F(Artwork, TextureFilesDecodeAtTheirDeclaredSize) {
    ASSERT_TRUE(textures_->isObject());
    ASSERT_FALSE(textures_->empty());
    for (const std::string& name : textures_->getMemberNames()) {
        const Json::Value& t = (*textures_)[name];
        ASSERT_TRUE(t["fname"].isString()) << name;
        std::string path = test::source_data_dir() + "/" + t["fname"].asString();
        SDL_Surface* s = IMG_Load(path.c_str());
        ASSERT_NE(s, nullptr) << path << ": " << IMG_GetError();
        EXPECT_EQ(s->w, t["rect"]["w"].asInt()) << name;
        EXPECT_EQ(s->h, t["rect"]["h"].asInt()) << name;
        EXPECT_TRUE(is_pow2(s->w) && is_pow2(s->h)) << name << " is " << s->w << "x" << s->h;
        SDL_FreeSurface(s);
    }
}

// Image rectangles lie inside their textures; shapes give a drawable size.
TEST_F(Artwork, ImageRectanglesLieInsideTheirTextures) {
    for (const std::string& name : images_->getMemberNames()) {
        const Json::Value& img = (*images_)[name];
        std::string tex = img["texture"].asString();
        ASSERT_TRUE(textures_->isMember(tex)) << name << " names unknown texture " << tex;
        const Json::Value& size = (*textures_)[tex]["rect"];
        const Json::Value& r = img["rect"];
        EXPECT_GE(r["x"].asInt(), 0) << name;
        EXPECT_GE(r["y"].asInt(), 0) << name;
        EXPECT_GT(r["w"].asInt(), 0) << name;
        EXPECT_GT(r["h"].asInt(), 0) << name;
        EXPECT_LE(r["x"].asInt() + r["w"].asInt(), size["w"].asInt()) << name;
        EXPECT_LE(r["y"].asInt() + r["h"].asInt(), size["h"].asInt()) << name;
        EXPECT_GT(img["shape"]["w"].asDouble(), 0) << name;
        EXPECT_GT(img["shape"]["h"].asDouble(), 0) << name;
    }
}

// Actor frames: the renderer sizes them from the shape; every frame of one
// character must come out the same size, or the sprite would jump.
TEST_F(Artwork, ActorFramesShareOneShape) {
    const Json::Value& ref = (*images_)["player"]["shape"];
    for (const std::string& name : images_->getMemberNames()) {
        if (name.rfind("player", 0) != 0 && name.rfind("guard", 0) != 0) continue;
        if (name == "player-glow") continue;
        EXPECT_EQ((*images_)[name]["shape"], ref) << name;
    }
}

// A theme is a pair of pictures, "floor-<name>" and "walls-<name>"; a level
// naming only half a theme would be drawn with the default look.
TEST_F(Artwork, ThemesComeInFloorAndWallPairs) {
    int themes = 0;
    for (const std::string& name : images_->getMemberNames()) {
        if (name.rfind("floor-", 0) == 0) {
            ++themes;
            EXPECT_TRUE(images_->isMember("walls-" + name.substr(6))) << name << " without its walls";
        }
        if (name.rfind("walls-", 0) == 0) {
            EXPECT_TRUE(images_->isMember("floor-" + name.substr(6))) << name << " without its floor";
        }
    }
    EXPECT_GE(themes, 2);
}

// The frame images are split in ninths by frame_draw; each needs a texture of
// its own, used whole. So do the floor and wall sheets: the world renderer tiles
// them by fifths of their texture.
TEST_F(Artwork, FrameImagesOwnTheirWholeTexture) {
    std::vector<std::string> names = {"box", "box1", "box2", "box3", "bar1", "floor", "walls"};
    for (const std::string& name : images_->getMemberNames())
        if (name.rfind("floor-", 0) == 0 || name.rfind("walls-", 0) == 0) names.push_back(name);
    for (const std::string& name : names) {
        const Json::Value& img = (*images_)[name];
        const Json::Value& size = (*textures_)[img["texture"].asString()]["rect"];
        EXPECT_EQ(img["rect"]["x"].asInt(), 0) << name;
        EXPECT_EQ(img["rect"]["y"].asInt(), 0) << name;
        EXPECT_EQ(img["rect"]["w"], size["w"]) << name;
        EXPECT_EQ(img["rect"]["h"], size["h"]) << name;
    }
}

TEST_F(Artwork, FontsHaveAllGlyphsInsideTheirAtlas) {
    for (const std::string& name : fonts_->getMemberNames()) {
        const Json::Value& f = (*fonts_)[name];
        ASSERT_TRUE(textures_->isMember(f["texture"].asString())) << name;
        const Json::Value& size = (*textures_)[f["texture"].asString()]["rect"];
        EXPECT_EQ(f["rect"]["w"], size["w"]) << name;
        EXPECT_EQ(f["rect"]["h"], size["h"]) << name;
        double height = f["height"].asDouble();
        EXPECT_GT(height, 8) << name;
        const Json::Value& chars = f["chars"];
        ASSERT_TRUE(chars.isArray()) << name;
        ASSERT_EQ(chars.size(), 256u) << name;
        for (Json::ArrayIndex c = 0; c < 256; c++) {
            const Json::Value& g = chars[c];
            int x = g["x"].asInt(), y = g["y"].asInt(), w = g["w"].asInt();
            EXPECT_GE(x, 0) << name << " glyph " << c;
            EXPECT_GE(y, 0) << name << " glyph " << c;
            EXPECT_GE(w, 0) << name << " glyph " << c;
            EXPECT_LE(x + w, size["w"].asInt()) << name << " glyph " << c;
            EXPECT_LE(y + height, size["h"].asDouble()) << name << " glyph " << c;
            if (c >= 32 && c < 127) {
                EXPECT_GT(w, 0) << name << " printable glyph " << c << " has no width";
            }
        }
        EXPECT_EQ(chars['\n']["w"].asInt(), 0) << name << ": a newline must not advance";
    }
    // Titles are set larger than body text, the palette's help text no larger.
    EXPECT_GT((*fonts_)["font2"]["height"].asDouble(), (*fonts_)["font1"]["height"].asDouble());
    EXPECT_LE((*fonts_)["font3"]["height"].asDouble(), (*fonts_)["font1"]["height"].asDouble());
}

// The glyph pixels of a printable character lie inside its own cell, and the
// gutters between cells are clear, so linear filtering never pulls in a
// neighbour.
TEST_F(Artwork, GlyphCellsDoNotBleed) {
    for (const std::string& name : fonts_->getMemberNames()) {
        const Json::Value& f = (*fonts_)[name];
        std::string path = test::source_data_dir() + "/" + (*textures_)[f["texture"].asString()]["fname"].asString();
        SDL_Surface* loaded = IMG_Load(path.c_str());
        ASSERT_NE(loaded, nullptr) << path;
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, loaded->w, loaded->h, 32, 0x000000ff, 0x0000ff00,
                                              0x00ff0000, 0xff000000);
        ASSERT_NE(s, nullptr);
        SDL_SetAlpha(loaded, 0, 255);
        SDL_BlitSurface(loaded, nullptr, s, nullptr);
        std::vector<bool> inside(size_t(s->w) * size_t(s->h), false);
        int height = f["height"].asInt();
        bool any_ink = false;
        for (const Json::Value& g : f["chars"]) {
            for (int y = g["y"].asInt(); y < g["y"].asInt() + height && y < s->h; y++)
                for (int x = g["x"].asInt(); x < g["x"].asInt() + g["w"].asInt() && x < s->w; x++)
                    inside[size_t(y) * size_t(s->w) + size_t(x)] = true;
        }
        int stray = 0;
        const Uint32* px = static_cast<const Uint32*>(s->pixels);
        for (int y = 0; y < s->h; y++)
            for (int x = 0; x < s->w; x++) {
                Uint32 a = px[size_t(y) * size_t(s->pitch / 4) + size_t(x)] >> 24;
                if (a && inside[size_t(y) * size_t(s->w) + size_t(x)]) any_ink = true;
                if (a && !inside[size_t(y) * size_t(s->w) + size_t(x)]) stray++;
            }
        EXPECT_TRUE(any_ink) << name;
        EXPECT_EQ(stray, 0) << name << ": pixels outside every glyph cell";
        SDL_FreeSurface(s);
        SDL_FreeSurface(loaded);
    }
}

// The editor shows a tile's help on one row under its 16-column palette
// (16 cells of 38 units plus 5 of padding on each side): each help text must
// fit that row in the palette's font, or it runs off the canvas.
TEST_F(Artwork, TileHelpFitsThePaletteRow) {
    const Json::Value& glyphs = (*fonts_)["font3"]["chars"];
    ASSERT_EQ(glyphs.size(), 256u);
    const int row_width = 16 * (38 + 2 * 5) - 2 * 5;
    for (const Json::Value& t : *tiles_) {
        if (t.get("editor", 0).asInt() == 0) continue;
        std::string help = t.get("help", "").asString();
        int width = 0;
        for (unsigned char c : help) width += glyphs[c]["w"].asInt();
        EXPECT_LE(width, row_width) << t.get("name", "").asString() << ": \"" << help << "\"";
    }
}

}  // namespace
