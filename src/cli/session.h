// What every treadlectl command shares: the global options, the errors of bad usage, the
// checks of numbers and names on the command line, and the session that makes the HID
// platform and opens the devices the options choose.
#pragma once

#include "cli/runner.h"
#include "device/foot_switch_link.h"
#include "device/hid_platform.h"
#include "device/virtual_foot_switch.h"
#include "settings/profile.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace treadle::cli {

// The window's failure lines, in English.
inline constexpr const char* kNotConnected = "write failed, please connect first";
inline constexpr const char* kWriteFailed = "write failed, please check the device connection";
inline constexpr const char* kReadNotConnected = "read failed, connect first";
inline constexpr const char* kNoAccess =
    "cannot open the device: no access permission. Install the udev rule 70-treadle.rules (see the user guide), "
    "then plug the device in again";
inline constexpr const char* kCannotReport =
    "the foot switch cannot report what it stores: no command reads its slots back. show and export work only "
    "on the virtual foot switch (--virtual)";

inline constexpr int kMaxReportLength = 1024;
inline constexpr int kMaxVirtualDevices = 16;
inline constexpr int kMaxTimeoutMs = 600000;

// Bad usage or bad input: exit status 2 with the message.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    bool virtualDevice = false;
    std::string stateFile;
    std::string virtualDevices;
    std::string captureFile;
    bool dryRun = false;
    std::string reportLength;
    std::string vid = kFootSwitchVendorIdText;
    std::string pid = kFootSwitchProductIdText;
    std::string device;
    std::string index;
    bool all = false;
    bool quiet = false;
    bool version = false;

    int reportLengthValue = VirtualFootSwitch::kReportLength;
    std::uint16_t vendorId = kFootSwitchVendorId;
    std::uint16_t productId = kFootSwitchProductId;
    int indexValue = 0;
};

// A whole number in [low, high] written in decimal digits only; a UsageError naming the
// option otherwise.
std::int64_t WholeOption(const std::string& name, const std::string& text, std::int64_t low, std::int64_t high,
                         const std::string& unit = {});
// One to four hex digits, with or without 0x.
std::uint16_t HexId(const std::string& name, const std::string& text);
bool OnOff(const std::string& name, const std::string& text);
int SwitchNumber(const std::string& text);

// What a writing command does to each device: its frames (clear-all keeps going after a
// failed one) and the line that says so.
struct Job : FrameJob {
    std::string summary;
    bool confirm = false;
    bool rawFrame = false;  // one frame as the user typed it: say what the report carried
};

std::string SettingsSummary(std::int64_t delayMs, bool longPress);
std::string RunModeSummary(const RunMode& mode);

struct Target {
    std::string path;
    HidHandle handle = 0;
    HidCaps caps;
};

class Session {
  public:
    Session(CliEnvironment& env, const Options& o) : env_(env), o_(o) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Makes the platform the options ask for; exit status 1 when the virtual one cannot start.
    int Start();

    HidPlatform& Hid() { return *hid_; }
    FootSwitchLink& Link() { return *link_; }
    DeviceIds Ids() const { return {o_.vendorId, o_.productId}; }
    VirtualFootSwitch* Virtual() { return virtual_; }
    std::vector<Target>& Targets() { return targets_; }
    int FailedTargets() const { return failedTargets_; }
    int WantedTargets() const { return wantedTargets_; }

    // Opens the devices the options choose. With --all a device that cannot be opened is
    // reported and skipped; otherwise it ends the command. `notFound` is the window's line.
    int OpenTargets(const char* notFound);

    // Says what failed; returns exit status 1.
    int Fail(const std::string& message);
    void DeviceFailure(const std::string& path, const std::string& message);

  private:
    bool Open(const std::string& path, bool checkIds);
    // What to add when no foot switch is found: that the virtual one needs none.
    std::string VirtualHint() const;
    // Said when --index names a foot switch beyond those found.
    std::string NoSuchIndex(size_t found, const std::string& ids) const;

    CliEnvironment& env_;
    const Options& o_;
    std::unique_ptr<HidPlatform> hid_;
    std::unique_ptr<FootSwitchLink> link_;
    VirtualFootSwitch* virtual_ = nullptr;
    std::vector<Target> targets_;
    int failedTargets_ = 0;
    int wantedTargets_ = 0;
};

// Writes a job's frames to one device; the error names what failed, empty on success.
std::string Send(FootSwitchLink& link, const Target& t, const FrameJob& job);

// The frame of a step as the user sees it, in quotes.
std::string QuotedFrame(const JobStep& step);

// Prints the reports a job would write, one line each.
void PrintDryRun(std::ostream& out, const Job& job, int reportLength);

// The virtual device whose configuration interface `path` is; -1 when none.
int VirtualDeviceOf(const VirtualFootSwitch& v, const std::string& path);

}  // namespace treadle::cli
