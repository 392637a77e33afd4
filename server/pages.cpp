#include "server/pages.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

// The length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
size_t utf8_length(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (d & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    // C1 controls and noncharacters are not allowed in HTML text either.
    if ((cp >= 0x80 && cp <= 0x9F) || (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE)
        return 0;
    return n;
}

const char* const STYLE =
    "body{font-family:sans-serif;background:#111;color:#ddd;margin:0}"
    "main{max-width:52em;margin:0 auto;padding:1em}"
    "a{color:#8cf}h1,h2{font-weight:normal}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:.3em .6em;border-bottom:1px solid #333}"
    "td.n{text-align:right}label{display:inline-block;min-width:11em}"
    "p.error{color:#f88}p.note{color:#8d8}input{margin:.2em 0}";

std::string date_of(int64_t t) {
    const time_t tt = time_t(t);
    struct tm parts;
    char buf[32] = "";
    if (gmtime_r(&tt, &parts)) strftime(buf, sizeof buf, "%Y-%m-%d", &parts);
    return buf;
}

std::string rating(double v, int64_t votes) {
    if (votes == 0) return "&ndash;";
    char buf[48];
    snprintf(buf, sizeof buf, "%.2f (%lld)", v, static_cast<long long>(votes));
    return buf;
}

std::string duration(int64_t seconds) {
    char buf[48];
    snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
             static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buf;
}

std::string field(const char* id, const char* label, const char* name, const char* type,
                  const std::string& value, const char* extra) {
    return std::string("<p><label for=\"") + id + "\">" + label + "</label> <input id=\"" + id +
           "\" name=\"" + name + "\" type=\"" + type + "\"" +
           (value.empty() ? "" : " value=\"" + html_escape(value) + "\"") + extra + "></p>\n";
}

}  // namespace

std::string html_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = utf8_length(text, i);
        if (n == 0 || (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            out += "\xEF\xBF\xBD";
            i += n ? n : 1;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string html_page(const std::string& title, const std::string& body_html) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           html_escape(title) + "</title>\n<style>" + STYLE + "</style>\n</head>\n<body>\n<main>\n" +
           body_html + "</main>\n</body>\n</html>\n";
}

std::string manage_page(const std::string& name, const std::string& message, bool is_error) {
    std::string b = "<h1>Murkwell account</h1>\n";
    if (!message.empty())
        b += std::string("<p class=\"") + (is_error ? "error" : "note") + "\">" + html_escape(message) + "</p>\n";
    b += "<p>The game signs in with the user name and password entered under Settings or in its "
         "sign-in dialog. User names have 1 to 29 characters; passwords 4 to 63.</p>\n";
    b += "<h2>Create an account</h2>\n<form method=\"post\" action=\"/murkwell/manage.php\">\n"
         "<input type=\"hidden\" name=\"do\" value=\"create\">\n";
    b += field("c-name", "User name", "name", "text", name, " maxlength=\"29\" required");
    b += field("c-pass", "Password", "password", "password", "", " maxlength=\"63\" required");
    b += field("c-pass2", "Password again", "password2", "password", "", " maxlength=\"63\" required");
    b += "<p><button type=\"submit\">Create account</button></p>\n</form>\n";
    b += "<h2>Change the password</h2>\n<form method=\"post\" action=\"/murkwell/manage.php\">\n"
         "<input type=\"hidden\" name=\"do\" value=\"change\">\n";
    b += field("p-name", "User name", "name", "text", name, " maxlength=\"29\" required");
    b += field("p-old", "Current password", "password", "password", "", " maxlength=\"63\" required");
    b += field("p-new", "New password", "new", "password", "", " maxlength=\"63\" required");
    b += field("p-new2", "New password again", "new2", "password", "", " maxlength=\"63\" required");
    b += "<p><button type=\"submit\">Change password</button></p>\n</form>\n";
    return html_page("Murkwell account", b);
}

std::string stats_page(const Account& account, const PlayerStats& stats,
                       const std::vector<SharedLevel>& levels) {
    std::string b = "<h1>" + html_escape(account.name) + "</h1>\n<table>\n<tbody>\n";
    b += "<tr><th>Levels played</th><td class=\"n\">" + std::to_string(stats.played) + "</td></tr>\n";
    b += "<tr><th>Levels won</th><td class=\"n\">" + std::to_string(stats.won) + "</td></tr>\n";
    b += "<tr><th>Play time</th><td class=\"n\">" + duration(stats.seconds) + "</td></tr>\n";
    b += "<tr><th>Member since</th><td class=\"n\">" + date_of(account.created) + "</td></tr>\n";
    b += "</tbody>\n</table>\n<h2>Shared levels</h2>\n";
    if (levels.empty()) {
        b += "<p>No shared levels yet.</p>\n";
    } else {
        b += "<table>\n<thead><tr><th>No.</th><th>Title</th><th>Shared</th><th>Started</th>"
             "<th>Won</th><th>Awesomeness</th><th>Difficulty</th></tr></thead>\n<tbody>\n";
        for (const SharedLevel& l : levels) {
            b += "<tr><td class=\"n\">" + std::to_string(l.number) + "</td><td>" +
                 html_escape(l.title.empty() ? l.name : l.title) + "</td><td>" + date_of(l.ts) +
                 "</td><td class=\"n\">" + std::to_string(l.starts) + "</td><td class=\"n\">" +
                 std::to_string(l.plays) + "</td><td class=\"n\">" + rating(l.stars, l.star_votes) +
                 "</td><td class=\"n\">" + rating(l.skulls, l.skull_votes) + "</td></tr>\n";
        }
        b += "</tbody>\n</table>\n";
    }
    return html_page(account.name + " - Murkwell", b);
}

std::string message_page(const std::string& title, const std::string& message) {
    return html_page(title, "<h1>" + html_escape(title) + "</h1>\n<p>" + html_escape(message) +
                                "</p>\n<p><a href=\"/murkwell/manage.php\">Accounts</a></p>\n");
}

std::string index_page(int64_t levels) {
    return html_page("Murkwell level service",
                     "<h1>Murkwell level service</h1>\n<p>" + std::to_string(levels) +
                         " shared levels. Play them from the game's Play menu.</p>\n"
                         "<p><a href=\"/murkwell/manage.php\">Create an account or change its "
                         "password</a></p>\n");
}
