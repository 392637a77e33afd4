#include "screens/menu_error.h"

#include "core/fixed_text.h"
#include "core/state.h"
#include "net/web.h"
#include "platform/driver.h"
#include "screens/menu_main.h"
#include "screens/menu_settings.h"
#include "ui/text_input.h"
#include "ui/widget_gfx.h"

int error_return_screen(const game& g) {
    const int n = g.error_return_state;
    return n != STATE_MENU_ERROR && n != STATE_NONE && state_exists(n) ? n : STATE_MENU_MAIN;
}

std::string account_page_url(const game& g) {
    return web_service_url("/murkwell/manage.php") + "?name=" + url_encoded(field_text(g.settings.user));
}

MenuError::MenuError(game* g) : Screen(g) {}

void MenuError::enter() {
    clear(&root);
    WidgetGfx& gfx = widget_gfx();
    const bool signed_up = g->settings.user[0] != '\0';

    Widget* veil = new Widget();
    Style& vs = veil->styles[STYLE_BASE];
    vs.width = 960;
    vs.height = 720;
    vs.image = gfx.image_get("black");
    vs.image_alpha = 204;
    add(&root, veil);

    Table* t = new Table();
    tr(t);
    td_span(t, -1, -1, 2, new Box(make_label("font2", "Sign In")));
    tr(t);
    td_span(t, -1, -1, 2, make_label("font1", ""));
    if (signed_up) {
        Label* text = make_label("font1", field_text(g->error_text).c_str());
        text->styles[STYLE_BASE].width = 640;
        text->styles[STYLE_BASE].align = 0;
        Box* frame = new Box(text);
        Style& fs = frame->styles[STYLE_BASE];
        fs.box = gfx.image_get("bar1");
        fs.box_color = 0xFFFFFF;
        fs.box_corner = 40;
        set_paddings(fs, 20);
        tr(t);
        td_span(t, -1, -1, 2, frame);
        tr(t);
        td_span(t, -1, -1, 2, make_label("font1", ""));
    }

    Table* fields = new Table();
    td_row(fields, make_label("font2", "VANTORR Username"));
    TextInput* name = make_text_field("name", field_text(g->settings.user).c_str(), 0, 0);
    td_row(fields, name);
    td_row(fields, make_label("font2", "VANTORR Password"));
    TextInput* passwd = make_text_field("passwd", field_text(g->settings.password).c_str(), 0, 1);
    td_row(fields, passwd);
    name->next_focus = passwd;
    passwd->next_focus = name;
    // Return in either field signs in.
    name->change_value = SIGN_IN;
    passwd->change_value = SIGN_IN;
    tr(t);
    td_span(t, -1, -1, 2, fields);
    tr(t);
    td_span(t, -1, -1, 2, make_label("font1", ""));

    tr(t);
    td(t, make_button(signed_up ? "Manage account" : "Create account", ACCOUNT, 480, 0));
    td(t, make_button("Sign In", SIGN_IN, 240, gfx.image_get("box3")));
    add_page(root, t);

    // The keyboard starts where there is something to type.
    (signed_up ? passwd : name)->focus();
}

void MenuError::leave() {
    store_settings_fields(*g, root);
    g->state = error_return_screen(*g);
}

void MenuError::paint() {
    const int under = error_return_screen(*g);
    if (under != STATE_MENU_ERROR) state_table[under]->paint();
    paint_as_menu(root);
}

void MenuError::frame() { screen_tick(root); }

void MenuError::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN && e.key == uint32_t(KEY_ESCAPE)) answer = SIGN_IN;
    switch (answer) {
    case SIGN_IN:
        store_settings_fields(*g, root);
        api_valid(*g);
        set_state(*g, error_return_screen(*g));
        break;
    case ACCOUNT:
        store_settings_fields(*g, root);
        driver().weblink(account_page_url(*g).c_str());
        break;
    default:
        break;
    }
}
