// The web service client: five request slots (track, share, download, plays,
// valid) polled once per frame, the request paths of the service's API, the
// handling of its replies (error screen, stored downloads). Main thread only.
#pragma once

#include <cstddef>
#include <string>

#include "core/game.h"
#include "net/http.h"

// The fixed build and protocol strings sent with every request.
extern const char* const API_BUILD;     // "1.0.3-Desktop-Win32-VANTORR"
extern const char* const API_PROTOCOL;  // "2"
extern const char* const API_SCRIPT;    // "/murkwell/api.php?"

// Starts the socket layer (there is nothing to start for POSIX sockets), reads
// the service address from "service.txt" (web_load_service) and sets the
// started flag. Returns 0.
int web_startup();
// Frees the connections of all request slots and clears the started flag.
void web_shutdown();
bool web_started();

// The service address: "service.txt" in the per-user folder when it is there
// (and not empty), else the one in the data folder; a JSON object
// {"host": "...", "port": n}; port 80 when missing. An unusable file leaves the
// host empty, so every request fails quietly. Read by web_startup.
struct WebService {
    std::string host;
    int port = 80;
};
const WebService& web_service();
void web_load_service();
// "http://host" (":port" when not 80) followed by path: the service's pages
// for the browser.
std::string web_service_url(const char* path);

// One WebRequest per kind of request, for the whole run.
struct WebSlots {
    WebRequest track, share, download, plays, valid;
};
WebSlots& web_slots();

// The sign-in token: md5_hex(user name + "|" + md5_hex(password)).
std::string api_token(const settings& s);

// The request path of every kind: API_SCRIPT followed by "&_vinfo=", "&_version=",
// "&_uid=", "&_name=", "&_token=", "&_udid=" and "&_action=", each value
// percent-encoded (url_encode).
std::string api_path(const game& g, const char* action);

// Asks the service to validate the stored account.
void api_valid(game& g);

// Shares the stored copy (g.edit_level) with `target` (1: everyone) as a POST.
// Stamps the level with the user's identifier and name first, and names it after
// its identifier when it has no name.
void api_share(game& g, int target);

// Fetches the levels of g.download_query; the reply is stored by save_download.
void api_download(game& g);

// Reports the finished play of the live level with the rating given.
void api_plays(game& g, int stars, int skulls);

// Reports a game event ("start", "win", "restart", "rewind", "quit") for the
// level named `category` with `value` (whole seconds of play). Nothing is sent
// when category or action is empty.
void api_track(game& g, int value, const char* category, const char* action);

// Judges a finished request: true when it failed (silently) or the service
// answered with no "X-Response" ("G01: Invalid response.") or with an
// "X-Error" (its text); those two open the error screen with the text in
// g.error_text. False when the reply is good.
bool check_reply(game& g, WebRequest& r);

// Shows the error screen (state 16) over the current screen, which becomes
// g.error_return_state. When the error screen is already shown it keeps the
// screen it returns to and is rebuilt with the new text.
void open_error_screen(game& g);

// Stores the reply of the download slot under g.download_query.
void save_download(game& g);

// Stores a download reply body: writes it to "tmp.db" in the per-user folder and
// replaces the query's rows of the network database with tmp.db's levels, in
// one transaction, ids prefixed by the query and "|" (an id listed twice is
// stored once, from its first row). A body that is not a level database, a row
// that cannot be read or one the network database refuses keeps the query's old
// rows exactly as they were. When the download list (state 14) is shown, it is
// entered again. reply_len (the whole reply) is only reported. Returns true
// when the rows were replaced.
bool store_download(game& g, const char* body, size_t body_len, size_t reply_len);

// Set by the menus: puts the download list's page back to its first entry
// before a stored download re-enters the list. Null does nothing.
extern void (*download_list_reset)();

// Polls the five request slots once, in the order track, share, download,
// plays, valid; each finished request is handled and freed.
void web_poll(game& g);
