// How every window program starts (the Qt window, the Win32 window and the web page): its
// command line read once into what it says and how the window shows, and the virtual foot
// switch the command line asks for, or the system's HID layer.
#pragma once

#include "device/hid_platform.h"
#include "window/command_line.h"
#include "window/services.h"
#include "window/usb.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace treadle {

// The exit status when the virtual foot switch cannot start: its state or capture file is
// bad, as with a bad command line.
constexpr int kBadStartStatus = 2;

// How long the window waits for a state file's lock that another program holds, on the
// window's own thread.
constexpr int kWindowLockWaitMs = 1000;

// What a window program does with its command line: stop at once with texts for its streams
// and an exit status (help, version, bad usage), or show the window with these options.
struct StartPlan {
    bool stop = false;
    int status = 0;
    std::string out;  // for the standard output: the help or the version
    std::string err;  // for the standard error: why the command line is bad, or a warning
    CommandLine options;
    WindowOptions window;
};

// Reads the arguments after the program name; `environmentLanguage` is the value of
// TREADLE_LANG (null when unset), `program` the name the texts give the program.
StartPlan PlanStart(const std::vector<std::string>& arguments, const char* environmentLanguage,
                    const std::string& program);

// The HID platform for the command line. When the virtual foot switch cannot start, says why
// on `err` and in a message box (the program may have been started without a terminal), and
// gives null.
std::unique_ptr<HidPlatform> StartPlatform(const CommandLine& options, Sleeper& sleeper, MessageBoxes& boxes,
                                           std::ostream& err, const std::string& program);

// The window's language and view from its command line and the value of TREADLE_LANG (null
// when unset): --lang wins; a bad TREADLE_LANG sets `warning` and leaves Chinese.
WindowOptions WindowOptionsFor(const ViewOptions& view, const char* environmentLanguage, std::string& warning);

}  // namespace treadle
