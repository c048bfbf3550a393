// The names of modifiers, keys and clicks that the command line, profiles and the pedal test
// write: "ctrl", "f1", "kp-enter", "mouse-left". Key names come from the window's key table,
// so a name always stands for the usage the on-screen key of that name assigns.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace treadle {

struct ModifierName {
    const char* name;
    std::uint8_t bit;
};

struct ClickName {
    const char* name;
    int code;  // the button bit of the HID mouse report
};

// The eight modifiers in the order of their bits: ctrl, shift, alt, win, rctrl, rshift, ralt, rwin.
std::span<const ModifierName> ModifierNames();

// mouse-left, mouse-middle, mouse-right.
std::span<const ClickName> ClickNames();

// Every key name with its HID keyboard usage, in listing order.
const std::vector<std::pair<std::string, int>>& KeyNames();

// The usage of a key name (lower case); nothing for an unknown name.
std::optional<int> UsageOfKeyName(std::string_view name);

// The first name of a usage, or "0xNN" (lower-case hex) where it has none.
std::string KeyNameOfUsage(int usage);

// The plain name of a key button of the on-screen keyboard; empty for a button without one.
std::string KeyButtonName(int index);

// Modifiers in bit order, then the key name, joined with '+': "ctrl+shift+f1". The modifiers
// alone when the key name is empty.
std::string CombinationText(std::uint8_t modifiers, const std::string& keyName);

// "mouse-left" for a button code; "mouse-button-N" (N counted from 1) for a bit beyond the three.
std::string ClickText(int code);

}  // namespace treadle
