#include "screens/menu_main.h"

#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "screens/level_list.h"
#include "text/text.h"
#include "ui/widget_gfx.h"

const char* const MAIN_CREDIT_NOTICE =
    "Murkwell 1.0.3. Made with SDL, OpenGL, SQLite and the DejaVu fonts: click for the credits.";

std::string url_encoded(const std::string& bytes) {
    std::string out(url_encoded_length(bytes.size(), bytes.data()), '\0');
    url_encode(bytes.size(), &out[0], out.size(), bytes.data());
    out.resize(strnlen(out.c_str(), out.size()));
    return out;
}

std::string stats_page_url(const game& g) {
    return web_service_url("/murkwell/stats.php") + "?uid=" +
           url_encoded(field_text(g.settings.user_id));
}

MenuMain::MenuMain(game* g) : Screen(g) {}

void MenuMain::enter() {
    clear(&root);
    WidgetGfx& gfx = widget_gfx();
    Table* t = new Table();
    t->styles[STYLE_BASE].width = 720;
    t->styles[STYLE_BASE].height = 720;

    // The logo at its own size.
    Widget* logo = new Widget();
    const int logo_image = gfx.image_get("logo");
    const Image& img = image_entry(logo_image);
    Style& ls = logo->styles[STYLE_BASE];
    ls.width = int(img.shape.w);
    ls.height = int(img.shape.h);
    ls.image = logo_image;
    set_paddings(ls, 10);
    tr(t);
    td_span(t, -1, -1, 2, new Box(logo));

    const int box3 = gfx.image_get("box3");
    tr(t);
    td(t, make_button("Tutorial", TUTORIAL, 320, box3));
    td(t, make_button("Play", PLAY, 320, box3));
    tr(t);
    td(t, make_button("Build", BUILD, 320, box3));
    td(t, make_button("Settings", SETTINGS, 320, gfx.image_get("box1")));
    tr(t);
    td(t, make_button("Your Stats", STATS, 320, 0));
    td(t, make_button("Quit", QUIT, 320, 0));

    Label* notice = make_label("font1", MAIN_CREDIT_NOTICE);
    set_paddings(notice->styles[STYLE_BASE], 10);
    notice->styles[STYLE_BASE].color = 0xAAAAAA;
    notice->styles[STYLE_HOVER].color = 0xFFFFFF;
    notice->click_value = CREDITS;
    tr(t);
    td_span(t, -1, -1, 2, new Box(notice));
    add_page(root, t);
}

void MenuMain::paint() { paint_as_menu(root); }

void MenuMain::frame() { screen_tick(root); }

void MenuMain::event(Event e) {
    switch (root.event(e)) {
    case TUTORIAL:
        set_state(*g, STATE_MENU_PLAY);
        break;
    case PLAY:
        set_field(g->download_query, "c~featured");
        set_field(g->download_title, "Featured");
        api_download(*g);
        set_state(*g, STATE_MENU_DOWNLOAD2);
        break;
    case BUILD:
        set_state(*g, STATE_MENU_EDIT);
        break;
    case SETTINGS:
        set_state(*g, STATE_MENU_SETTINGS);
        break;
    case STATS:
        driver().weblink(stats_page_url(*g).c_str());
        break;
    case QUIT:
        g->quit = 1;
        break;
    case CREDITS:
        set_state(*g, STATE_MENU_CREDITS);
        break;
    default:
        break;
    }
}
