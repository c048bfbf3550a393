// The key table: the HID keyboard usage each key button of the on-screen keyboard assigns,
// with its caption. The window fills its keys from here and the command line names keys by
// it, so a name always stands for the usage the on-screen key of that name assigns.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace treadle {

constexpr int kKeyTableSize = 101;

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

}  // namespace treadle
