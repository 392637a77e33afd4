// The web service client.
#pragma once

#include "core/game.h"

// Starts the socket layer; true once started.
bool web_startup();
void web_shutdown();
bool web_started();

// Asks the service to validate the stored account.
void api_valid(game& g);

// Polls the five request slots once, in the order track, share, download,
// plays, valid; each finished request is handled and freed.
void web_poll(game& g);
