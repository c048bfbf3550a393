// How the command line shows the HID interfaces the link's search describes.
#pragma once

#include "device/foot_switch_link.h"

#include <cstdint>
#include <string>

namespace treadle::cli {

// One tab-separated line of `list`: path, vvvv:pppp, input, output and feature report
// lengths, state. Unknown IDs read ????:????, unknown lengths "-".
std::string ListLine(const InterfaceInfo& info);

// Why a foot switch's configuration interface cannot be used: the system's reason for not
// opening it, or what is wrong with its report descriptor.
std::string UnusableReason(const InterfaceInfo& info);

// "2704:2018".
std::string IdText(std::uint16_t vendorId, std::uint16_t productId);

}  // namespace treadle::cli
