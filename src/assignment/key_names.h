// Key combinations as the command line and profiles write them: modifiers and one key
// joined with '+' ("ctrl+shift+f1"), or a mouse click ("mouse-left").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace treadle {

struct KeyChoice {
    bool mouse = false;
    std::uint8_t modifiers = 0;  // bits of the HID modifier byte; 0 for a click
    int usage = 0;               // HID keyboard usage of the key, or the mouse button code
    std::string keyName;         // the key part as written back: "f1", "0x87", "mouse-left"

    bool operator==(const KeyChoice&) const = default;
};

struct KeyParse {
    KeyChoice choice;
    std::string error;  // names the bad part; empty when the text was good

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Names are case-insensitive; modifiers may stand in any order around the one key.
KeyParse ParseKey(std::string_view text);

// The canonical text of a choice: modifiers in bit order, then the key ("ctrl+shift+f1").
std::string KeyCombinationText(const KeyChoice& choice);

// What a switch slot's data bytes hold as a choice, when they hold one: a mouse click
// (FE and a button code) or a key with modifiers (MM KK 00 00). Nothing for an erased or
// foreign slot.
std::optional<KeyChoice> ChoiceFromSlot(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

// True when a key combination's slot bytes read the same as a mouse click's.
bool LooksLikeClick(const KeyChoice& choice);

// Every name ParseKey knows, modifiers first, then keys, then the mouse clicks.
std::vector<std::string> AllKeyNames();

}  // namespace treadle
