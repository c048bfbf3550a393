// What a pedal press means, in one line: the combination in the syntax `treadlectl set`
// takes ("ctrl+f1", "rctrl+rwin+kp-enter", "0x68" where a usage has no name, "mouse-left"),
// followed, where it is known what was written to the device, by the switch it matches
// ("ctrl+f1 (switch 2)") or a warning that it matches none.
#pragma once

#include "device/input_report.h"
#include "device/pedal_press.h"
#include "device/protocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace treadle {

// What is known of a device's switches; no value where nothing is known (a real foot switch
// that this program has not written to).
using KnownSwitches = std::optional<std::vector<ProgrammedSwitch>>;

// "ctrl+f1", "ctrl" (modifiers alone), "mouse-left".
std::string PressText(const PedalPress& press);

// The numbers of the switches whose press is this one, in order.
std::vector<int> MatchingSwitches(const PedalPress& press, const std::vector<ProgrammedSwitch>& known);

// "switch 2", "switch 1 or 3", "warning: matches no programmed switch"; empty when nothing
// is known.
std::string MatchDescription(const PedalPress& press, const KnownSwitches& known);

// The description in brackets after a blank (" (switch 2)"); empty when nothing is known.
std::string MatchText(const PedalPress& press, const KnownSwitches& known);

// PressText and MatchText together: the line `treadlectl watch` prints.
std::string PressLine(const PedalPress& press, const KnownSwitches& known);

}  // namespace treadle
