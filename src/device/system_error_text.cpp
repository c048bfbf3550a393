#include "device/system_error_text.h"

#include <climits>

#include <cstring>

namespace treadle {
namespace {

// No system assigns an error number this large.
constexpr int kUnassignedCode = INT_MAX;

// The text without its numbers: every decimal digit and minus sign left out.
std::string WithoutNumbers(std::string_view text) {
    std::string out;
    for (char c : text) {
        if ((c < '0' || c > '9') && c != '-') {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

bool IsUnknownErrorText(std::string_view text, std::string_view unknownText) {
    return WithoutNumbers(text) == WithoutNumbers(unknownText);
}

std::string CLibraryErrorText(std::uint32_t code) {
    // strerror's buffer may be reused by the next call: copy each text before asking again.
    const std::string text = std::strerror(static_cast<int>(code));
    const std::string unknown = std::strerror(kUnassignedCode);
    return IsUnknownErrorText(text, unknown) ? std::string() : text;
}

}  // namespace treadle
