// The on-screen keyboard as data: where each key button and modifier toggle sits in the
// keyboard panel and which font its caption uses. The usage each key assigns is in the key
// table (assignment/key_table.h).
#pragma once

#include "assignment/key_table.h"
#include "device/protocol.h"
#include "window/control.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace treadle {

constexpr int kKeyButtonCount = 98;

// One button of the keyboard panel: a key button (name "Command_key" with its Index) or a
// modifier toggle (its own name, index -1).
struct KeyPlace {
    const char* name;
    int index;
    Twips place;
};

// The 96 key buttons and 8 toggles in the panel, row by row, left to right.
std::span<const KeyPlace> KeyboardLayout();

// The two spare key buttons that sit hidden on the window, right of the client area.
std::span<const KeyPlace> SpareKeyButtons();

// The caption font of key button `index`, or of a modifier toggle for index -1.
FontSpec KeyFont(int index);

// A modifier toggle of the panel and the bit of the modifier byte (modifier::k...) it presses.
struct ModifierToggle {
    const char* name;
    std::uint8_t bit;
};

// The eight modifier toggles in the order of their bits, 0x01 to 0x80: the one table the
// window's toggle fields, clicks, enable walk and colours and their accessible names read.
std::span<const ModifierToggle> ModifierToggles();

}  // namespace treadle
