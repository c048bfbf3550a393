#include "settings/profile_slots.h"

#include "assignment/key_naming.h"

#include <optional>

namespace treadle {
namespace {

constexpr SlotBytes kErased{kErasedByte, kErasedByte, kErasedByte, kErasedByte};

struct Settings {
    std::optional<int> longPress;  // the check box state the slot holds (0, 1 or 2)
    std::optional<std::int64_t> delayMs;
    std::optional<RunMode> runMode;
};

Settings DecodeSettings(const SlotTable& slots) {
    Settings s;
    const SlotBytes& lp = slots[kLongPressSlot];
    if (lp[0] == kSettingOn && lp[1] == 0x01 && lp[2] <= 2 && lp[3] == 0x00) {
        s.longPress = lp[2];
    }
    const SlotBytes& shared = slots[kDelayAndRunModeSlot];
    if (shared[0] == kSettingOn && shared[1] == 0x01) {
        // The key-delay frame: it carries power-on run on and loop playback as well.
        s.delayMs = shared[2] * 256 + shared[3];
        s.runMode = kRunModeOfDelayFrame;
    } else if ((shared[0] == kSettingOn || shared[0] == 0x00) && shared[1] <= 0x01 && shared[2] == 0 && shared[3] == 0) {
        s.delayMs = 0;
        s.runMode = RunMode{shared[0] == kSettingOn, shared[1] == 0x01};
    }
    return s;
}

// The key combination whose slot bytes are those of a click, when the choice is a click.
std::string SameBytesAsKey(const KeyChoice& click) {
    KeyChoice key;
    key.modifiers = kMouseMarker;
    key.usage = click.usage;
    key.keyName = KeyNameOfUsage(click.usage);
    return KeyCombinationText(key);
}

std::string SlotText(const SlotBytes& bytes) { return ByteListText(bytes); }

// What a switch's slot holds; `ambiguous` when the bytes read as a click but nothing says
// which frame stored them (a state file that did not keep the kind).
std::optional<KeyChoice> StoredChoice(const SlotBytes& b, SlotKind kind, bool& ambiguous) {
    ambiguous = false;
    std::optional<KeyChoice> choice = ChoiceFromSlot(b[0], b[1], b[2], b[3]);
    if (!choice) {
        return choice;
    }
    switch (kind) {
        case SlotKind::Key:
            if (choice->mouse) {
                choice = KeyChoice{};
                choice->modifiers = b[0];
                choice->usage = b[1];
                choice->keyName = KeyNameOfUsage(b[1]);
            }
            return choice;
        case SlotKind::Mouse:
            // A mouse frame stores FE and a button code; any other bytes no mouse frame wrote.
            return choice->mouse ? choice : std::nullopt;
        default:
            ambiguous = choice->mouse;
            return choice;
    }
}

// The same, when an assignment can write it: bytes that read as a combination set and apply
// refuse (a key frame's FE 01, whose usage 01 is no key) no assignment wrote.
std::optional<KeyChoice> SwitchChoice(const SlotBytes& b, SlotKind kind, bool& ambiguous) {
    std::optional<KeyChoice> choice = StoredChoice(b, kind, ambiguous);
    if (choice && !ParseKey(KeyCombinationText(*choice)).ok()) {
        return std::nullopt;
    }
    return choice;
}

}  // namespace

Profile ProfileFromSlots(const SlotTable& slots, std::vector<std::string>& notes, const SlotKinds& kinds) {
    Profile profile;
    for (int number = 1; number <= 4; ++number) {
        const SlotBytes& b = slots[static_cast<size_t>(number - 1)];
        if (b == kErased) {
            continue;
        }
        bool ambiguous = false;
        const std::optional<KeyChoice> choice = SwitchChoice(b, kinds[static_cast<size_t>(number - 1)], ambiguous);
        if (!choice) {
            notes.push_back("switch " + std::to_string(number) + " holds " + SlotText(b) +
                            ", which no assignment writes; left out");
            continue;
        }
        if (ambiguous) {
            notes.push_back("switch " + std::to_string(number) + ": the bytes " + SlotText(b) + " are " +
                            choice->keyName + " or the key " + SameBytesAsKey(*choice) + "; written as the click");
        }
        profile.switches[number] = *choice;
    }
    const Settings s = DecodeSettings(slots);
    if (s.longPress && *s.longPress <= 1) {
        profile.longPress = *s.longPress == 1;
    } else {
        notes.push_back("the long-press slot 78 holds " + SlotText(slots[kLongPressSlot]) +
                        ", which a profile cannot say; long_press is false");
    }
    if (s.delayMs) {
        profile.delayMs = *s.delayMs;
        profile.runMode = s.runMode;
    } else {
        notes.push_back("the settings slot 7C holds " + SlotText(slots[kDelayAndRunModeSlot]) +
                        ", which a profile cannot say; delay_ms is 0 and the run mode is left out");
    }
    return profile;
}

std::vector<std::string> ShowLines(const SlotTable& slots, const SlotKinds& kinds) {
    std::vector<std::string> lines;
    for (int number = 1; number <= 4; ++number) {
        const SlotBytes& b = slots[static_cast<size_t>(number - 1)];
        std::string line = "switch " + std::to_string(number) + ": ";
        bool ambiguous = false;
        const std::optional<KeyChoice> choice = SwitchChoice(b, kinds[static_cast<size_t>(number - 1)], ambiguous);
        if (b == kErased) {
            line += "empty";
        } else if (!choice) {
            line += SlotText(b) + " (written by no assignment)";
        } else if (ambiguous) {
            line += choice->keyName + " (the same bytes as the key " + SameBytesAsKey(*choice) + ")";
        } else {
            line += KeyCombinationText(*choice);
        }
        lines.push_back(line);
    }
    const Settings s = DecodeSettings(slots);
    std::string lp = "long press (slot 78): ";
    if (slots[kLongPressSlot] == kErased) {
        lp += "empty";
    } else if (!s.longPress) {
        lp += SlotText(slots[kLongPressSlot]) + " (written by no long-press frame)";
    } else {
        static constexpr const char* kStates[] = {"off", "on", "grey (02)"};
        lp += kStates[*s.longPress];
    }
    lines.push_back(lp);
    std::string shared = "key delay and run mode (slot 7C): ";
    if (slots[kDelayAndRunModeSlot] == kErased) {
        shared += "empty";
    } else if (!s.delayMs) {
        shared += SlotText(slots[kDelayAndRunModeSlot]) + " (written by neither a delay nor a run-mode frame)";
    } else {
        shared += "key delay " + std::to_string(*s.delayMs) + " ms, power-on run " +
                  (s.runMode->powerOnRun ? "on" : "off") + ", " + (s.runMode->loopPlayback ? "loop" : "single") +
                  " playback";
    }
    lines.push_back(shared);
    return lines;
}

}  // namespace treadle
