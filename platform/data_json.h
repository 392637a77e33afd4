// The data folder's description files (images, textures, fonts, sound names) are
// JSON objects; a file that cannot be used reads as an empty object.
#pragma once

#include <json/json.h>

#include <string>

// `text` (the contents of `file`) as a JSON object. When it is empty, malformed
// or not an object, one diagnostic line goes to the standard error stream:
// "<prefix><file> is missing or empty", "<prefix><file>: <parser message>" or
// "<prefix><file> is not a JSON object", and the result is an empty object.
Json::Value data_json_object(const char* file, const std::string& text, const char* prefix = "");
