#include "assignment/key_names.h"

#include "assignment/assignment_log.h"
#include "assignment/key_naming.h"
#include "device/hid_usages.h"
#include "text/shown_text.h"
#include "text/text_rules.h"

#include <algorithm>
#include <array>

namespace treadle {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
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
    return error + " ('treadlectl keys' lists every name; 0x04 to 0xFF give a raw usage)";
}

// Why a raw usage cannot stand as a switch's key, empty when it can. 00 is "no key": only
// with modifiers does it make sense, as a modifier pressed alone ("ctrl+0x00"). 01 to 03
// are the keyboard's error codes, which no pedal should send. E0 to E7 are the modifiers
// themselves, which the modifier byte carries: as a key a press of them reads as that
// modifier, so the switch would never be matched as it was set.
std::string NoKeyUsage(int usage, std::uint8_t modifiers) {
    if (usage == 0x00 && modifiers == 0) {
        return "means no key: give a key, or modifiers with it for a modifier pressed alone (\"ctrl+0x00\")";
    }
    if (usage >= 0x01 && usage <= 0x03) {
        return "is a keyboard error code, not a key";
    }
    if (usage >= hid::kFirstModifierUsage && usage <= hid::kLastModifierUsage) {
        for (const ModifierName& m : ModifierNames()) {
            if (m.bit == 1u << (usage - hid::kFirstModifierUsage)) {
                return std::string("is the modifier ") + m.name + ": write it by its name, as in \"" + m.name +
                       "+f1\", or \"" + m.name + "+0x00\" for the modifier alone";
            }
        }
    }
    return {};
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

// The parts of a combination between its '+' signs, empty ones included.
std::vector<std::string> SplitAtPlus(const std::string& whole) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t plus = whole.find('+', start);
        parts.push_back(whole.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) {
            return parts;
        }
        start = plus + 1;
    }
}

// The modifier bit a part names, 0 when it names none.
std::uint8_t ModifierBitOf(const std::string& part) {
    const auto modifiers = ModifierNames();
    const auto mod =
        std::find_if(modifiers.begin(), modifiers.end(), [&part](const ModifierName& m) { return part == m.name; });
    return mod != modifiers.end() ? mod->bit : std::uint8_t{0};
}

// The key or click a part names: a click name, a key name or a raw usage. Empty when it is
// good, else why not.
std::string KeyOfPart(const std::string& part, KeyChoice& key) {
    const auto clicks = ClickNames();
    const auto click =
        std::find_if(clicks.begin(), clicks.end(), [&part](const ClickName& c) { return part == c.name; });
    int raw = 0;
    if (click != clicks.end()) {
        key.mouse = true;
        key.usage = click->code;
        key.keyName = click->name;
    } else if (const auto named = UsageOfKeyName(part)) {
        key.usage = *named;
        key.keyName = part;
    } else if (ParseRawUsage(part, raw)) {
        if (raw < 0) {
            return "raw usage " + Quoted(part) + " must be 0x00 to 0xFF";
        }
        key.usage = raw;
        key.keyName = KeyNameOfUsage(raw);
    } else {
        return UnknownKeyError(part);
    }
    return {};
}

// What is wrong with a combination whose parts are each good: no key, a usage that is no
// key, or a click with modifiers. Empty when nothing is.
std::string CombinationError(std::string_view text, const KeyChoice& choice, const std::string& keySeen,
                             const std::string& modifierSeen) {
    if (keySeen.empty()) {
        return Quoted(text) + " has no key: put one key after the modifiers";
    }
    if (!choice.mouse) {
        if (const std::string why = NoKeyUsage(choice.usage, choice.modifiers); !why.empty()) {
            return "usage " + Quoted(keySeen) + " " + why;
        }
    }
    if (choice.mouse && choice.modifiers != 0) {
        return "a mouse click takes no modifiers (" + Quoted(modifierSeen) + " with " + Quoted(keySeen) + ")";
    }
    return {};
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
    std::string modifierSeen;
    std::string keySeen;
    for (const std::string& part : SplitAtPlus(whole)) {
        if (part.empty()) {
            return fail("empty part in " + Quoted(text) + ": join the names with one \"+\" each");
        }
        if (const std::uint8_t bit = ModifierBitOf(part); bit != 0) {
            if ((result.choice.modifiers & bit) != 0) {
                return fail(Quoted(part) + " is given twice");
            }
            result.choice.modifiers = static_cast<std::uint8_t>(result.choice.modifiers | bit);
            modifierSeen = part;
            continue;
        }
        KeyChoice key;
        if (std::string error = KeyOfPart(part, key); !error.empty()) {
            return fail(std::move(error));
        }
        if (!keySeen.empty()) {
            if (part == keySeen) {
                return fail(Quoted(part) + " is given twice");
            }
            return fail("two keys " + Quoted(keySeen) + " and " + Quoted(part) +
                        ": a switch takes one key, with any modifiers");
        }
        keySeen = part;
        result.choice.mouse = key.mouse;
        result.choice.usage = key.usage;
        result.choice.keyName = key.keyName;
    }
    if (std::string error = CombinationError(text, result.choice, keySeen, modifierSeen); !error.empty()) {
        return fail(std::move(error));
    }
    return result;
}

std::string KeyCombinationText(const KeyChoice& choice) { return CombinationText(choice.modifiers, choice.keyName); }

std::optional<KeyChoice> ChoiceFromSlot(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    if (b2 != 0 || b3 != 0) {
        return std::nullopt;  // erased (FF FF FF FF) or written by no assignment frame
    }
    KeyChoice choice;
    if (b0 == kMouseMarker) {
        for (const ClickName& c : ClickNames()) {
            if (b1 == c.code) {
                choice.mouse = true;
                choice.usage = c.code;
                choice.keyName = c.name;
                return choice;
            }
        }
    }
    if (!NoKeyUsage(b1, b0).empty()) {
        return std::nullopt;  // no key that a switch can be set to (older versions wrote some)
    }
    choice.modifiers = b0;
    choice.usage = b1;
    choice.keyName = KeyNameOfUsage(b1);
    return choice;
}

bool LooksLikeClick(const KeyChoice& choice) {
    const auto clicks = ClickNames();
    return !choice.mouse && choice.modifiers == kMouseMarker &&
           std::any_of(clicks.begin(), clicks.end(), [&choice](const ClickName& c) { return choice.usage == c.code; });
}

std::vector<std::string> AllKeyNames() {
    std::vector<std::string> names;
    for (const ModifierName& m : ModifierNames()) {
        names.emplace_back(m.name);
    }
    for (const auto& [name, usage] : KeyNames()) {
        names.push_back(name);
    }
    for (const ClickName& c : ClickNames()) {
        names.emplace_back(c.name);
    }
    return names;
}

}  // namespace treadle
