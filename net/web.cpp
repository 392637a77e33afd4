// Seam: the HTTP client and the service API are not built yet. No request is
// ever started, so there is nothing to poll.
#include "net/web.h"

namespace {
bool g_started = false;
}

bool web_startup() {
    g_started = true;
    return true;
}
void web_shutdown() { g_started = false; }
bool web_started() { return g_started; }
void api_valid(game&) {}
void api_track(game&, int, const char*, const char*) {}
void web_poll(game&) {}
