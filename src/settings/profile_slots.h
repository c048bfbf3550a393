// Reading a virtual foot switch's stored slots back as assignments and settings.
#pragma once

#include "device/virtual_foot_switch.h"
#include "settings/profile.h"

#include <string>
#include <vector>

namespace treadle {

// The profile that, applied, stores what the slots hold. What a profile cannot say is
// added to `notes`, one line each. `kinds` tells a click from a key whose bytes read alike;
// where a slot's kind is unknown, such bytes are taken for the click, with a note.
Profile ProfileFromSlots(const SlotTable& slots, std::vector<std::string>& notes, const SlotKinds& kinds = {});

// One line per switch and per settings slot, decoded for people.
std::vector<std::string> ShowLines(const SlotTable& slots, const SlotKinds& kinds = {});

}  // namespace treadle
