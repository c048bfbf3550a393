// Text from arguments, profiles and file names, made safe to show on a terminal: control
// characters (ESC, NUL, ...) and bytes that are no UTF-8 are written as \xNN, and a long
// text is cut with a note of its length. Every message that repeats such text shows it
// through these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace treadle {

// How much of a user's text a message repeats.
constexpr std::size_t kShownTextBytes = 80;
// How much of a file name.
constexpr std::size_t kShownPathBytes = 400;

// The text escaped, and cut after `maxBytes` bytes of it.
std::string ShownText(std::string_view text, std::size_t maxBytes = kShownTextBytes);

// ShownText in double quotes.
std::string Quoted(std::string_view text, std::size_t maxBytes = kShownTextBytes);

// A whole message escaped but not cut; its line breaks stay.
std::string ShownMessage(std::string_view message);

}  // namespace treadle
