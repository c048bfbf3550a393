// The pedal test of the advanced view: listens to the foot switch's keyboard and mouse
// interfaces and keeps the last presses, each with its time, the combination it sent and the
// switch it matches; on the virtual foot switch it also presses the pedals. The window's
// timer calls Poll, which never waits; a front end only shows Presses() and Status() and
// forwards the four pedal buttons.
#pragma once

#include "assignment/press_line.h"
#include "device/hid_platform.h"
#include "device/virtual_foot_switch.h"
#include "text/catalogue.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace treadle {

class Clock;

class PedalTest {
  public:
    // How many presses the list keeps; older ones fall off.
    static constexpr size_t kKeptPresses = 50;

    struct Entry {
        std::string time;         // as the activity log writes it: "2026/12/6 8:40:48"
        std::string combination;  // "ctrl+f1", "mouse-left"
        std::string match;        // "switch 2", "warning: matches no programmed switch", or empty
        // The numbers of the matching switches, none when it matches none; no value when
        // nothing is known of what the device holds.
        std::optional<std::vector<int>> switches;
    };

    // The platform and the clock must outlive the model.
    PedalTest(HidPlatform& hid, Clock& clock, std::uint16_t vendorId = kFootSwitchVendorId,
              std::uint16_t productId = kFootSwitchProductId);
    ~PedalTest();
    PedalTest(const PedalTest&) = delete;
    PedalTest& operator=(const PedalTest&) = delete;

    // Takes the presses that came since the last call, without waiting; starts listening when
    // it does not yet (the device may have been plugged in since). True when the list or the
    // status changed.
    bool Poll();

    // Newest first.
    const std::deque<Entry>& Presses() const { return presses_; }
    void ClearPresses() { presses_.clear(); }

    // Empty while the device is listened to; otherwise why it is not (in English).
    const std::string& Status() const { return status_; }

    // What the window wrote to a switch of a real foot switch, so that presses are matched
    // against it; nothing forgets the switch. The virtual foot switch tells its own slots.
    void SetProgrammed(int switchNumber, std::optional<PedalPress> press);

    // True on the virtual foot switch, whose pedals the panel's buttons press.
    bool CanPressPedals() const { return virtual_ != nullptr; }

    // Presses pedal 1 to 4 of the virtual foot switch (the first device) and takes its press
    // into the list at once. False with a reason when it holds nothing or there is no virtual
    // foot switch.
    // The reason is in `language`, but for what the system says of the state file.
    [[nodiscard]] bool PressPedal(int pedal, std::string& error, Language language = Language::English);

  private:
    KnownSwitches Known(const std::string& interfacePath) const;

    HidPlatform& hid_;
    Clock& clock_;
    VirtualFootSwitch* virtual_;
    std::uint16_t vendorId_;
    std::uint16_t productId_;
    std::unique_ptr<InputWatch> watch_;
    std::deque<Entry> presses_;
    std::string status_;
    std::map<int, PedalPress> programmed_;
};

}  // namespace treadle
