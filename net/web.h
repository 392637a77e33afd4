// The web service client.
#pragma once

#include "core/game.h"

// Starts the socket layer; true once started.
bool web_startup();
void web_shutdown();
bool web_started();

// Asks the service to validate the stored account.
void api_valid(game& g);

// Reports a game event ("start", "win", "restart", "rewind", "quit") for the
// level named `category` with `value` (whole seconds of play). Nothing is sent
// when category or action is empty.
void api_track(game& g, int value, const char* category, const char* action);

// Polls the five request slots once, in the order track, share, download,
// plays, valid; each finished request is handled and freed.
void web_poll(game& g);
