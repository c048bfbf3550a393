// What a foot switch's keyboard or mouse interface holds, and one press of a pedal.
#pragma once

#include <cstdint>
#include <vector>

namespace treadle {

// What one interface holds after a report.
struct InputState {
    std::uint8_t modifiers = 0;      // the HID modifier byte: usages E0 to E7 as bits 0 to 7
    std::vector<std::uint8_t> keys;  // other keyboard usages held, in report order, no repeats
    std::uint32_t buttons = 0;       // mouse buttons held, button n as bit n - 1

    bool operator==(const InputState&) const = default;
};

// One press of a pedal as the host sees it: a key with the modifiers held with it, the
// modifiers alone, or a mouse button.
struct PedalPress {
    bool mouse = false;
    std::uint8_t modifiers = 0;
    int usage = 0;   // keyboard usage; 0 for modifiers alone
    int button = 0;  // the button's bit for a click

    bool operator==(const PedalPress&) const = default;
};

// What a switch was programmed with, as the press it makes.
struct ProgrammedSwitch {
    int number = 0;  // 1 to 4
    PedalPress press;

    bool operator==(const ProgrammedSwitch&) const = default;
};

}  // namespace treadle
