// What a keyboard or mouse input report says is held, and the pedal presses that a run of
// such reports makes. Pure: the platforms feed reports (or, on Windows, key and button
// events turned into the same states) and take presses out.
#pragma once

#include "device/hid_descriptor.h"
#include "device/pedal_press.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace treadle {

struct DecodedReport {
    bool known = false;  // the report's ID has keyboard or button fields
    InputState state;
};

// Reads a whole input report, report-ID byte first (0 when the interface numbers none), by
// the fields of its descriptor. A report cut short yields only the fields it holds; the
// keyboard's "error roll-over" (usages 1 to 3) yields no keys.
[[nodiscard]] DecodedReport DecodeInputReport(const ReportDescriptorInfo& info, std::span<const std::uint8_t> report);

// Follows the states of one interface and says which presses each new state makes: every key
// or button that was not held before is one press; modifiers pressed and let go without a key
// are one press when they are let go.
class PressDetector {
  public:
    std::vector<PedalPress> Next(const InputState& state);

  private:
    InputState last_;
    std::uint8_t lonelyModifiers_ = 0;  // modifiers held since the last key, none of them with a key
};

}  // namespace treadle
