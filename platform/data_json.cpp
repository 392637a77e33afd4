#include "platform/data_json.h"

#include <cstdio>
#include <memory>

namespace {

// jsoncpp's messages run over several lines; a diagnostic is one.
std::string one_line(const std::string& text) {
    std::string out;
    bool space = false;
    for (char ch : text) {
        if (ch == '\n' || ch == '\r' || ch == '\t' || ch == ' ') {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += ch;
    }
    return out;
}

}  // namespace

Json::Value data_json_object(const char* file, const std::string& text, const char* prefix) {
    Json::Value empty(Json::objectValue);
    if (text.empty()) {
        fprintf(stderr, "%s%s is missing or empty\n", prefix, file);
        return empty;
    }
    Json::Value root;
    std::string errors;
    bool ok = false;
    try {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        ok = reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception& e) {  // e.g. nesting deeper than the reader allows
        errors = e.what();
    }
    if (!ok) {
        fprintf(stderr, "%s%s: %s\n", prefix, file, one_line(errors).c_str());
        return empty;
    }
    if (!root.isObject()) {
        fprintf(stderr, "%s%s is not a JSON object\n", prefix, file);
        return empty;
    }
    return root;
}
