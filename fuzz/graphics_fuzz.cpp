// Arbitrary description files through the resource tables and the text layout.
// The input is image.txt, texture.txt and font.txt separated by 0x01 bytes; the
// names looked up are the quoted strings of the input. Checked: indices stay
// inside their tables, wrapping gives 1 to 32 ordered lines inside the text,
// hit tests and carets land inside the text. No window: nothing is uploaded.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "platform/files.h"

namespace {

int g_null = -1;

// The diagnostics of bad files are the expected output here; keep them out of
// the fuzzer's log.
struct Quiet {
    int saved = -1;
    Quiet() {
        fflush(stderr);
        saved = dup(2);
        if (g_null >= 0) dup2(g_null, 2);
    }
    ~Quiet() {
        fflush(stderr);
        if (saved >= 0) {
            dup2(saved, 2);
            close(saved);
        }
    }
};

std::vector<std::string> quoted_names(const std::string& s) {
    std::vector<std::string> names{"", "a", "font1", "floor", "white"};
    size_t at = 0;
    while (names.size() < 24) {
        const size_t open = s.find('"', at);
        if (open == std::string::npos) break;
        const size_t close = s.find('"', open + 1);
        if (close == std::string::npos) break;
        names.push_back(s.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return names;
}

void check_text(int font, const std::string& text) {
    const int n = int(text.size());
    for (float maxw : {0.0f, 1.0f, 37.5f, 400.0f, -5.0f}) {
        const std::vector<Line> lines = text_wrap(font, text.c_str(), maxw);
        if (lines.empty() || lines.size() > size_t(TEXT_MAX_LINES)) abort();
        int last = 0;
        for (const Line& l : lines) {
            if (l.start < last || l.end < l.start || l.end > n) abort();
            last = l.start;
        }
        const int hit = text_hit(font, text.c_str(), 13.0f, 27.0f, maxw);
        if (hit < 0 || hit > n) abort();
        const Rect caret = text_caret_rect(font, text.c_str(), n / 2, maxw);
        if (std::isnan(caret.x) || std::isnan(caret.y)) abort();
        text_height(font, text.c_str(), maxw);
    }
    text_width(font, text.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_null = open("/dev/null", O_WRONLY);
    // An empty data folder: texture files never load.
    static char dir[] = "/tmp/murkwell-gfx-fuzz-XXXXXX";
    if (mkdtemp(dir)) set_data_dir(dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string part[3];
    size_t k = 0;
    for (char c : bytes) {
        if (c == '\x01' && k < 2) {
            ++k;
            continue;
        }
        part[k] += c;
    }
    Quiet quiet;
    graphics_load_text(part[0], part[1]);
    fonts_load_text(part[2]);
    for (const std::string& name : quoted_names(bytes)) {
        const int img = image_get(name);
        const int tex = texture_get(name);
        const int font = font_get(name);
        if (img < 0 || img >= MAX_IMAGES || tex < 0 || tex >= MAX_TEXTURES || font < 0 ||
            font >= MAX_FONTS)
            abort();
        const Image& entry = image_entry(img);
        if (entry.texture < 0 || entry.texture >= MAX_TEXTURES) abort();
        image_opaque_rect(img);
        if (image_gl_texture(img) != 0) abort();  // nothing can be uploaded here
        if (font) check_text(font, name + " wraps\nand breaks " + name);
    }
    graphics_free();
    return 0;
}
