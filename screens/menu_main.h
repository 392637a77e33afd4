// MenuMain: the main menu. The logo, then Tutorial, Play (the featured levels
// online), Build (the map list), Settings, Your Stats (the player's page of the
// level service in the browser) and Quit, and a line that opens the credits.
#pragma once

#include <string>

#include "screens/screen.h"

class MenuMain : public Screen {
public:
    explicit MenuMain(game* g);
    void enter() override;
    void paint() override;  // as a menu
    void event(Event e) override;
    void frame() override;  // the root's tick

    // The answers of the menu.
    enum : int {
        TUTORIAL = 1, SETTINGS = 2, BUILD = 3, QUIT = 4, PLAY = 14, CREDITS = 18, STATS = 21,
    };
};

// The text of the credit line under the menu.
extern const char* const MAIN_CREDIT_NOTICE;

// The player's page of the level service: the stats page with the
// percent-encoded user identifier.
std::string stats_page_url(const game& g);

// bytes percent-encoded as the web service's addresses want them.
std::string url_encoded(const std::string& bytes);
