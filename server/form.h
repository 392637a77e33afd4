// Form fields of a query string or a form body
// ("a=1&b=x%20y", application/x-www-form-urlencoded).
#pragma once

#include <map>
#include <string>

enum : int {
    FORM_MAX_FIELDS = 64,  // more fields than any page or action sends
};

// Decoded field name -> decoded value.
using Form = std::map<std::string, std::string>;

// Adds the fields of text to form. Empty pieces ("&&", the leading "&" of the
// game's query strings) are skipped; a piece without "=" is a field with an
// empty value. False, with a short reason in error, when a piece's
// percent-encoding is broken, a field name repeats (also one already in form),
// or there are more than FORM_MAX_FIELDS fields; form is then incomplete.
bool parse_form(const std::string& text, Form& form, std::string& error);

// The value of a field, "" when absent.
std::string form_value(const Form& form, const char* name);
