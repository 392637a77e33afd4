#include "world/levelsource.h"

#include <cctype>
#include <cstring>
#include <set>

#include "core/fixed_text.h"
#include "text/text.h"
#include "world/model.h"

namespace {

struct BombWord {
    const char* word;
    int kind;
};
const BombWord BOMB_WORDS[] = {
    {"detonator", ACTOR_DETONATOR},
    {"time", ACTOR_TIME_BOMB},
    {"emp", ACTOR_EMP_BOMB},
    {"mini", ACTOR_MINI_BOMB},
};
const int MAX_BOMBS = 99;

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// A whole decimal number in lo..hi.
bool parse_int(const std::string& s, int lo, int hi, int* out) {
    if (s.empty() || s.size() > 9) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (!isdigit(static_cast<unsigned char>(s[k]))) return false;
    const int v = std::stoi(s);
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Printable ASCII only: the game's fonts and the database columns expect it,
// and a stray control byte would be invisible in the file.
bool printable(const std::string& s, size_t* bad) {
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 32 || c > 126) {
            *bad = i;
            return false;
        }
    }
    return true;
}

class Parser {
public:
    Parser(const std::string& file, LevelSource& out, std::string& error)
        : file_(file), out_(out), error_(error) {}

    bool run(const std::string& text) {
        split_lines(text);
        size_t i = 0;
        for (; i < lines_.size(); ++i) {
            const int n = int(i) + 1;
            const std::string line = trim(lines_[i]);
            if (line.empty() || line[0] == '#') continue;
            const size_t sp = line.find_first_of(" \t");
            const std::string key = line.substr(0, sp);
            const std::string value = sp == std::string::npos ? "" : trim(line.substr(sp));
            if (key == "map") {
                if (!value.empty()) return fail(n, "\"map\" takes no value; the drawing starts on the next line");
                out_.map_line = n;
                break;
            }
            if (!key_line(n, key, value)) return false;
        }
        if (out_.map_line == 0) return fail(int(lines_.size()), "no \"map\" line: the drawing is missing");
        for (const char* k : {"name", "title", "intro"})
            if (!seen_.count(k)) return fail(out_.map_line, std::string("no \"") + k + "\" line");
        return drawing(i + 1) && finish();
    }

private:
    const std::string& file_;
    LevelSource& out_;
    std::string& error_;
    std::vector<std::string> lines_;
    std::set<std::string> seen_;
    std::string name_, id_, title_, intro_, author_ = "Murkwell", uid_, music_, theme_;
    bool at_given_ = false;
    int at_x_ = 0, at_y_ = 0;
    AsciiLegend legend_ = standard_legend();

    bool fail(int line, const std::string& what) {
        error_ = file_ + ":" + std::to_string(line) + ": " + what;
        return false;
    }

