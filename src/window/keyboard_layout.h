// The on-screen keyboard as data: where each key button and modifier toggle sits in the
// keyboard panel, which font its caption uses, and the key table's fixed assignments.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "window/control.h"

namespace treadle {

constexpr int kKeyButtonCount = 98;
constexpr int kKeyTableSize = 101;

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

// A key whose caption and usage are fixed (the run of Index 12 to 40 and 76 to 97).
struct FixedKey {
    int index;
    const char* caption;
    int usage;  // HID Keyboard/Keypad usage ID
};

std::span<const FixedKey> FixedKeysLow();   // Index 12 to 40
std::span<const FixedKey> FixedKeysHigh();  // Index 76 to 97, without 79

// A key button with its caption and the usage its key table entry holds.
struct KeyTableEntry {
    int index;
    std::string caption;
    int usage;
};

// The key buttons that one step of filling the key table sets: 1 gives F1 to F12, 3 the
// low fixed run, 4 the digits 1 to 9, 5 the letters A to Z, 6 the high fixed run; any other
// step sets none. The window and the command-line tool both take their keys from here.
std::vector<KeyTableEntry> KeyTableStep(int step);

// Names of the eight modifier toggles in the order of their bits 0x01 to 0x80.
std::span<const char* const> ModifierToggleNames();

}  // namespace treadle
