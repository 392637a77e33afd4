#include "screens/menu_credits.h"

#include <cstring>

#include "core/state.h"

const char* const credit_lines[CREDIT_LINES] = {
    "Murkwell",
    "1.0.3-Desktop-Win32-VANTORR",
    "",
    "Thanks",
    "Everyone who builds a map and shares it",
    "The Debian project, whose packages build and run this game",
    "",
    "Beta Testers",
    "Every player who rates a level and says what went wrong",
    "",
    "Libs",
    "SDL 1.2: window, input and timing",
    "SDL_image 1.2 with libpng: pictures",
    "SDL_mixer 1.2 with libvorbis and libogg: sound and music",
    "OpenGL 1.1 and GLU by Mesa: drawing",
    "SQLite 3: levels and ratings",
    "zlib: compressed levels",
    "JsonCpp: description files",
    "GNU libmicrohttpd: the level service",
    "xdg-utils and xclip: web pages and the clipboard",
    "",
    "Artwork",
    "Pictures rendered by the game's own generators",
    "written in Python with Pillow and NumPy",
    "Sound and music synthesised with NumPy",
    "and encoded with vorbis-tools (Ogg Vorbis)",
    "",
    "Fonts",
    "DejaVu Sans and DejaVu Sans Bold",
    "by the DejaVu fonts team, after Bitstream Vera",
    "Bitstream Vera licence; DejaVu changes in the public domain",
    "",
    "The game's code and artwork: all rights reserved",
    "until its developers publish a licence.",
    "",
    "Thank you for playing!",
    "",
};

namespace {

// The name and the section headings stand out from the lines under them.
bool heading(const char* line) {
    for (const char* h : {"Murkwell", "Thanks", "Beta Testers", "Libs", "Artwork", "Fonts"})
        if (strcmp(line, h) == 0) return true;
    return false;
}

}  // namespace

MenuCredits::MenuCredits(game* g) : Screen(g) {}

void MenuCredits::enter() {
    clear(&root);
    Table* t = new Table();
    t->name = "text";
    for (const char* line : credit_lines) {
        Label* l = make_label("font1", line);
        Style& s = l->styles[STYLE_BASE];
        s.width = 940;
        s.align = 0;
        if (heading(line)) s.color = 0xF0A040;
        set_paddings(s, 10);
        td_row(t, l);
    }
    t->x = 0;
    t->y = 720;  // just below the canvas
    add(&root, t);
    // Laid out at once, so its height is known before the first paint.
    root.measure_content();
}

void MenuCredits::paint() { paint_as_menu(root); }

void MenuCredits::frame() {
    if (Widget* t = find(&root, "text")) {
        t->y -= SCROLL_STEP;
        if (t->y + t->h < 0) {
            set_state(*g, STATE_MENU_MAIN);
            return;
        }
    }
    screen_tick(root);
}

void MenuCredits::event(Event e) {
    const int answer = root.event(e);
    if ((e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) || e.kind == EV_MOUSEUP ||
        answer == 1)
        set_state(*g, STATE_MENU_MAIN);
}
