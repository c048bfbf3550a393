#include "device/foot_switch_link.h"

#include "device/hid_usages.h"

namespace treadle {
namespace {

bool SameIds(const HidAttributes& a, const DeviceIds& ids) {
    return a.vendorId == ids.vendorId && a.productId == ids.productId;
}

// What the top-level collection says the interface is, when it is a keyboard or a mouse.
bool KindFromUsage(const InterfaceInfo& info, InterfaceState& state) {
    if (!info.capsKnown) {
        return false;
    }
    switch (hid::KindOfCollection(info.caps.usagePage, info.caps.usage)) {
        case hid::CollectionKind::Keyboard:
            state = InterfaceState::Keyboard;
            return true;
        case hid::CollectionKind::Mouse:
            state = InterfaceState::Mouse;
            return true;
        case hid::CollectionKind::Other:
            break;
    }
    return false;
}

OpenResult KeyboardOrMouseRefused(const std::string& path, const HidCaps& caps) {
    const bool keyboard = hid::KindOfCollection(caps.usagePage, caps.usage) == hid::CollectionKind::Keyboard;
    return {0, OpenFailure::Refused,
            path + " is a " + (keyboard ? "keyboard" : "mouse") +
                ": keyboard and mouse collections are not opened for reading and writing"};
}

// An interface that opened: its IDs, and its report lengths where they matter (every
// interface is described, or it has the IDs).
void DescribeOpened(HidPlatform& hid, HidHandle handle, const SearchRequest& request, InterfaceInfo& info) {
    info.opened = true;
    info.idsKnown = hid.GetAttributes(handle, info.ids);
    const bool match = request.idsValid && info.idsKnown && SameIds(info.ids, request.ids);
    if (request.everyInterface || match) {
        info.capsKnown = hid.GetCaps(handle, info.caps);
    }
    info.state = info.idsKnown && info.capsKnown && info.caps.outputReportLength >= kMinOutputReportLength
                     ? InterfaceState::Usable
                     : InterfaceState::Unusable;
}

// An interface that would not open: what the system tells of it without opening it.
void DescribeUnopened(HidPlatform& hid, const OpenResult& opened, InterfaceInfo& info) {
    info.capsKnown = hid.PeekCaps(info.path, info.caps);
    info.why = opened.error;
    InterfaceState kind = InterfaceState::Unusable;
    if (KindFromUsage(info, kind)) {
        info.state = kind;
    } else if (opened.failure == OpenFailure::AccessDenied) {
        info.state = InterfaceState::NoAccess;
    } else {
        info.state = InterfaceState::Unusable;
    }
}

}  // namespace

const char* StateName(InterfaceState state) {
    switch (state) {
        case InterfaceState::Usable:
            return "usable";
        case InterfaceState::Keyboard:
            return "keyboard";
        case InterfaceState::Mouse:
            return "mouse";
        case InterfaceState::NoAccess:
            return "no-access";
        case InterfaceState::Unusable:
            break;
    }
    return "unusable";
}

bool Matches(const InterfaceInfo& info, const DeviceIds& ids) { return info.idsKnown && SameIds(info.ids, ids); }

bool IsFootSwitch(const InterfaceInfo& info, const DeviceIds& ids) {
    return Matches(info, ids) && (info.state == InterfaceState::Usable || info.state == InterfaceState::NoAccess);
}

OpenResult OpenForWriting(HidPlatform& hid, const std::string& path) {
    HidCaps caps;
    if (hid.PeekCaps(path, caps) && hid::IsKeyboardOrMouse(caps.usagePage, caps.usage)) {
        return KeyboardOrMouseRefused(path, caps);
    }
    OpenResult opened = hid.OpenReadWrite(path);
    // Where the system could not tell unopened, the open interface tells.
    if (opened.ok() && hid.GetCaps(opened.handle, caps) && hid::IsKeyboardOrMouse(caps.usagePage, caps.usage)) {
        hid.Close(opened.handle);
        return KeyboardOrMouseRefused(path, caps);
    }
    return opened;
}

SearchResult Search(HidPlatform& hid, const SearchRequest& request) {
    SearchResult result;
    const std::vector<std::string> paths = hid.EnumerateInterfaces();
    for (const std::string& path : paths) {
        InterfaceInfo info;
        info.path = path;
        info.idsKnown = hid.PeekAttributes(path, info.ids);
        const bool toldMatch = request.idsValid && info.idsKnown && SameIds(info.ids, request.ids);
        if (!request.everyInterface && info.idsKnown && !toldMatch) {
            continue;  // told without opening that it is another device
        }
        const OpenResult opened = OpenForWriting(hid, path);
        if (!opened.ok()) {
            result.deniedMatch = result.deniedMatch || (opened.failure == OpenFailure::AccessDenied && toldMatch);
            DescribeUnopened(hid, opened, info);
            result.interfaces.push_back(std::move(info));
            continue;
        }
        DescribeOpened(hid, opened.handle, request, info);
        const bool match = request.idsValid && Matches(info, request.ids);
        result.interfaces.push_back(std::move(info));
        if (request.connectFirst && match) {
            result.connected = opened.handle;
            result.lastPath = result.interfaces.back().path;
            return result;
        }
        hid.Close(opened.handle);
    }
    if (!paths.empty()) {
        result.lastPath = paths.back();
    }
    return result;
}

void AddKeySettings(FrameJob& job, std::int64_t delayMs, int longPressState) {
    job.steps.push_back({DelayFrame(delayMs), {}, kPauseMs});
    job.steps.push_back({LongPressFrame(longPressState), {}, 0});
}

FrameJob KeyAssignmentJob(const Frame& key, std::int64_t delayMs, int longPressState) {
    FrameJob job;
    job.steps.push_back({key, {}, kPauseMs});
    AddKeySettings(job, delayMs, longPressState);
    return job;
}

ReportConversion StepReport(const JobStep& step, int outputReportLength) {
    return step.typedText ? FrameTextToReport(*step.typedText, outputReportLength)
                          : FrameToReport(step.frame, outputReportLength);
}

SendOutcome StepResult::Outcome() const {
    switch (failure) {
        case StepFailure::None:
            return SendOutcome::Written;
        case StepFailure::NotConnected:
            return SendOutcome::NotConnected;
        default:
            return SendOutcome::Failed;
    }
}

SendOutcomes JobResult::Outcomes() const {
    SendOutcomes outcomes;
    for (const StepResult& step : steps) {
        outcomes.Add(step.Outcome());
    }
    return outcomes;
}

JobResult FootSwitchLink::Send(const FrameJob& job, const Reach& reach, const StepDone& done) {
    JobResult result;
    result.steps.reserve(job.steps.size());
    for (size_t i = 0; i < job.steps.size(); ++i) {
        const JobStep& step = job.steps[i];
        StepResult& sent = result.steps.emplace_back();
        if (const Connection* connection = reach(i); connection == nullptr) {
            sent.failure = StepFailure::NotConnected;
        } else if (const ReportConversion report = StepReport(step, connection->outputReportLength); !report.ok()) {
            sent.failure = StepFailure::BadFrame;
            sent.error = report.error;
        } else {
            sent.write = hid_.Write(connection->handle, report.report);
            if (sent.write.fileFault) {
                sent.failure = StepFailure::FileFault;
            } else if (sent.write.written != static_cast<int>(report.report.size())) {
                sent.failure = StepFailure::Device;
            }
        }
        if (done) {
            done(i, sent);
        }
        if (sent.failure != StepFailure::None && !job.keepGoing) {
            break;
        }
        if (step.pauseAfterMs > 0 && i + 1 < job.steps.size()) {
            sleeper_.Sleep(step.pauseAfterMs);
        }
    }
    return result;
}

JobResult FootSwitchLink::Send(const Connection& connection, const FrameJob& job) {
    return Send(job, [&connection](size_t) { return &connection; });
}

}  // namespace treadle
