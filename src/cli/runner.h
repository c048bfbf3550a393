// treadlectl: the foot switch from a shell. The whole program but for main(): the command
// line is parsed, checked and run against the HID platform the options choose, writing to
// the given streams, so tests run it with fakes and without a terminal.
//
// Exit status: 0 success; 1 the device is missing, cannot be opened, or a write or read
// failed, or a file (profile, state or capture file) cannot be read or written; 2 bad usage
// or bad input (the message names the bad part).
#pragma once

#include "device/hid_platform.h"
#include "device/virtual_foot_switch.h"
#include "device/clock.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace treadle::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// How long `read` waits for an input report unless told otherwise, as the window does.
constexpr int kDefaultReadTimeoutMs = 100;

class Terminal {
  public:
    virtual ~Terminal() = default;
    // True when standard input is a terminal, so a question can be asked.
    virtual bool InputIsTerminal() = 0;
    // Asks a question on the terminal; true only when the answer is yes.
    virtual bool Confirm(const std::string& question) = 0;
};

struct CliEnvironment {
    std::ostream& out;
    std::ostream& err;
    Sleeper& sleeper;
    Terminal& terminal;
    // The system's HID layer, made only when no --virtual or --dry-run is given.
    std::function<std::unique_ptr<HidPlatform>()> systemPlatform;
    // Called once a virtual foot switch has started, before any command uses it.
    std::function<void(VirtualFootSwitch&)> virtualStarted;
    // How long a state file's lock held by another program is waited for.
    int lockWaitMs = kDefaultLockWaitMs;
    // The time of day for lines that say when something happened ("14:03:22"); null: none.
    std::function<std::string()> timeOfDay = nullptr;
    // Makes Ctrl-C a request to finish rather than the end of the program (for a command
    // that runs until stopped), and tells whether one came; null: neither.
    std::function<void()> catchInterrupts = nullptr;
    std::function<bool()> interrupted = nullptr;
};

// Runs one command line (the arguments after the program name); returns the exit status.
int RunTreadlectl(const std::vector<std::string>& arguments, CliEnvironment& env);

}  // namespace treadle::cli
