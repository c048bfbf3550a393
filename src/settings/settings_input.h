// The checks of the delay and frame text boxes, shared by the window and the command-line
// tool.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/protocol.h"

namespace treadle {

// What clear-all puts in the frame text box before it asks; it is never sent by itself.
inline constexpr const char* kClearPreviewText = "aa 00 ff ff ff ff";

// The delay box's own check: the text that replaces `text`, or the text itself when it may
// stay. Above 65535 becomes "65535", below 0 becomes "0".
std::string CheckedDelayText(const std::string& text);

// The delay a text stands for: its number rounded half to even, clamped to 0 to 65535.
std::int64_t DelayOf(std::string_view text);

// What the switch box's text stands for: a switch of the device, 1 to 4, or 0 for any other
// number; and the slot byte the frame preview shows for that number, (n - 1) × 4 rounded half
// to even and reduced to one byte, as it always has (0 shows FC, 1.5 shows 02).
struct SwitchChoice {
    int number = 0;
    std::uint8_t previewSlotByte = 0;
};
SwitchChoice SwitchChoiceOf(std::string_view text);

// The frame text box admits hex digits and blanks only. Returns the first character that
// it does not admit (a whole UTF-8 sequence), or an empty string when there is none.
std::string FirstInadmissibleCharacter(std::string_view text);

// The text with every occurrence of `character` removed.
std::string RemoveAll(std::string_view text, std::string_view character);

}  // namespace treadle
