// The link to the foot switch: finding it among the HID interfaces, and sending it jobs of
// frames with the pauses between them. The window and treadlectl both go through it, so
// they search by the same rules and send in the same sequence.
#pragma once

#include "device/clock.h"
#include "device/hid_platform.h"
#include "device/protocol.h"
#include "device/send_outcome.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace treadle {

struct DeviceIds {
    std::uint16_t vendorId = kFootSwitchVendorId;
    std::uint16_t productId = kFootSwitchProductId;
};

// What an interface is to the link: the foot switch's configuration interface that can take
// frames (usable), a keyboard or mouse collection, one the user may not open, or one that
// cannot take a frame (it could not be read, or its output report is too short).
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
    bool opened = false;  // it opened for reading and writing
    std::string why;      // the system's reason when it could not be opened
};

bool Matches(const InterfaceInfo& info, const DeviceIds& ids);

// A foot switch's configuration interface, usable or not for want of permission. Keyboard
// and mouse interfaces of the same device are not.
bool IsFootSwitch(const InterfaceInfo& info, const DeviceIds& ids);

struct SearchRequest {
    DeviceIds ids;
    bool idsValid = true;         // false: the IDs are unusable and no interface matches
    bool everyInterface = false;  // describe every interface, not only those with the IDs
    // Stop at the first interface with the IDs that opens, and keep it open for the caller.
    bool connectFirst = false;
};

struct SearchResult {
    // The interfaces looked at, in the platform's order: with everyInterface all of them,
    // otherwise those that have the IDs or whose IDs could not be told without opening.
    std::vector<InterfaceInfo> interfaces;
    // With connectFirst: the open handle of the interface found (interfaces.back()), else 0.
    HidHandle connected = 0;
    // An interface with the IDs was there, but the user may not open it.
    bool deniedMatch = false;
    // The last interface path the search came to; empty when there was none.
    std::string lastPath;
};

// Opens an interface for reading and writing frames, unless its top-level collection is a
// keyboard or a mouse: the system types and clicks with those, and the foot switch's own
// keyboard and mouse carry its IDs too, so they are never opened (Refused). The platforms
// only report what they find; every opening for writing, on every platform, comes here.
[[nodiscard]] OpenResult OpenForWriting(HidPlatform& hid, const std::string& path);

// The one search for the foot switch. Where the system tells an interface's IDs without
// opening it, one with other IDs is passed over unopened (unless every interface is to be
// described), so that a search costs little more than listing; every other interface is
// opened to read its IDs and report lengths and closed again, but for the one kept with
// connectFirst.
SearchResult Search(HidPlatform& hid, const SearchRequest& request);

// An open foot switch: where it is, its handle and its report lengths.
struct Connection {
    std::string path;
    HidHandle handle = 0;
    int outputReportLength = 0;
};

// One frame of a job and the pause that follows it when another frame comes after. A frame
// the user typed travels as its text, which becomes the report by the typing rules.
struct JobStep {
    Frame frame;
    std::optional<std::string> typedText;  // sent in place of `frame` when there is one
    int pauseAfterMs = 0;
};

// The frames one action writes to one device, in order.
struct FrameJob {
    std::vector<JobStep> steps;
    bool keepGoing = false;  // write every frame even after one failed
};

// The key delay and the long-press setting, 50 ms apart: what follows every key assignment.
void AddKeySettings(FrameJob& job, std::int64_t delayMs, int longPressState);

// A key assignment: the key frame, then the key delay and the long-press setting, each
// 50 ms after the one before.
FrameJob KeyAssignmentJob(const Frame& key, std::int64_t delayMs, int longPressState);

// The report a step carries on an output report of this length.
ReportConversion StepReport(const JobStep& step, int outputReportLength);

enum class StepFailure {
    None,
    NotConnected,  // no device could be reached: nothing was written
    BadFrame,      // the frame could not become a report (`error` says why)
    FileFault,     // a file the platform keeps could not be written (the virtual state file)
    Device,        // the device did not take the whole report
};

struct StepResult {
    StepFailure failure = StepFailure::None;
    WriteResult write;
    std::string error;  // why the frame could not become a report

    SendOutcome Outcome() const;
};

struct JobResult {
    std::vector<StepResult> steps;  // one for each step sent; fewer when a failure stopped it

    SendOutcomes Outcomes() const;
};

class FootSwitchLink {
  public:
    // The connection a step is to be written to, or null when no device can be reached. The
    // window looks for its device again here; the command line gives its one device.
    using Reach = std::function<const Connection*(size_t step)>;
    using StepDone = std::function<void(size_t step, const StepResult&)>;

    FootSwitchLink(HidPlatform& hid, Sleeper& sleeper) : hid_(hid), sleeper_(sleeper) {}

    HidPlatform& Hid() { return hid_; }
    SearchResult Search(const SearchRequest& request) { return treadle::Search(hid_, request); }

    // Writes the job's reports in order, with the steps' pauses between them; `done` hears
    // of each step as it is written.
    JobResult Send(const FrameJob& job, const Reach& reach, const StepDone& done = {});
    JobResult Send(const Connection& connection, const FrameJob& job);

    // Reads one input report into the buffer, waiting at most timeoutMs (see HidPlatform).
    ReadResult Read(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) {
        return hid_.ReadTimed(handle, buffer, timeoutMs);
    }

    // Follows the keyboard and mouse interfaces of the foot switches with these IDs.
    WatchStart Watch(const DeviceIds& ids) { return hid_.WatchInput(ids.vendorId, ids.productId); }

  private:
    HidPlatform& hid_;
    Sleeper& sleeper_;
};

}  // namespace treadle
