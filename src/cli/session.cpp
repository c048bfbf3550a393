#include "cli/session.h"

#include "cli/devices.h"
#include "device/protocol.h"
#include "settings/settings_input.h"
#include "text/shown_text.h"
#include "text/text_rules.h"

#include <ostream>

namespace treadle::cli {
namespace {

// A whole number in [low, high] written in decimal digits only.
bool ParseWhole(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

}  // namespace

std::int64_t WholeOption(const std::string& name, const std::string& text, std::int64_t low, std::int64_t high,
                         const std::string& unit) {
    std::int64_t value = 0;
    if (!ParseWhole(text, low, high, value)) {
        throw UsageError(name + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         unit + ", not " + Quoted(text));
    }
    return value;
}

std::uint16_t HexId(const std::string& name, const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
    }
    int value = 0;
    bool good = !digits.empty() && digits.size() <= 4;
    for (char c : digits) {
        const int d = HexDigitValue(c);
        good = good && d >= 0;
        value = value * 16 + (d < 0 ? 0 : d);
    }
    if (!good) {
        throw UsageError(name + " must be one to four hex digits, such as " + kFootSwitchVendorIdText + ", not " +
                         Quoted(text));
    }
    return static_cast<std::uint16_t>(value);
}

bool OnOff(const std::string& name, const std::string& text) {
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    throw UsageError(name + " must be on or off, not " + Quoted(text));
}

int SwitchNumber(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
        throw UsageError("switch must be 1 to 4, not " + Quoted(text));
    }
    return text[0] - '0';
}

std::string SettingsSummary(std::int64_t delayMs, bool longPress) {
    return "key delay " + std::to_string(delayMs) + " ms, long press " + (longPress ? "on" : "off");
}

std::string RunModeSummary(const RunMode& mode) {
    return std::string("power-on run ") + (mode.powerOnRun ? "on" : "off") + ", " +
           (mode.loopPlayback ? "loop" : "single") + " playback";
}

Session::~Session() {
    for (const Target& t : targets_) {
        hid_->Close(t.handle);
    }
}

int Session::Start() {
    if (o_.virtualDevice) {
        VirtualFootSwitch::Options vo;
        vo.devices = o_.virtualDevices.empty()
                         ? 0  // as many as the state file holds
                         : static_cast<int>(WholeOption("--virtual-devices", o_.virtualDevices, 1, kMaxVirtualDevices));
        vo.stateFile = o_.stateFile;
        vo.captureFile = o_.captureFile;
        vo.sleeper = &env_.sleeper;
        vo.lockWaitMs = env_.lockWaitMs;
        auto device = std::make_unique<VirtualFootSwitch>(vo);
        std::string error;
        if (!device->Start(error)) {
            return Fail("the virtual foot switch cannot start: " + error);
        }
        virtual_ = device.get();
        if (env_.virtualStarted) {
            env_.virtualStarted(*device);
        }
        hid_ = std::move(device);
    } else {
        hid_ = env_.systemPlatform ? env_.systemPlatform() : nullptr;
        if (!hid_) {
            return Fail("there is no HID layer on this system");
        }
    }
    link_ = std::make_unique<FootSwitchLink>(*hid_, env_.sleeper);
    return kExitOk;
}

int Session::OpenTargets(const char* notFound) {
    const std::string ids = IdText(o_.vendorId, o_.productId);
    if (!o_.device.empty()) {
        wantedTargets_ = 1;
        return Open(o_.device, true) ? kExitOk : kExitFailed;
    }
    std::vector<InterfaceInfo> candidates;
    std::vector<InterfaceInfo> broken;  // the foot switch's, but they failed to open
    SearchRequest request;
    request.ids = Ids();
    for (InterfaceInfo& info : Search(*hid_, request).interfaces) {
        if (IsFootSwitch(info, Ids())) {
            candidates.push_back(std::move(info));
        } else if (Matches(info, Ids()) && info.state == InterfaceState::Unusable) {
            info.why = UnusableReason(info);
            broken.push_back(std::move(info));
        }
    }
    if (candidates.empty() && !broken.empty()) {
        // The device is there: say what is wrong with it rather than that it is missing.
        for (const InterfaceInfo& b : broken) {
            DeviceFailure(b.path, "cannot open the device: " + b.why);
        }
        return kExitFailed;
    }
    if (candidates.empty()) {
        return Fail(std::string(notFound) + " (no foot switch " + ids + " found)" + VirtualHint());
    }
    if (o_.all) {
        // Every foot switch counts, the ones whose configuration interface cannot be used too.
        wantedTargets_ = static_cast<int>(candidates.size() + broken.size());
        for (const InterfaceInfo& c : candidates) {
            if (!Open(c.path, false)) {
                ++failedTargets_;
            }
        }
        for (const InterfaceInfo& b : broken) {
            DeviceFailure(b.path, "cannot open the device: " + b.why);
            ++failedTargets_;
        }
        return targets_.empty() ? kExitFailed : kExitOk;
    }
    wantedTargets_ = 1;
    if (o_.indexValue > 0) {
        if (o_.indexValue > static_cast<int>(candidates.size())) {
            return Fail(NoSuchIndex(candidates.size(), ids));
        }
        return Open(candidates[static_cast<size_t>(o_.indexValue - 1)].path, false) ? kExitOk : kExitFailed;
    }
    // As the window does: the first foot switch that opens.
    for (const InterfaceInfo& c : candidates) {
        if (c.state == InterfaceState::Usable) {
            return Open(c.path, false) ? kExitOk : kExitFailed;
        }
    }
    return Fail(std::string(kNoAccess) + " (" + candidates.front().path + ")");
}

