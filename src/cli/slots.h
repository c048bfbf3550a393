// Reading a virtual foot switch's stored slots back as assignments and settings.
#pragma once

#include "cli/profile.h"
#include "device/virtual_foot_switch.h"

#include <string>
#include <vector>

namespace treadle::cli {

// Slot indexes of the two settings slots (slot bytes 0x78 and 0x7C).
constexpr int kLongPressSlot = 0x78 / 4;
constexpr int kDelayAndRunModeSlot = 0x7C / 4;

// The profile that, applied, stores what the slots hold. What a profile cannot say is
// added to `notes`, one line each. `kinds` tells a click from a key whose bytes read alike;
// where a slot's kind is unknown, such bytes are taken for the click, with a note.
Profile ProfileFromSlots(const SlotTable& slots, std::vector<std::string>& notes, const SlotKinds& kinds = {});

// One line per switch and per settings slot, decoded for people.
std::vector<std::string> ShowLines(const SlotTable& slots, const SlotKinds& kinds = {});

}  // namespace treadle::cli
