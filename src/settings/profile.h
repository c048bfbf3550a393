// Profiles: a TOML file that says what each switch does and how the settings slots are set.
//
//   [switches]
//   1 = "ctrl+shift+f1"
//   2 = "mouse-left"
//
//   [settings]
//   delay_ms = 0
//   long_press = false
//   power_on_run = true     # optional, together with playback
//   playback = "loop"       # "loop" or "single"
#pragma once

#include "assignment/key_names.h"
#include "device/foot_switch_link.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace treadle {

struct RunMode {
    bool powerOnRun = false;
    bool loopPlayback = true;

    bool operator==(const RunMode&) const = default;
};

struct Profile {
    std::map<int, KeyChoice> switches;  // switch number 1 to 4
    std::int64_t delayMs = 0;
    bool longPress = false;
    std::optional<RunMode> runMode;

    bool operator==(const Profile&) const = default;
};

// The run mode that the key-delay frame writes into the shared settings slot (79 01).
inline constexpr RunMode kRunModeOfDelayFrame{true, true};

// True when the run-mode frame adds nothing the delay frame has not set already: a non-zero
// delay with power-on run and loop playback. Writing the run-mode frame then would only
// set the delay back to 0.
bool RunModeFrameRedundant(const Profile& profile);

struct ProfileRead {
    Profile profile;
    std::string error;        // "FILE:LINE: KEY: why"; empty when the profile was good
    bool unreadable = false;  // the file itself could not be read (rather than being wrong)

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads a profile's text; `fileName` is what error messages call it.
ProfileRead ParseProfile(std::string_view text, const std::string& fileName);

// Reads a profile file.
ProfileRead ReadProfile(const std::string& path);

// The profile as TOML that ParseProfile reads back to the same profile. `notes` become
// comment lines at the top.
std::string ProfileText(const Profile& profile, const std::string& notes = {});

// The frames that write a profile, in the order and with the pauses apply uses: each switch
// in number order (a key frame, 50 ms; a mouse frame), the key delay and long-press frames,
// then the run-mode frame unless the delay frame has set that run mode already.
FrameJob ProfileFrameJob(const Profile& profile);

}  // namespace treadle
