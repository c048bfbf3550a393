#include "assignment/key_naming.h"

#include "assignment/assignment_log.h"
#include "assignment/key_table.h"

#include <array>
#include <map>

namespace treadle {
namespace {

constexpr std::array<ModifierName, 8> kModifiers{{
    {"ctrl", modifier::kCtrl},
    {"shift", modifier::kShift},
    {"alt", modifier::kAlt},
    {"win", modifier::kWin},
    {"rctrl", modifier::kCtrlRight},
    {"rshift", modifier::kShiftRight},
    {"ralt", modifier::kAltRight},
    {"rwin", modifier::kWinRight},
}};

constexpr std::array<ClickName, 3> kClicks{{
    {"mouse-left", mouse::kLeft},
    {"mouse-middle", mouse::kMiddle},
    {"mouse-right", mouse::kRight},
}};

// Plain names of the on-screen keys that are neither letters, digits nor F1 to F12, with the
// index of their key button; the usage comes from the window's key table.
struct NamedButton {
    const char* name;
    int index;
};

constexpr std::array<NamedButton, 48> kNamedButtons{{
    {"esc", 36},       {"tab", 38},       {"caps", 39},     {"enter", 80},   {"space", 76},    {"backspace", 18},
    {"insert", 12},    {"delete", 14},    {"home", 19},     {"end", 20},     {"pgup", 77},     {"pgdn", 78},
    {"up", 32},        {"down", 33},      {"left", 34},     {"right", 35},   {"prtsc", 13},    {"scroll", 22},
    {"pause", 15},     {"menu", 31},      {"minus", 16},    {"equal", 17},   {"lbracket", 29}, {"rbracket", 30},
    {"backslash", 27}, {"semicolon", 25}, {"quote", 26},    {"grave", 37},   {"comma", 23},    {"period", 24},
    {"slash", 28},     {"numlock", 81},   {"kp0", 96},      {"kp1", 92},     {"kp2", 93},      {"kp3", 94},
    {"kp4", 89},       {"kp5", 90},       {"kp6", 91},      {"kp7", 85},     {"kp8", 86},      {"kp9", 87},
    {"kp-slash", 82},  {"kp-star", 83},   {"kp-minus", 84}, {"kp-plus", 88}, {"kp-enter", 95}, {"kp-dot", 97},
}};

// F13 to F24 are on no keyboard the window shows; nothing else uses them, so pedals often do.
constexpr int kF13Usage = 0x68;

struct KeyTables {
    std::vector<std::pair<std::string, int>> keys;  // name and usage, in listing order
    std::map<std::string, int, std::less<>> usageOf;
    std::map<int, std::string> nameOf;      // the first name of each usage
    std::map<int, std::string> buttonName;  // key button index to name
};

const KeyTables& Tables() {
    static const KeyTables tables = [] {
        KeyTables t;
        std::map<int, int> usageOfButton;
        for (int step = 1; step <= 6; ++step) {
            for (const KeyTableEntry& key : KeyTableStep(step)) {
                usageOfButton[key.index] = key.usage;
            }
        }
        auto add = [&t](const std::string& name, int usage) {
            t.keys.emplace_back(name, usage);
            t.usageOf[name] = usage;
            t.nameOf.emplace(usage, name);
        };
        auto addButton = [&](const std::string& name, int index) {
            add(name, usageOfButton.at(index));
            t.buttonName[index] = name;
        };
        for (int i = 0; i < 26; ++i) {
            addButton(std::string(1, static_cast<char>('a' + i)), 50 + i);
        }
        addButton("0", 40);
        for (int i = 1; i <= 9; ++i) {
            addButton(std::to_string(i), 40 + i);
        }
        for (const NamedButton& b : kNamedButtons) {
            addButton(b.name, b.index);
        }
        for (int i = 0; i < 12; ++i) {
            addButton("f" + std::to_string(i + 1), i);
        }
        for (int i = 0; i < 12; ++i) {
            add("f" + std::to_string(i + 13), kF13Usage + i);
        }
        return t;
    }();
    return tables;
}

}  // namespace

std::span<const ModifierName> ModifierNames() { return kModifiers; }

std::span<const ClickName> ClickNames() { return kClicks; }

const std::vector<std::pair<std::string, int>>& KeyNames() { return Tables().keys; }

std::optional<int> UsageOfKeyName(std::string_view name) {
    const auto it = Tables().usageOf.find(name);
    if (it == Tables().usageOf.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string KeyNameOfUsage(int usage) {
    if (const auto it = Tables().nameOf.find(usage); it != Tables().nameOf.end()) {
        return it->second;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    return std::string("0x") + kDigits[(usage >> 4) & 0xF] + kDigits[usage & 0xF];
}

std::string KeyButtonName(int index) {
    const auto it = Tables().buttonName.find(index);
    return it == Tables().buttonName.end() ? std::string() : it->second;
}

std::string CombinationText(std::uint8_t modifiers, const std::string& keyName) {
    std::string text;
    for (const ModifierName& m : kModifiers) {
        if ((modifiers & m.bit) != 0) {
            text += (text.empty() ? "" : "+") + std::string(m.name);
        }
    }
    if (!keyName.empty()) {
        text += (text.empty() ? "" : "+") + keyName;
    }
    return text;
}

std::string ClickText(int code) {
    for (const ClickName& c : kClicks) {
        if (c.code == code) {
            return c.name;
        }
    }
    int n = 1;
    while (n < 32 && (code >> (n - 1)) != 1) {
        ++n;
    }
    return "mouse-button-" + std::to_string(n);
}

}  // namespace treadle
