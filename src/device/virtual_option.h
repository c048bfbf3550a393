// The command-line rules of the virtual foot switch, which the window and treadlectl share:
// `--virtual` or `--virtual=STATE_FILE` once, and `--capture FILE` only with `--virtual`.
#pragma once

#include <string>

namespace treadle {

// True when `arg` is `--virtual` or `--virtual=...`.
bool IsVirtualArgument(const std::string& arg);

// Takes `--virtual` or `--virtual=STATE_FILE` into the two options; the reason when the
// argument is bad (given twice, or '=' without a file name), empty when it was taken.
std::string TakeVirtualArgument(const std::string& arg, bool& virtualDevice, std::string& stateFile);

// The reason a capture file cannot be given, empty when it can: it records what the virtual
// foot switch receives.
std::string CaptureRuleError(bool captureGiven, bool virtualDevice);

}  // namespace treadle
