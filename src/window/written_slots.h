// What the window has written to the foot switch since it started, slot by slot: the device
// cannot be read back, so a profile saved from the window says what the window wrote.
#pragma once

#include "device/protocol.h"
#include "device/virtual_foot_switch.h"
#include "settings/profile.h"

#include <array>
#include <string>
#include <vector>

namespace treadle {

// What a saved profile could not take from the window's record, for the log.
struct ProfileGaps {
    std::vector<int> unknownSwitches;  // switch numbers never written
    bool longPressUnknown = false;
    bool delayAndRunModeUnknown = false;
    std::vector<std::string> slotNotes;  // what the written bytes hold that a profile cannot say
};

class WrittenSlots {
  public:
    // Takes in a frame the device has taken: an assignment, a setting or a cleared slot.
    // Frames that store nothing (another start byte or kind, a slot byte beyond the slots)
    // change nothing.
    void Remember(const Frame& frame);

    // The profile that, applied, writes what the window wrote. `gaps` tells what it does not
    // know; `notes` gets one English line for each gap and each thing it cannot say, for the
    // file's comments.
    Profile ToProfile(ProfileGaps& gaps, std::vector<std::string>& notes) const;

  private:
    SlotTable slots_{};
    SlotKinds kinds_{};
    std::array<bool, kSlotCount> known_{};
};

}  // namespace treadle
