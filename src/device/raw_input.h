// What Windows' Raw Input tells of keyboards and mice, turned into the states and presses the
// other platforms read from HID reports. Raw Input gives each key as a scan code with its
// prefix flags, going down or up, and each mouse button as a down or up flag; the device
// sends HID usages, which Windows turned into those. Pure, so it is tested everywhere.
#pragma once

#include "device/hid_platform.h"
#include "device/input_report.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace treadle {

// The fields of RAWKEYBOARD and RAWMOUSE that matter here, with the system's values.
namespace raw_input {
constexpr std::uint16_t kKeyBreak = 0x01;  // RI_KEY_BREAK: the key went up
constexpr std::uint16_t kKeyE0 = 0x02;     // RI_KEY_E0
constexpr std::uint16_t kKeyE1 = 0x04;     // RI_KEY_E1
constexpr std::uint16_t kFakeKey = 0xFF;   // VKey of the keys the keyboard driver makes up (fake shifts)
}  // namespace raw_input

struct RawInputEvent {
    enum class Type { Keyboard, Mouse } type = Type::Keyboard;
    std::string device;  // the device's name (RIDI_DEVICENAME), as UTF-8
    std::uint16_t makeCode = 0;
    std::uint16_t keyFlags = 0;
    std::uint16_t virtualKey = 0;
    std::uint16_t buttonFlags = 0;  // RI_MOUSE_BUTTON_n_DOWN / _UP bits
};

// True when a device name carries the IDs ("\\?\HID#VID_2704&PID_2018&MI_00#..."), in any case.
bool DeviceNameHasIds(std::string_view name, std::uint16_t vendorId, std::uint16_t productId);

// The HID keyboard usage of a scan code (set 1, as Windows reports it) with or without its E0
// prefix; 0 for a code without one.
int UsageOfScanCode(std::uint16_t makeCode, bool e0);

// Follows each device of the foot switch through its events and says which presses they make.
// Events of any other device are dropped.
class RawInputDecoder {
  public:
    RawInputDecoder(std::uint16_t vendorId, std::uint16_t productId) : vendorId_(vendorId), productId_(productId) {}

    std::vector<WatchedPress> Feed(const RawInputEvent& event);

  private:
    struct Device {
        InputState state;
        PressDetector detector;
        bool pauseTail = false;  // Pause comes as E1 1D then 45: the 45 is not Num Lock
    };

    std::uint16_t vendorId_;
    std::uint16_t productId_;
    std::map<std::string, Device> devices_;
};

}  // namespace treadle
