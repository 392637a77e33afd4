#include "screens/states.h"

#include "core/state.h"
#include "net/web.h"
#include "screens/edit.h"
#include "screens/edit_info.h"
#include "screens/edit_menu.h"
#include "screens/edit_share.h"
#include "screens/level.h"
#include "screens/level_list.h"
#include "screens/level_intro.h"
#include "screens/level_win.h"
#include "screens/menu_credits.h"
#include "screens/menu_download1.h"
#include "screens/menu_download2.h"
#include "screens/menu_edit.h"
#include "screens/menu_error.h"
#include "screens/menu_help.h"
#include "screens/menu_main.h"
#include "screens/menu_play.h"
#include "screens/menu_settings.h"
#include "screens/pause.h"
#include "screens/rewind.h"

void make_states(game& g) {
    for (State*& entry : state_table) {
        delete entry;
        entry = nullptr;
    }
    state_table[STATE_LEVEL] = new Level(&g);
    state_table[STATE_EDIT] = new Edit(&g);
    state_table[STATE_MENU_MAIN] = new MenuMain(&g);
    state_table[STATE_PAUSE] = new Pause(&g);
    state_table[STATE_REWIND] = new Rewind(&g);
    state_table[STATE_EDIT_INFO] = new EditInfo(&g);
    state_table[STATE_EDIT_MENU] = new EditMenu(&g);
    state_table[STATE_MENU_EDIT] = new MenuEdit(&g);
    state_table[STATE_MENU_PLAY] = new MenuPlay(&g);
    state_table[STATE_LEVEL_INTRO] = new LevelIntro(&g);
    state_table[STATE_MENU_SETTINGS] = new MenuSettings(&g);
    state_table[STATE_MENU_DOWNLOAD1] = new MenuDownload1(&g);
    state_table[STATE_LEVEL_WIN] = new LevelWin(&g);
    state_table[STATE_MENU_DOWNLOAD2] = new MenuDownload2(&g);
    state_table[STATE_EDIT_SHARE] = new EditShare(&g);
    state_table[STATE_MENU_ERROR] = new MenuError(&g);
    state_table[STATE_MENU_CREDITS] = new MenuCredits(&g);
    state_table[STATE_MENU_HELP] = new MenuHelp(&g);
    // A finished download shows the online list from its first entry.
    download_list_reset = [] { list_page = 0; };
}
