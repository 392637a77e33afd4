// The service's web pages: plain HTML5, usable without scripts, every stored
// or submitted text escaped.
#pragma once

#include <string>
#include <vector>

#include "server/store.h"

// Text made safe for HTML content and attribute values: & < > " ' escaped;
// bytes that are not UTF-8, and control characters other than tab and line
// feed, become U+FFFD.
std::string html_escape(const std::string& text);

// A whole page: doctype, head with title, the body's HTML.
std::string html_page(const std::string& title, const std::string& body_html);

// The account page: a message (empty for none; an error is shown as such),
// then the create and change forms, with `name` filled in.
std::string manage_page(const std::string& name, const std::string& message, bool is_error);

// A player's page.
std::string stats_page(const Account& account, const PlayerStats& stats,
                       const std::vector<SharedLevel>& levels);

// A page saying only `message` (not found, bad request).
std::string message_page(const std::string& title, const std::string& message);

// The service's front page.
std::string index_page(int64_t levels);
