// The on-screen keyboard as data: where each key button and modifier toggle sits in the
// keyboard panel and which font its caption uses. The usage each key assigns is in the key
// table (assignment/key_table.h).
#pragma once

#include "assignment/key_table.h"
#include "window/control.h"

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

// Names of the eight modifier toggles in the order of their bits 0x01 to 0x80.
std::span<const char* const> ModifierToggleNames();

}  // namespace treadle
