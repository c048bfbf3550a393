#include "cli/key_names.h"

#include "assignment/frames.h"
#include "cli/shown_text.h"
#include "text/text_rules.h"
#include "window/keyboard_layout.h"

#include <algorithm>
#include <array>
#include <map>

namespace treadle::cli {
namespace {

struct Modifier {
    const char* name;
    std::uint8_t bit;
};

// In the order of their bits, which is also the order KeyCombinationText writes them in.
constexpr std::array<Modifier, 8> kModifiers{{
    {"ctrl", modifier::kCtrl},
    {"shift", modifier::kShift},
    {"alt", modifier::kAlt},
    {"win", modifier::kWin},
    {"rctrl", modifier::kCtrlRight},
    {"rshift", modifier::kShiftRight},
    {"ralt", modifier::kAltRight},
    {"rwin", modifier::kWinRight},
}};

struct Click {
    const char* name;
    int code;
};

constexpr std::array<Click, 3> kClicks{{
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
    std::map<std::string, int> usageOf;
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

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

std::string RawName(int usage) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return std::string("0x") + kDigits[(usage >> 4) & 0xF] + kDigits[usage & 0xF];
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string UnknownKeyError(const std::string& part) {
    std::string error = "unknown key " + Quoted(part);
    std::vector<std::string> near;
    // Names are short: a long text is near none of them (and not worth the comparisons).
    if (part.size() > 1 && part.size() <= 16) {
        for (const std::string& name : AllKeyNames()) {
            if (EditDistance(part, name) <= (part.size() > 3 ? 2u : 1u)) {
                near.push_back(name);
            }
        }
    }
    if (part == "+" || part == "plus") {
        near = {"kp-plus"};
    }
    if (!near.empty() && near.size() <= 4) {
        error += "; did you mean";
        for (size_t i = 0; i < near.size(); ++i) {
            error += (i == 0 ? " \"" : i + 1 == near.size() ? " or \"" : ", \"") + near[i] + "\"";
        }
        error += "?";
    }
    return error + " ('treadlectl keys' lists every name; 0x00 to 0xFF give a raw usage)";
}

// A raw usage "0xNN": true when the text has the 0x form; `usage` is -1 when it is out of range.
bool ParseRawUsage(const std::string& part, int& usage) {
    if (part.size() < 3 || part[0] != '0' || part[1] != 'x') {
        return false;
    }
    usage = 0;
    for (size_t i = 2; i < part.size(); ++i) {
        const int digit = HexDigitValue(part[i]);
        if (digit < 0 || usage > 0xFF) {
            usage = -1;
            return true;
        }
        usage = usage * 16 + digit;
    }
    if (usage > 0xFF) {
        usage = -1;
    }
    return true;
}

}  // namespace

KeyParse ParseKey(std::string_view text) {
    KeyParse result;
    auto fail = [&result](std::string error) {
        result.error = std::move(error);
        return result;
    };
    const std::string whole = Lower(text);
    if (whole.empty()) {
        return fail("empty key: give a key such as \"a\" or \"ctrl+f1\"");
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t plus = whole.find('+', start);
        parts.push_back(whole.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) {
            break;
        }
        start = plus + 1;
    }

    std::string modifierSeen;
    std::string keySeen;
    for (const std::string& part : parts) {
        if (part.empty()) {
            return fail("empty part in " + Quoted(text) + ": join the names with one \"+\" each");
        }
        const auto mod =
            std::find_if(kModifiers.begin(), kModifiers.end(), [&part](const Modifier& m) { return part == m.name; });
        if (mod != kModifiers.end()) {
            if ((result.choice.modifiers & mod->bit) != 0) {
                return fail(Quoted(part) + " is given twice");
            }
            result.choice.modifiers = static_cast<std::uint8_t>(result.choice.modifiers | mod->bit);
            modifierSeen = part;
            continue;
        }
        KeyChoice key;
        const auto click =
            std::find_if(kClicks.begin(), kClicks.end(), [&part](const Click& c) { return part == c.name; });
        int raw = 0;
        if (click != kClicks.end()) {
            key.mouse = true;
            key.usage = click->code;
            key.keyName = click->name;
        } else if (auto named = Tables().usageOf.find(part); named != Tables().usageOf.end()) {
            key.usage = named->second;
            key.keyName = part;
        } else if (ParseRawUsage(part, raw)) {
            if (raw < 0) {
                return fail("raw usage " + Quoted(part) + " must be 0x00 to 0xFF");
            }
            key.usage = raw;
            const auto name = Tables().nameOf.find(raw);
            key.keyName = name != Tables().nameOf.end() ? name->second : RawName(raw);
        } else {
            return fail(UnknownKeyError(part));
        }
        if (!keySeen.empty()) {
            if (part == keySeen) {
                return fail(Quoted(part) + " is given twice");
            }
            return fail("two keys " + Quoted(keySeen) + " and " + Quoted(part) +
                        "\": a switch takes one key, with any modifiers");
        }
        keySeen = part;
        result.choice.mouse = key.mouse;
        result.choice.usage = key.usage;
        result.choice.keyName = key.keyName;
    }
    if (keySeen.empty()) {
        return fail(Quoted(text) + " has no key: put one key after the modifiers");
    }
    if (result.choice.mouse && result.choice.modifiers != 0) {
        return fail("a mouse click takes no modifiers (" + Quoted(modifierSeen) + " with " + Quoted(keySeen) + ")");
    }
    return result;
}

std::string KeyCombinationText(const KeyChoice& choice) {
    std::string combination;
    for (const Modifier& m : kModifiers) {
        if ((choice.modifiers & m.bit) != 0) {
            combination += std::string(m.name) + "+";
        }
    }
    return combination + choice.keyName;
}

std::optional<KeyChoice> ChoiceFromSlot(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    if (b2 != 0 || b3 != 0) {
        return std::nullopt;  // erased (FF FF FF FF) or written by no assignment frame
    }
    KeyChoice choice;
    if (b0 == 0xFE) {
        for (const Click& c : kClicks) {
            if (b1 == c.code) {
                choice.mouse = true;
                choice.usage = c.code;
                choice.keyName = c.name;
                return choice;
            }
        }
    }
    choice.modifiers = b0;
    choice.usage = b1;
    const auto name = Tables().nameOf.find(b1);
    choice.keyName = name != Tables().nameOf.end() ? name->second : RawName(b1);
    return choice;
}

bool LooksLikeClick(const KeyChoice& choice) {
    return !choice.mouse && choice.modifiers == 0xFE &&
           std::any_of(kClicks.begin(), kClicks.end(), [&choice](const Click& c) { return choice.usage == c.code; });
}

std::vector<std::string> AllKeyNames() {
    std::vector<std::string> names;
    for (const Modifier& m : kModifiers) {
        names.emplace_back(m.name);
    }
    for (const auto& [name, usage] : Tables().keys) {
        names.push_back(name);
    }
    for (const Click& c : kClicks) {
        names.emplace_back(c.name);
    }
    return names;
}

std::string NameOfKeyButton(int index) {
    const auto it = Tables().buttonName.find(index);
    return it == Tables().buttonName.end() ? std::string() : it->second;
}

}  // namespace treadle::cli
