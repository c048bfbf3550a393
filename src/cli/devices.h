// What the command line sees of the HID interfaces present: each one's IDs, report lengths
// and whether it can take the foot switch's frames.
#pragma once

#include "device/hid_platform.h"

#include <string>
#include <vector>

namespace treadle::cli {

// An output report must hold the report-ID byte and a whole seven-byte frame.
constexpr int kMinOutputReportLength = 8;

enum class InterfaceState { Usable, Keyboard, Mouse, NoAccess, Unusable };

// "usable", "keyboard", "mouse", "no-access", "unusable".
const char* StateName(InterfaceState state);

struct InterfaceInfo {
    std::string path;
    bool idsKnown = false;
    HidAttributes ids;
    bool capsKnown = false;
    HidCaps caps;
    InterfaceState state = InterfaceState::Unusable;
    std::string why;  // the system's reason when it could not be opened
};

// Every HID interface present, in the platform's order. Each is opened only to read its
// IDs and lengths, and closed again.
std::vector<InterfaceInfo> SurveyInterfaces(HidPlatform& hid);

bool Matches(const InterfaceInfo& info, std::uint16_t vendorId, std::uint16_t productId);

// A foot switch's configuration interface, usable or not for want of permission: what
// --index counts and --all takes. Keyboard and mouse interfaces of the same device are not.
bool IsFootSwitch(const InterfaceInfo& info, std::uint16_t vendorId, std::uint16_t productId);

// One tab-separated line of `list`: path, vvvv:pppp, input, output and feature report
// lengths, state. Unknown IDs read ????:????, unknown lengths "-".
std::string ListLine(const InterfaceInfo& info);

// "2704:2018".
std::string IdText(std::uint16_t vendorId, std::uint16_t productId);

}  // namespace treadle::cli
