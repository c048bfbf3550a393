// Names for parameterised tests, made from the text a case reads, so that a test's name says
// which input it checks ("ReadsTheNumberAtTheStart/Minus_Dot25") rather than its index.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace treadle::testing {

// The text as a test name: letters and digits as they are, a blank as '_', other characters
// by name; "Empty" for an empty text.
inline std::string TestNameFromText(std::string_view text) {
    if (text.empty()) {
        return "Empty";
    }
    std::string name;
    for (char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            name += c;
            continue;
        }
        switch (c) {
            case ' ':
                name += '_';
                break;
            case '-':
                name += "Minus";
                break;
            case '+':
                name += "Plus";
                break;
            case '.':
                name += "Dot";
                break;
            case '&':
                name += "Amp";
                break;
            case '\t':
                name += "Tab";
                break;
            case '\n':
                name += "Lf";
                break;
            case '\r':
                name += "Cr";
                break;
            default: {
                char hex[8];
                std::snprintf(hex, sizeof hex, "X%02X", static_cast<unsigned char>(c));
                name += hex;
                break;
            }
        }
    }
    return name;
}

}  // namespace treadle::testing
