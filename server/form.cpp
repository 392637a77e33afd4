#include "server/form.h"

#include "text/text.h"

bool parse_form(const std::string& text, Form& form, std::string& error) {
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('&', at);
        if (end == std::string::npos) end = text.size();
        const std::string piece = text.substr(at, end - at);
        at = end + 1;
        if (piece.empty()) continue;
        const size_t eq = piece.find('=');
        std::string name, value;
        if (!url_decode(piece.substr(0, eq), name) ||
            (eq != std::string::npos && !url_decode(piece.substr(eq + 1), value))) {
            error = "broken percent-encoding";
            return false;
        }
        if (form.size() >= size_t(FORM_MAX_FIELDS)) {
            error = "too many fields";
            return false;
        }
        if (!form.emplace(std::move(name), std::move(value)).second) {
            error = "a field is given twice";
            return false;
        }
    }
    return true;
}

std::string form_value(const Form& form, const char* name) {
    auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
}