    void split_lines(const std::string& text) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
            start = end + 1;
        }
    }

    // A text value that must fit a field of `size` bytes with its NUL.
    bool text(int n, const std::string& key, const std::string& value, size_t size,
              std::string* into) {
        size_t bad = 0;
        if (!printable(value, &bad))
            return fail(n, key + ": character " + std::to_string(bad + 1) +
                               " is not printable ASCII");
        if (value.size() > size - 1)
            return fail(n, key + " is " + std::to_string(value.size()) + " characters; at most " +
                               std::to_string(size - 1) + " fit");
        *into = value;
        return true;
    }

    bool key_line(int n, const std::string& key, const std::string& value) {
        const bool repeatable = key == "intro" || key == "tile";
        if (!repeatable && seen_.count(key)) return fail(n, "\"" + key + "\" given twice");
        seen_.insert(key);
        level& lv = out_.lv;
        if (key == "name" || key == "id" || key == "title" || key == "author" || key == "uid" ||
            key == "music" || key == "theme") {
            if (value.empty()) return fail(n, key + " is empty");
            if (key == "name") return text(n, key, value, sizeof lv.name, &name_);
            if (key == "id") return text(n, key, value, sizeof lv.id, &id_);
            if (key == "title") return text(n, key, value, sizeof lv.title, &title_);
            if (key == "author") return text(n, key, value, sizeof lv.author, &author_);
            if (key == "uid") return text(n, key, value, sizeof lv.uid, &uid_);
            if (key == "music") return text(n, key, value, sizeof lv.music, &music_);
            return text(n, key, value, sizeof lv.theme, &theme_);
        }
        if (key == "intro") {
            if (value.empty()) return fail(n, "intro is empty");
            const std::string joined = intro_.empty() ? value : intro_ + " " + value;
            return text(n, "intro (joined)", joined, sizeof lv.intro, &intro_);
        }
        if (key == "bombs") return bombs(n, value);
        if (key == "at") {
            const std::vector<std::string> w = split_words(value);
            if (w.size() != 2 || !parse_int(w[0], MAP_MIN, MAP_MAX, &at_x_) ||
                !parse_int(w[1], MAP_MIN, MAP_MAX, &at_y_))
                return fail(n, "at takes a cell: two numbers from 4 to 123");
            at_given_ = true;
            return true;
        }
        if (key == "tile") {
            const std::vector<std::string> w = split_words(value);
            int t = 0;
            if (w.size() != 2 || w[0].size() != 1 || !parse_int(w[1], 0, 255, &t))
                return fail(n, "tile takes a character and a tile number 0..255");
            legend_[w[0][0]] = t;
            return true;
        }
        return fail(n, "unknown key \"" + key + "\"");
    }

    bool bombs(int n, const std::string& value) {
        const std::vector<std::string> w = split_words(value);
        if (w.size() % 2 != 0 || w.empty())
            return fail(n, "bombs takes pairs of a kind (detonator, time, emp, mini) and a count");
        for (size_t i = 0; i < w.size(); i += 2) {
            int kind = 0;
            for (const BombWord& b : BOMB_WORDS)
                if (w[i] == b.word) kind = b.kind;
            if (kind == 0) return fail(n, "unknown bomb kind \"" + w[i] + "\"");
            int count = 0;
            if (!parse_int(w[i + 1], 0, MAX_BOMBS, &count))
                return fail(n, "bomb count \"" + w[i + 1] + "\" is not a number from 0 to 99");
            inventory_[kind] = count;
        }
        return true;
    }

    bool drawing(size_t first) {
        size_t last = lines_.size();
        while (last > first && trim(lines_[last - 1]).empty()) --last;
        if (last == first) return fail(out_.map_line, "the drawing after \"map\" is empty");
        std::vector<std::string> rows(lines_.begin() + long(first), lines_.begin() + long(last));
        const size_t width = rows[0].size();
        for (size_t r = 0; r < rows.size(); ++r) {
            const int n = int(first + r) + 1;
            if (rows[r].size() != width)
                return fail(n, "row is " + std::to_string(rows[r].size()) +
                                   " characters wide; the first row is " + std::to_string(width));
            for (size_t c = 0; c < width; ++c) {
                if (!legend_.count(rows[r][c])) {
                    const unsigned char ch = static_cast<unsigned char>(rows[r][c]);
                    const std::string shown = ch >= 32 && ch < 127 ? std::string(1, char(ch))
                                                                   : "\\x" + hex(ch);
                    return fail(n, "column " + std::to_string(c + 1) + ": no tile for '" + shown +
                                       "' (add a \"tile\" line for it)");
                }
            }
        }
        const int w = int(width), h = int(rows.size());
        const int span = MAP_MAX - MAP_MIN + 1;
        if (w > span || h > span)
            return fail(int(first) + 1, "the drawing is " + std::to_string(w) + " x " +
                                            std::to_string(h) + "; at most 120 x 120 fit");
        int x0 = 64 - w / 2, y0 = 64 - h / 2;
        if (at_given_) {
            x0 = at_x_;
            y0 = at_y_;
            if (x0 + w - 1 > MAP_MAX || y0 + h - 1 > MAP_MAX)
                return fail(int(first) + 1, "the drawing placed at (" + std::to_string(x0) + ", " +
                                                std::to_string(y0) + ") runs past cell 123");
        }
        out_.map_x0 = x0;
        out_.map_y0 = y0;
        out_.map_w = w;
        out_.map_h = h;
        out_.first_row_line = int(first) + 1;
        // The drawing fits and every character is known, so this cannot fail.
        level_from_ascii(out_.lv, rows, legend_, x0, y0, 0);
        return true;
    }

    static std::string hex(unsigned char c) {
        const char* digits = "0123456789abcdef";
        return std::string{digits[c >> 4], digits[c & 15]};
    }

    bool finish() {
        level& lv = out_.lv;
        // The drawing zeroed the record, so everything else goes in after it.
        memcpy(lv.inventory, inventory_, sizeof lv.inventory);
        set_field(lv.name, name_);
        set_field(lv.id, id_.empty() ? name_ : id_);
        set_field(lv.title, title_);
        set_field(lv.intro, intro_);
        set_field(lv.author, author_);
        set_field(lv.uid, uid_);
        set_field(lv.music, music_);
        set_field(lv.theme, theme_);
        lv.unbeaten = 0;
        return true;
    }

    int inventory_[32] = {};
};

}  // namespace

const AsciiLegend& standard_legend() {
    static const AsciiLegend L = {
        {'_', 0},  {'.', 1},  {',', 2},  {'o', 3},  {'@', 4},  {'G', 5},  {'W', 6},
        {'P', 7},  {'~', 8},  {'*', 9},  {'^', 10}, {'!', 11}, {'%', 12}, {'D', 13},
        {'T', 14}, {'E', 15}, {'M', 16}, {'$', 17}, {'b', 18}, {'&', 19}, {'S', 20},
        {'1', 21}, {'2', 22}, {'3', 23}, {'4', 24}, {'r', 25}, {'6', 26}, {'7', 27},
        {'8', 28}, {'9', 29}, {'g', 30}, {'#', 32}, {'B', 33}, {'A', 34}, {'C', 35},
    };
    return L;
}

bool parse_level_source(const std::string& text, const std::string& file, LevelSource& out,
                        std::string& error) {
    out = LevelSource();
    out.file = file;
    Parser p(file, out, error);
    return p.run(text);
}

bool source_position(const LevelSource& src, int x, int y, int* line, int* column) {
    const int c = x - src.map_x0, r = y - src.map_y0;
    if (c < 0 || r < 0 || c >= src.map_w || r >= src.map_h) return false;
    *line = src.first_row_line + r;
    *column = c + 1;
    return true;
}
