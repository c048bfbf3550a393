#include "window/written_slots.h"

#include "settings/profile_slots.h"

namespace treadle {

void WrittenSlots::Remember(const Frame& frame) {
    const auto& b = frame.bytes;
    const bool kindKnown = b[1] == kKeyFrameKind || b[1] == kMouseFrameKind;
    if (b[0] != kFrameStart || !kindKnown || b[2] % 4 != 0 || b[2] / 4 >= kSlotCount) {
        return;
    }
    const size_t slot = b[2] / 4;
    slots_[slot] = {b[3], b[4], b[5], b[6]};
    kinds_[slot] = b[1] == kMouseFrameKind ? SlotKind::Mouse : SlotKind::Key;
    known_[slot] = true;
}

Profile WrittenSlots::ToProfile(ProfileGaps& gaps, std::vector<std::string>& notes) const {
    SlotTable slots = slots_;
    for (int number = 1; number <= kSwitchCount; ++number) {
        if (!known_[static_cast<size_t>(number - 1)]) {
            slots[static_cast<size_t>(number - 1)] = {kErasedByte, kErasedByte, kErasedByte, kErasedByte};
            gaps.unknownSwitches.push_back(number);
            notes.push_back("switch " + std::to_string(number) + " was not written since the window started; left out");
        }
    }
    // A settings slot that was never written reads as the off state, which adds no note of
    // its own; the gap is noted instead.
    const SlotBytes off{kSettingOn, 0x01, 0x00, 0x00};
    gaps.longPressUnknown = !known_[kLongPressSlot];
    if (gaps.longPressUnknown) {
        slots[kLongPressSlot] = off;
        notes.push_back("the long-press setting was not written since the window started; long_press is false");
    }
    gaps.delayAndRunModeUnknown = !known_[kDelayAndRunModeSlot];
    if (gaps.delayAndRunModeUnknown) {
        slots[kDelayAndRunModeSlot] = off;
        notes.push_back(
            "the key delay and the run mode were not written since the window started; delay_ms is 0 and the "
            "run mode is left out");
    }
    std::vector<std::string> slotNotes;
    Profile profile = ProfileFromSlots(slots, slotNotes, kinds_);
    if (gaps.delayAndRunModeUnknown) {
        profile.delayMs = 0;
        profile.runMode.reset();
    }
    gaps.slotNotes = slotNotes;
    notes.insert(notes.end(), slotNotes.begin(), slotNotes.end());
    return profile;
}

}  // namespace treadle
