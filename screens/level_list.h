// What the three level lists share: the tutorial browser (MenuPlay), the online
// list (MenuDownload2) and the map list (MenuEdit).
//
// All three keep one list position, turn the selected level slowly as a
// preview, and start play the same way. The online list and the map list also
// share one look: a scrolling column of entries on the left, the level's panel
// over a 3D preview in its own viewport, buttons along the edges. Selecting an
// entry loads that level into the stored copy and the play copy, so "Play" and
// "Edit" work on the level shown. Main thread only.
#pragma once

#include <string>
#include <vector>

#include "core/game.h"
#include "ui/scroll_box.h"
#include "ui/widget.h"

// The shared list position: the entry shown (tutorials) or selected (online
// list, map list). Kept while the program runs, so a list reopens where it was.
extern int list_page;
// The number of entries found at the last enter of a list, and their ids.
extern int list_count;
extern std::vector<std::string> list_ids;

// page held within 0..count-1, wrapping both ways; 0 when count is 0.
int wrap_list_page(int page, int count);

// Action values of list entries: 1000 + index.
enum : int { LIST_ENTRY_ACTION = 1000 };

// The preview's viewport on the canvas, beside the entries.
constexpr int PREVIEW_X = 335, PREVIEW_Y = 120, PREVIEW_W = 625, PREVIEW_H = 480;

// The per-frame operation of the lists: the root's tick, the camera of the live
// level held at zoom 50 and turned by one degree.
void list_frame(game& g, Container& root);

// Paints a level list: the live level in the preview viewport, then the root
// over the whole canvas; the level's camera is current again afterwards.
void paint_level_list(game& g, Container& root);

// Loads the entry at list_page (from the user database on the map list, else
// from the network database) and shows its panel over the preview: "lev" with
// the title, the creation date (map list) or the author, and the intro; on the
// online list also the "bts" cards "More by" (action 16) and Favorites (17).
// The panel and cards shown before are removed first.
void show_level_panel(game& g, Container& root);

// One entry of a level list: two lines of text and the two ratings. The line
// given as `title_first` decides which one is the prominent title.
struct ListEntry {
    std::string first, second;
    bool title_first = true;
    float stars = 0, skulls = 0;
};

// The entries, one per row, in a scroll box with its bar at (0, 120), added to
// the root and named "entries"; entry i answers LIST_ENTRY_ACTION + i. The
// entry at `selected` is marked and scrolled into view.
ScrollBox2* add_level_entries(Container& root, const std::vector<ListEntry>& entries,
                              int selected);
// Marks entry `index` as the selected one (and no other).
void mark_selected_entry(Container& root, int index);
// When `answer` is a click on one of the list's entries: makes it the list's
// page, shows its level in the panel and marks it. Whether it was one.
bool choose_list_entry(game& g, Container& root, int answer);

// Starts play of the stored copy: copies it over the play copy, remembers
// `from` as the screen to return to, reports "start" to the web service and
// enters the play screen, which sets the level up and shows its intro.
void start_level(game& g, int from);

// Display forms of the columns of a list query, whatever the database holds:
// text cut at its first NUL and to max_len bytes, control characters shown as
// spaces; a rating read as a decimal number held within 0..5 (anything else
// 0); a ts column (Unix seconds) as "month/day/year" in local time, or empty
// when it is no time a calendar shows.
std::string list_text(const std::string& bytes, size_t max_len);
float list_rating(const std::string& text);
std::string list_date(const std::string& ts);

// text cut (with "...") to fit max_w canvas units in the named font.
std::string fit_text(const char* font, const std::string& text, float max_w);

// Widget placement on a screen's root (canvas units). place_at puts the widget
// at (x, y); place_edge at an edge or corner of the canvas by its measured size:
// ax, ay -1 left/top, 0 centre, 1 right/bottom.
Widget* place_at(Container& root, Widget* w, int x, int y);
Widget* place_edge(Container& root, Widget* w, int ax, int ay);
// At x along the bottom edge of the canvas.
Widget* place_bottom(Container& root, Widget* w, int x);

// A one-line note in "font1", 960 wide and centred on the canvas ("---",
// "No levels found."). It takes no pointer events.
void add_canvas_note(Container& root, const char* text);

// The direct child of root with that name, or null. Unlike find, it never
// searches inside the entries, so it stays cheap on lists of thousands.
Widget* root_child(Container& root, const char* name);

// The "Menu" button of a list in the top-left corner (action 6).
void add_menu_button(Container& root);