std::string Session::VirtualHint() const {
    return o_.virtualDevice ? std::string()
                            : "; without one, --virtual=pedals.state tries it on a virtual foot switch that keeps "
                              "its slots in pedals.state";
}

std::string Session::NoSuchIndex(size_t found, const std::string& ids) const {
    // Nothing was written yet: the choice of device is what is wrong.
    return "there is no foot switch number " + std::to_string(o_.indexValue) + ": " + std::to_string(found) +
           " foot switch" + (found == 1 ? "" : "es") + " " + ids + " found (--index counts from 1 in 'list' order)";
}

int Session::Fail(const std::string& message) {
    env_.err << "treadlectl: " << ShownMessage(message) << "\n";
    return kExitFailed;
}

void Session::DeviceFailure(const std::string& path, const std::string& message) {
    env_.err << "treadlectl: " << ShownText(path, kShownPathBytes) << ": " << ShownMessage(message) << "\n";
}

bool Session::Open(const std::string& path, bool checkIds) {
    const OpenResult opened = OpenForWriting(*hid_, path);
    if (!opened.ok()) {
        switch (opened.failure) {
            case OpenFailure::AccessDenied:
                DeviceFailure(path, kNoAccess);
                break;
            case OpenFailure::Refused:
                DeviceFailure(path,
                              "a keyboard or mouse interface cannot be opened for writing (" + opened.error + ")");
                break;
            case OpenFailure::Gone:
                DeviceFailure(path, std::string(kNotConnected) + " (" + opened.error + ")");
                break;
            default:
                DeviceFailure(path, "cannot open the device: " + opened.error);
                break;
        }
        return false;
    }
    Target t{path, opened.handle, {}};
    HidAttributes ids;
    if (checkIds) {
        if (!hid_->GetAttributes(t.handle, ids)) {
            hid_->Close(t.handle);
            DeviceFailure(path, "cannot read the vendor and product ID");
            return false;
        }
        if (ids.vendorId != o_.vendorId || ids.productId != o_.productId) {
            hid_->Close(t.handle);
            DeviceFailure(path, "this is " + IdText(ids.vendorId, ids.productId) + ", not the foot switch " +
                                    IdText(o_.vendorId, o_.productId) + " (--vid and --pid name another)");
            return false;
        }
    }
    if (!hid_->GetCaps(t.handle, t.caps)) {
        hid_->Close(t.handle);
        DeviceFailure(path, "cannot read the report lengths");
        return false;
    }
    if (t.caps.outputReportLength < kMinOutputReportLength) {
        hid_->Close(t.handle);
        DeviceFailure(path, "its output report holds " + std::to_string(t.caps.outputReportLength) +
                                " bytes, too few for a frame (" + std::to_string(kMinOutputReportLength) +
                                " with the report ID)");
        return false;
    }
    targets_.push_back(t);
    return true;
}

std::string QuotedFrame(const JobStep& step) {
    return Quoted(step.typedText ? *step.typedText : FrameText(step.frame));
}

// Writes a job's frames to one device; the error names what failed, empty on success.
std::string Send(FootSwitchLink& link, const Target& t, const FrameJob& job) {
    const JobResult sent = link.Send(Connection{t.path, t.handle, t.caps.outputReportLength}, job);
    std::string firstError;
    std::string captureError;  // the device took the report, but its record was lost
    for (size_t i = 0; i < sent.steps.size(); ++i) {
        const StepResult& step = sent.steps[i];
        const WriteResult& w = step.write;
        if (!w.captureError.empty() && captureError.empty()) {
            captureError = "cannot write the capture file " + w.captureFile + ": " + w.captureError;
        }
        std::string error;
        switch (step.failure) {
            case StepFailure::None:
            case StepFailure::NotConnected:
                break;
            case StepFailure::BadFrame:
                error = "the frame " + QuotedFrame(job.steps[i]) + " cannot become a report: " + step.error;
                break;
            case StepFailure::FileFault:
                error = w.error;
                break;
            case StepFailure::Device:
                error = std::string(kWriteFailed) + " (report " + std::to_string(i + 1) + " of " +
                        std::to_string(job.steps.size()) + ": " + (w.error.empty() ? "short write" : w.error) + ")";
                break;
        }
        if (!error.empty() && firstError.empty()) {
            firstError = error;
        }
    }
    if (firstError.empty()) {
        return captureError;
    }
    return firstError + (captureError.empty() ? "" : "; " + captureError);
}

void PrintDryRun(std::ostream& out, const Job& job, int reportLength) {
    for (const JobStep& step : job.steps) {
        const ReportConversion report = StepReport(step, reportLength);
        if (!report.ok()) {
            throw UsageError("the frame " + QuotedFrame(step) + " cannot become a report: " + report.error);
        }
        out << ByteListText(report.report) << "\n";
    }
}

int VirtualDeviceOf(const VirtualFootSwitch& v, const std::string& path) {
    for (int d = 0; d < v.DeviceCount(); ++d) {
        if (VirtualFootSwitch::ConfigPath(d) == path) {
            return d;
        }
    }
    return -1;
}

}  // namespace treadle::cli
