// The C library's texts for error numbers, as the platform layers hand them to the window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace treadle {

// The C library's text for an error number in the present locale; empty when the library
// has no text of its own for it and would only say that the number is unknown.
std::string CLibraryErrorText(std::uint32_t code);

// True when `text` is the library's "unknown error" text: `unknownText`, its text for a number
// known to be unassigned, with only the number different. Works in any language, as the
// comparison leaves the numbers out.
bool IsUnknownErrorText(std::string_view text, std::string_view unknownText);

}  // namespace treadle
