// What the window program starts on: the virtual foot switch the command line asks for, or
// the system's HID layer.
#pragma once

#include "device/hid_platform.h"
#include "window/command_line.h"
#include "window/services.h"
#include "window/usb.h"

#include <memory>
#include <ostream>
#include <string>

namespace treadle {

// The exit status when the virtual foot switch cannot start: its state or capture file is
// bad, as with a bad command line.
constexpr int kBadStartStatus = 2;

// How long the window waits for a state file's lock that another program holds, on the
// window's own thread.
constexpr int kWindowLockWaitMs = 1000;

// The HID platform for the command line. When the virtual foot switch cannot start, says why
// on `err` and in a message box (the program may have been started without a terminal), and
// gives null.
std::unique_ptr<HidPlatform> StartPlatform(const CommandLine& options, Sleeper& sleeper, MessageBoxes& boxes,
                                           std::ostream& err, const std::string& program);

// The window's language and view from its command line and the value of TREADLE_LANG (null
// when unset): --lang wins; a bad TREADLE_LANG sets `warning` and leaves Chinese.
WindowOptions WindowOptionsFor(const ViewOptions& view, const char* environmentLanguage, std::string& warning);

}  // namespace treadle
