// The frames that act on the device's settings slots and on all its slots, as text, and the
// checks of the delay and frame text boxes. Pure functions shared by the window and the
// command-line tool.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace treadle {

constexpr int kSlotCount = 32;
constexpr int kMaxDelay = 65535;

// "AA 01 7C 79 01 HH LL": the key delay in milliseconds, high byte first. Delays outside 0
// to 65535 are clamped into it.
std::string DelayFrameText(std::int64_t delayMs);

// "AA 01 78 79 01 SS 00": the long-press state of the check box (0, 1 or 2).
std::string LongPressFrameText(int checkState);

// "AA 01 SS FF FF FF FF" for slot index 0 to 31.
std::string ClearSlotFrameText(int slotIndex);

// What clear-all puts in the frame text box before it asks; it is never sent by itself.
inline constexpr const char* kClearPreviewText = "aa 00 ff ff ff ff";

// "AA 01 7C RR PP 00 00": power-on run (79 on, 00 off) and playback (01 loop, 00 single).
std::string RunModeFrameText(bool powerOnRun, bool loopPlayback);

// The delay box's own check: the text that replaces `text`, or the text itself when it may
// stay. Above 65535 becomes "65535", below 0 becomes "0".
std::string CheckedDelayText(const std::string& text);

// The delay a text stands for: its number rounded half to even, clamped to 0 to 65535.
std::int64_t DelayOf(std::string_view text);

// The frame text box admits hex digits and blanks only. Returns the first character that
// it does not admit (a whole UTF-8 sequence), or an empty string when there is none.
std::string FirstInadmissibleCharacter(std::string_view text);

// The text with every occurrence of `character` removed.
std::string RemoveAll(std::string_view text, std::string_view character);

}  // namespace treadle
