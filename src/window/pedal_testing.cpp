#include "window/pedal_testing.h"

#include "window/services.h"

#include <algorithm>

namespace treadle {

PedalTest::PedalTest(HidPlatform& hid, Clock& clock, std::uint16_t vendorId, std::uint16_t productId)
    : hid_(hid),
      clock_(clock),
      virtual_(dynamic_cast<VirtualFootSwitch*>(&hid)),
      vendorId_(vendorId),
      productId_(productId) {}

PedalTest::~PedalTest() = default;

bool PedalTest::Poll() {
    const std::string statusBefore = status_;
    bool changed = false;
    if (!watch_) {
        WatchStart started = hid_.WatchInput(vendorId_, productId_);
        if (!started.ok()) {
            status_ = started.error;
            return status_ != statusBefore;
        }
        watch_ = std::move(started.watch);
        status_.clear();
    }
    const WatchRead read = watch_->Read(0);
    for (const WatchedPress& p : read.presses) {
        const KnownSwitches known = Known(p.interfacePath);
        std::optional<std::vector<int>> switches;
        if (known) {
            switches = MatchingSwitches(p.press, *known);
        }
        presses_.push_front(
            {clock_.TimeStampText(), PressText(p.press), MatchDescription(p.press, known), std::move(switches)});
        if (presses_.size() > kKeptPresses) {
            presses_.pop_back();
        }
        changed = true;
    }
    if (read.ended) {
        watch_.reset();  // the next poll listens again, once the device is back
        status_ = read.error;
    }
    return changed || status_ != statusBefore;
}

void PedalTest::SetProgrammed(int switchNumber, std::optional<PedalPress> press) {
    if (press) {
        programmed_[switchNumber] = *press;
    } else {
        programmed_.erase(switchNumber);
    }
}

bool PedalTest::PressPedal(int pedal, std::string& error, Language language) {
    if (virtual_ == nullptr) {
        error = Text(Msg::PedalOnlyVirtual, language);
        return false;
    }
    if (!watch_) {
        Poll();  // listen first, so the press is heard
    }
    // Another program (treadlectl, another window) may have changed the state file since.
    if (!virtual_->Reload(error)) {
        return false;
    }
    // The device's own reasons, said in the window's language.
    const std::vector<std::string> present = virtual_->EnumerateInterfaces();
    if (std::find(present.begin(), present.end(), VirtualFootSwitch::ConfigPath(0)) == present.end()) {
        error = Text(Msg::PedalUnplugged, language);
        return false;
    }
    if (pedal >= 1 && pedal <= kSwitchCount) {
        const auto slot = static_cast<size_t>(pedal - 1);
        if (!SlotPress(virtual_->Slots()[slot], virtual_->Kinds()[slot])) {
            error =
                Text(Msg::PedalHoldsNothing, language, {std::to_string(pedal), ByteListText(virtual_->Slots()[slot])});
            return false;
        }
    }
    if (!virtual_->PressPedal(pedal, error)) {
        return false;
    }
    Poll();
    return true;
}

KnownSwitches PedalTest::Known(const std::string& interfacePath) const {
    if (virtual_ != nullptr) {
        const int device = virtual_->DeviceOfPath(interfacePath);
        return device < 0 ? KnownSwitches() : KnownSwitches(virtual_->ProgrammedSwitches(device));
    }
    if (programmed_.empty()) {
        return std::nullopt;  // nothing written from this window: nothing to compare with
    }
    std::vector<ProgrammedSwitch> known;
    for (const auto& [number, press] : programmed_) {
        known.push_back({number, press});
    }
    return known;
}

}  // namespace treadle
