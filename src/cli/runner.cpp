#include "cli/runner.h"

#include "assignment/frames.h"
#include "cli/devices.h"
#include "cli/key_names.h"
#include "cli/profile.h"
#include "cli/slots.h"
#include "device/frame_text.h"
#include "settings/settings_frames.h"
#include "text/text_rules.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <fstream>
#include <optional>
#include <ostream>
#include <stdexcept>

namespace treadle::cli {
namespace {

// The window's failure lines, in English.
constexpr const char* kNotConnected = "write failed, please connect first";
constexpr const char* kWriteFailed = "write failed, please check the device connection";
constexpr const char* kReadNotConnected = "read failed, connect first";
constexpr const char* kNoAccess =
    "cannot open the device: no access permission. Install the udev rule 70-treadle.rules (see the user guide), "
    "then plug the device in again";
constexpr const char* kCannotReport =
    "the foot switch cannot report what it stores: no command reads its slots back. show and export work only "
    "on the virtual foot switch (--virtual)";

constexpr int kMaxReportLength = 1024;
constexpr int kMaxVirtualDevices = 16;
constexpr int kMaxTimeoutMs = 600000;

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
    std::string vid = "2704";
    std::string pid = "2018";
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

struct Arguments {
    std::string switchText;
    std::string key;
    std::string delay = "0";
    std::string longPress = "off";
    std::string delayMs;
    std::string powerOn;
    std::string playback;
    std::vector<std::string> raw;
    std::string timeout;
    std::string profile;
    bool yes = false;
    bool allInterfaces = false;
};

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

std::int64_t WholeOption(const std::string& name, const std::string& text, std::int64_t low, std::int64_t high,
                         const std::string& unit = {}) {
    std::int64_t value = 0;
    if (!ParseWhole(text, low, high, value)) {
        throw UsageError(name + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                         unit + ", not \"" + text + "\"");
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
        throw UsageError(name + " must be one to four hex digits, such as 2704, not \"" + text + "\"");
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
    throw UsageError(name + " must be on or off, not \"" + text + "\"");
}

int SwitchNumber(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
        throw UsageError("switch must be 1 to 4, not \"" + text + "\"");
    }
    return text[0] - '0';
}

// One frame to write and the pause that follows it when another frame comes after.
struct Step {
    std::string frameText;
    int pauseAfterMs = 0;
};

// What a writing command does to each device: its frames and the line that says so.
struct Job {
    std::vector<Step> steps;
    std::string summary;
    bool keepGoing = false;  // write every frame even after one failed (clear-all does)
    bool confirm = false;
};

void AddKeySettings(Job& job, std::int64_t delayMs, bool longPress) {
    job.steps.push_back({DelayFrameText(delayMs), kPauseMs});
    job.steps.push_back({LongPressFrameText(longPress ? 1 : 0), 0});
}

std::string SettingsSummary(std::int64_t delayMs, bool longPress) {
    return "key delay " + std::to_string(delayMs) + " ms, long press " + (longPress ? "on" : "off");
}

std::string RunModeSummary(const RunMode& mode) {
    return std::string("power-on run ") + (mode.powerOnRun ? "on" : "off") + ", " +
           (mode.loopPlayback ? "loop" : "single") + " playback";
}

Job SetJob(const Arguments& a, bool delayGiven, bool longPressGiven) {
    const int number = SwitchNumber(a.switchText);
    const KeyParse key = ParseKey(a.key);
    if (!key.ok()) {
        throw UsageError(key.error);
    }
    Job job;
    if (key.choice.mouse) {
        if (delayGiven || longPressGiven) {
            throw UsageError("--delay and --long-press go with keys: a mouse click writes only the mouse report");
        }
        job.steps.push_back({MouseFrameText(number, key.choice.usage), 0});
        job.summary = "switch " + std::to_string(number) + " = " + KeyCombinationText(key.choice);
        return job;
    }
    const std::int64_t delay = WholeOption("--delay", a.delay, 0, kMaxDelay, " ms");
    const bool longPress = OnOff("--long-press", a.longPress);
    job.steps.push_back({KeyFrameText(number, key.choice.modifiers, key.choice.usage), kPauseMs});
    AddKeySettings(job, delay, longPress);
    job.summary = "switch " + std::to_string(number) + " = " + KeyCombinationText(key.choice) + " (" +
                  SettingsSummary(delay, longPress) + ")";
    return job;
}

Job ApplyJob(const Profile& p, const std::string& file) {
    Job job;
    std::string switches;
    for (const auto& [number, choice] : p.switches) {
        if (choice.mouse) {
            job.steps.push_back({MouseFrameText(number, choice.usage), 0});
        } else {
            job.steps.push_back({KeyFrameText(number, choice.modifiers, choice.usage), kPauseMs});
        }
        switches += (switches.empty() ? "" : ", ") + std::to_string(number) + " = " + KeyCombinationText(choice);
    }
    AddKeySettings(job, p.delayMs, p.longPress);
    job.summary = "applied " + file + ": " + (switches.empty() ? "" : "switch " + switches + "; ") +
                  SettingsSummary(p.delayMs, p.longPress);
    if (p.runMode) {
        if (!RunModeFrameRedundant(p)) {
            job.steps.push_back({RunModeFrameText(p.runMode->powerOnRun, p.runMode->loopPlayback), 0});
        }
        job.summary += "; " + RunModeSummary(*p.runMode);
    }
    return job;
}

Job RawJob(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : " ") + part;
    }
    if (TrimBlanks(text).empty()) {
        throw UsageError("raw needs the frame as hex text, such as \"aa 01 00 00 3C 00 00\"");
    }
    const std::string bad = FirstInadmissibleCharacter(text);
    if (!bad.empty()) {
        throw UsageError("raw: \"" + bad + "\" is not a hex digit or a blank");
    }
    Job job;
    job.steps.push_back({text, 0});
    job.summary = "wrote " + text;
    return job;
}

struct Target {
    std::string path;
    HidHandle handle = 0;
    HidCaps caps;
};

class Session {
  public:
    Session(CliEnvironment& env, const Options& o) : env_(env), o_(o) {}
    ~Session() {
        for (const Target& t : targets_) {
            hid_->Close(t.handle);
        }
    }

    // Makes the platform the options ask for; exit status 1 when the virtual one cannot start.
    int Start() {
        if (o_.virtualDevice) {
            VirtualFootSwitch::Options vo;
            vo.devices =
                o_.virtualDevices.empty()
                    ? 1
                    : static_cast<int>(WholeOption("--virtual-devices", o_.virtualDevices, 1, kMaxVirtualDevices));
            vo.stateFile = o_.stateFile;
            vo.captureFile = o_.captureFile;
            vo.sleeper = &env_.sleeper;
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
        return kExitOk;
    }

    HidPlatform& Hid() { return *hid_; }
    VirtualFootSwitch* Virtual() { return virtual_; }
    std::vector<Target>& Targets() { return targets_; }
    int FailedTargets() const { return failedTargets_; }
    int WantedTargets() const { return wantedTargets_; }

    // Opens the devices the options choose. With --all a device that cannot be opened is
    // reported and skipped; otherwise it ends the command. `notFound` is the window's line.
    int OpenTargets(const char* notFound) {
        const std::string ids = IdText(o_.vendorId, o_.productId);
        if (!o_.device.empty()) {
            wantedTargets_ = 1;
            return Open(o_.device, true) ? kExitOk : kExitFailed;
        }
        std::vector<InterfaceInfo> candidates;
        for (InterfaceInfo& info : SurveyInterfaces(*hid_)) {
            if (IsFootSwitch(info, o_.vendorId, o_.productId)) {
                candidates.push_back(std::move(info));
            }
        }
        if (candidates.empty()) {
            return Fail(std::string(notFound) + " (no foot switch " + ids + " found)");
        }
        if (o_.all) {
            wantedTargets_ = static_cast<int>(candidates.size());
            for (const InterfaceInfo& c : candidates) {
                if (!Open(c.path, false)) {
                    ++failedTargets_;
                }
            }
            return targets_.empty() ? kExitFailed : kExitOk;
        }
        wantedTargets_ = 1;
        if (o_.indexValue > 0) {
            if (o_.indexValue > static_cast<int>(candidates.size())) {
                return Fail(std::string(notFound) + " (--index " + std::to_string(o_.indexValue) + ", but " +
                            std::to_string(candidates.size()) + " foot switch" + (candidates.size() == 1 ? "" : "es") +
                            " " + ids + " found)");
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

    int Fail(const std::string& message) {
        env_.err << "treadlectl: " << message << "\n";
        return kExitFailed;
    }

    void DeviceFailure(const std::string& path, const std::string& message) {
        env_.err << "treadlectl: " << path << ": " << message << "\n";
    }

  private:
    bool Open(const std::string& path, bool checkIds) {
        const OpenResult opened = hid_->OpenReadWrite(path);
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

    CliEnvironment& env_;
    const Options& o_;
    std::unique_ptr<HidPlatform> hid_;
    VirtualFootSwitch* virtual_ = nullptr;
    std::vector<Target> targets_;
    int failedTargets_ = 0;
    int wantedTargets_ = 0;
};

// Writes a job's frames to one device; the error names what failed, empty on success.
std::string Send(HidPlatform& hid, const Target& t, const Job& job, Sleeper& sleeper) {
    std::string firstError;
    for (size_t i = 0; i < job.steps.size(); ++i) {
        const Step& step = job.steps[i];
        const ReportConversion report = FrameTextToReport(step.frameText, t.caps.outputReportLength);
        std::string error;
        if (!report.ok()) {
            error = "the frame \"" + step.frameText + "\" cannot become a report: " + report.error;
        } else {
            const WriteResult w = hid.Write(t.handle, report.report);
            if (w.written != static_cast<int>(report.report.size())) {
                error = std::string(kWriteFailed) + " (report " + std::to_string(i + 1) + " of " +
                        std::to_string(job.steps.size()) + ": " + (w.error.empty() ? "short write" : w.error) + ")";
            }
        }
        if (!error.empty()) {
            if (!job.keepGoing) {
                return error;
            }
            if (firstError.empty()) {
                firstError = error;
            }
        }
        if (step.pauseAfterMs > 0 && i + 1 < job.steps.size()) {
            sleeper.Sleep(step.pauseAfterMs);
        }
    }
    return firstError;
}

void PrintDryRun(std::ostream& out, const Job& job, int reportLength) {
    for (const Step& step : job.steps) {
        const ReportConversion report = FrameTextToReport(step.frameText, reportLength);
        if (!report.ok()) {
            throw UsageError("the frame \"" + step.frameText + "\" cannot become a report: " + report.error);
        }
        out << CaptureLine(report.report) << "\n";
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

// ---- Help ---------------------------------------------------------------------------------

constexpr const char* kMainFooter = R"(Examples:
  treadlectl list
  treadlectl set 2 ctrl+shift+f1
  treadlectl --all apply office.toml
  treadlectl --dry-run set 1 f13
  treadlectl --virtual=pedals.state apply office.toml && treadlectl --virtual=pedals.state show

Exit status: 0 success; 1 the device is missing, cannot be opened, or a write or read
failed; 2 bad usage or bad input. 'treadlectl COMMAND --help' tells more of each command.)";

constexpr const char* kKeyHelp = R"(KEY joins modifiers and one key with '+', in any order, case-insensitive:
  modifiers  ctrl shift alt win (left), rctrl rshift ralt rwin (right)
  keys       a-z 0-9 f1-f24 esc tab caps enter space backspace insert delete home end
             pgup pgdn up down left right prtsc scroll pause menu minus equal lbracket
             rbracket backslash semicolon quote grave comma period slash numlock
             kp0-kp9 kp-slash kp-star kp-minus kp-plus kp-enter kp-dot, or a raw usage 0xNN
  clicks     mouse-left mouse-middle mouse-right (no modifiers)
'treadlectl keys' lists every name.)";

}  // namespace

int RunTreadlectl(const std::vector<std::string>& arguments, CliEnvironment& env) {
    Options o;
    Arguments a;
    std::vector<std::string> args;
    // --virtual takes an optional value, which the parser cannot express: take it out first.
    bool afterDashes = false;
    for (const std::string& arg : arguments) {
        if (!afterDashes && (arg == "--virtual" || arg.rfind("--virtual=", 0) == 0)) {
            if (o.virtualDevice) {
                env.err << "treadlectl: --virtual given twice\n";
                return kExitUsage;
            }
            o.virtualDevice = true;
            if (arg != "--virtual") {
                o.stateFile = arg.substr(std::string("--virtual=").size());
                if (o.stateFile.empty()) {
                    env.err << "treadlectl: --virtual= needs a state file name after '='\n";
                    return kExitUsage;
                }
            }
            continue;
        }
        afterDashes = afterDashes || arg == "--";
        args.push_back(arg);
    }

    CLI::App app{"Programs a four-pedal USB foot switch from the command line.", "treadlectl"};
    app.fallthrough();
    app.require_subcommand(0, 1);
    // Arguments such as /dev/hidraw3 or a profile path are paths on every system, never
    // Windows-style /options.
    app.allow_windows_style_options(false);
    app.footer(std::string(kMainFooter) + "\n");
    app.set_version_flag("--version", std::string("treadlectl ") + TREADLE_VERSION);
    // Documented here; taken out of the arguments above.
    bool virtualListed = false;
    app.add_flag("--virtual", virtualListed,
                 "Use a virtual foot switch instead of the real device; --virtual=STATE_FILE keeps "
                 "its slots in STATE_FILE across runs");
    app.add_option("--virtual-devices", o.virtualDevices, "How many virtual foot switches there are (default 1)")
        ->type_name("N");
    app.add_option("--capture", o.captureFile, "Append every report the virtual foot switch receives to FILE")
        ->type_name("FILE");
    app.add_flag("--dry-run", o.dryRun, "Use no device: print each report that would be written, one per line");
    app.add_option("--report-length", o.reportLength, "Output report length for --dry-run (default 8)")->type_name("N");
    app.add_option("--vid", o.vid, "Vendor ID in hex (default 2704)")->type_name("HEX");
    app.add_option("--pid", o.pid, "Product ID in hex (default 2018)")->type_name("HEX");
    app.add_option("--device", o.device, "Use this one interface (a path from 'list')")->type_name("PATH");
    app.add_option("--index", o.index, "Use the N-th foot switch, counted from 1 in 'list' order")->type_name("N");
    app.add_flag("--all", o.all, "Use every foot switch found; one line each and a count at the end");
    app.add_flag("-q,--quiet", o.quiet, "Say nothing on success");

    std::string command;
    auto sub = [&](const char* name, const char* description, const std::string& footer) {
        CLI::App* s = app.add_subcommand(name, description);
        s->footer(footer + "\n");
        s->callback([&command, name] { command = name; });
        return s;
    };

    CLI::App* list = sub("list", "List the foot switch's interfaces, tab-separated",
                         "Columns: path, vvvv:pppp, input, output and feature report lengths, state\n"
                         "(usable, keyboard, mouse, no-access, unusable).\n\n"
                         "Examples:\n  treadlectl list\n  treadlectl list --all-interfaces\n"
                         "  treadlectl --virtual --virtual-devices 2 list");
    list->add_flag("--all-interfaces", a.allInterfaces, "List every HID interface present");

    CLI::App* set = sub("set", "Assign a key combination or a mouse click to a switch",
                        std::string(kKeyHelp) +
                            "\n\nA key writes the key frame, the key-delay frame and the long-press frame, 50 ms "
                            "apart;\nthe key-delay frame also sets power-on run on with loop playback (they share "
                            "a slot).\n\nExamples:\n  treadlectl set 2 ctrl+shift+f1\n  treadlectl set 1 f13 "
                            "--long-press on\n  treadlectl set 3 mouse-left\n  treadlectl --all set 4 0x87");
    set->add_option("SWITCH", a.switchText, "Switch 1 to 4")->required();
    set->add_option("KEY", a.key, "Key combination or click")->required();
    CLI::Option* delayOption =
        set->add_option("--delay", a.delay, "Key delay in ms, 0 to 65535 (default 0)")->type_name("MS");
    CLI::Option* longPressOption =
        set->add_option("--long-press", a.longPress, "on or off (default off)")->type_name("on|off");

    CLI::App* clear = sub("clear", "Clear all 32 slots of the device, settings included",
                          "Asks first on a terminal; without a terminal it needs --yes.\n\n"
                          "Examples:\n  treadlectl clear\n  treadlectl --all clear --yes");
    clear->add_flag("-y,--yes", a.yes, "Do not ask");

    CLI::App* delay = sub("delay", "Set the key delay and the long-press option",
                          "Writes the key-delay frame and, 50 ms later, the long-press frame. The key-delay frame\n"
                          "also sets power-on run on with loop playback, as they share one slot.\n\n"
                          "Examples:\n  treadlectl delay 300\n  treadlectl delay 0 --long-press on");
    delay->add_option("MS", a.delayMs, "Key delay in ms, 0 to 65535")->required();
    delay->add_option("--long-press", a.longPress, "on or off (default off)")->type_name("on|off");

    CLI::App* runMode = sub("run-mode", "Set power-on run and playback mode",
                            "The run-mode frame shares its slot with the key delay and sets the delay to 0;\n"
                            "a later set, delay or apply sets power-on run on with loop playback again.\n\n"
                            "Examples:\n  treadlectl run-mode --power-on off --playback single\n"
                            "  treadlectl run-mode --power-on on --playback loop");
    runMode->add_option("--power-on", a.powerOn, "Run the stored keys at power-on")->type_name("on|off")->required();
    runMode->add_option("--playback", a.playback, "Play the stored keys once or in a loop")
        ->type_name("single|loop")
        ->required();

    CLI::App* raw = sub("raw", "Write one frame given as hex text",
                        "The text becomes a report as the window's manual write makes it: blanks are\n"
                        "dropped, digit pairs fill the report behind report ID 0, missing ones are 00.\n\n"
                        "Examples:\n  treadlectl raw \"aa 01 00 00 3C 00 00\"\n  treadlectl --dry-run raw aa 01 7C");
    raw->add_option("HEX", a.raw, "Frame text")->required();

    CLI::App* read = sub("read", "Read one input report and show it",
                         "Shows ' Report ID: ', ' Report Data:' and one line per data byte, as the window does.\n"
                         "No report within the time-out is a failure (exit status 1).\n\n"
                         "Examples:\n  treadlectl read\n  treadlectl read --timeout 5000");
    read->add_option("--timeout", a.timeout, "How long to wait, in ms (default 100)")->type_name("MS");

    CLI::App* apply = sub("apply", "Write a profile: switch assignments and settings",
                          "[switches] holds keys \"1\" to \"4\" with a KEY text each (any subset); [settings]\n"
                          "holds delay_ms and long_press, and optionally power_on_run and playback together.\n"
                          "The switches are written first, then the delay and long-press frames, then the\n"
                          "run-mode frame. A non-zero delay_ms goes only with power_on_run = true and\n"
                          "playback = \"loop\": both live in one device slot.\n\n"
                          "  [switches]\n  1 = \"ctrl+shift+f1\"\n  2 = \"mouse-left\"\n\n"
                          "  [settings]\n  delay_ms = 0\n  long_press = false\n  power_on_run = true\n"
                          "  playback = \"loop\"\n\n"
                          "Examples:\n  treadlectl apply office.toml\n  treadlectl --all apply office.toml\n"
                          "  treadlectl --dry-run apply office.toml");
    apply->add_option("PROFILE", a.profile, "Profile file (TOML)")->required();

    CLI::App* exportCommand = sub("export", "Write what the virtual foot switch stores as a profile",
                                  "The real device cannot report what it stores, so this works only with "
                                  "--virtual.\n\nExample:\n  treadlectl --virtual=pedals.state export "
                                  "pedals.toml");
    exportCommand->add_option("PROFILE", a.profile, "Profile file to write")->required();

    sub("show", "Show what the virtual foot switch stores",
        "Each switch's assignment and the two settings slots, decoded. The real device cannot\n"
        "report what it stores, so this works only with --virtual.\n\n"
        "Example:\n  treadlectl --virtual=pedals.state show");

    sub("keys", "List every key, modifier and click name", "Example:\n  treadlectl keys | grep kp");

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e, env.out, env.err);
        return status == 0 ? kExitOk : kExitUsage;
    }

    try {
        if (command.empty()) {
            throw UsageError(
                "a command is needed: list, set, clear, delay, run-mode, raw, read, apply, export, "
                "show or keys (see --help)");
        }
        o.vendorId = HexId("--vid", o.vid);
        o.productId = HexId("--pid", o.pid);
        if (!o.index.empty()) {
            o.indexValue = static_cast<int>(WholeOption("--index", o.index, 1, 9999));
        }
        if (static_cast<int>(!o.device.empty()) + static_cast<int>(!o.index.empty()) + static_cast<int>(o.all) > 1) {
            throw UsageError("--device, --index and --all each choose the devices: give one of them");
        }
        if (!o.captureFile.empty() && !o.virtualDevice) {
            throw UsageError("--capture records what the virtual foot switch receives, so it needs --virtual");
        }
        if (!o.virtualDevices.empty() && !o.virtualDevice) {
            throw UsageError("--virtual-devices needs --virtual");
        }
        if (!o.reportLength.empty()) {
            if (!o.dryRun) {
                throw UsageError("--report-length goes with --dry-run; a device tells its own");
            }
            o.reportLengthValue = static_cast<int>(
                WholeOption("--report-length", o.reportLength, kMinOutputReportLength, kMaxReportLength));
        }
        if (o.dryRun && (o.virtualDevice || !o.device.empty() || !o.index.empty() || o.all)) {
            throw UsageError("--dry-run uses no device, so it cannot go with --virtual, --device, --index or --all");
        }

        if (command == "keys") {
            for (const std::string& name : AllKeyNames()) {
                env.out << name << "\n";
            }
            return kExitOk;
        }

        // Writing commands: the job is checked before any device is looked at.
        std::optional<Job> job;
        if (command == "set") {
            job = SetJob(a, delayOption->count() > 0, longPressOption->count() > 0);
        } else if (command == "clear") {
            job.emplace();
            for (int i = 0; i < kSlotCount; ++i) {
                job->steps.push_back({ClearSlotFrameText(i), 0});
            }
            job->summary = "cleared all 32 slots";
            job->keepGoing = true;
            job->confirm = !a.yes;
        } else if (command == "delay") {
            const std::int64_t ms = WholeOption("delay", a.delayMs, 0, kMaxDelay, " ms");
            const bool longPress = OnOff("--long-press", a.longPress);
            job.emplace();
            AddKeySettings(*job, ms, longPress);
            job->summary = SettingsSummary(ms, longPress);
        } else if (command == "run-mode") {
            const bool powerOn = OnOff("--power-on", a.powerOn);
            if (a.playback != "single" && a.playback != "loop") {
                throw UsageError("--playback must be single or loop, not \"" + a.playback + "\"");
            }
            const RunMode mode{powerOn, a.playback == "loop"};
            job.emplace();
            job->steps.push_back({RunModeFrameText(mode.powerOnRun, mode.loopPlayback), 0});
            job->summary = RunModeSummary(mode) + " (key delay 0 ms)";
        } else if (command == "raw") {
            job = RawJob(a.raw);
        } else if (command == "apply") {
            const ProfileRead profile = ReadProfile(a.profile);
            if (!profile.ok()) {
                throw UsageError(profile.error);
            }
            job = ApplyJob(profile.profile, a.profile);
        }

        if (o.dryRun) {
            if (!job) {
                throw UsageError(command == "show" || command == "export"
                                     ? std::string(kCannotReport)
                                     : command + " needs a device, and --dry-run uses none");
            }
            PrintDryRun(env.out, *job, o.reportLengthValue);
            return kExitOk;
        }
        if ((command == "show" || command == "export") && !o.virtualDevice) {
            throw UsageError(kCannotReport);
        }
        if (command == "export" && o.all) {
            throw UsageError("export writes one profile: choose one device with --index or --device, not --all");
        }
        int timeoutMs = kDefaultReadTimeoutMs;
        if (command == "read" && !a.timeout.empty()) {
            timeoutMs = static_cast<int>(WholeOption("--timeout", a.timeout, 0, kMaxTimeoutMs, " ms"));
        }
        if (job && job->confirm && !env.terminal.InputIsTerminal()) {
            throw UsageError(
                "clear erases every stored assignment and setting; standard input is not a terminal, "
                "so it cannot ask: add --yes");
        }

        Session session(env, o);
        if (const int status = session.Start(); status != kExitOk) {
            return status;
        }

        if (command == "list") {
            int shown = 0;
            for (const InterfaceInfo& info : SurveyInterfaces(session.Hid())) {
                if (a.allInterfaces || Matches(info, o.vendorId, o.productId)) {
                    env.out << ListLine(info) << "\n";
                    ++shown;
                }
            }
            if (shown == 0) {
                return session.Fail(a.allInterfaces ? "no HID interface found"
                                                    : "no foot switch " + IdText(o.vendorId, o.productId) +
                                                          " found (--all-interfaces lists every HID interface)");
            }
            return kExitOk;
        }

        const bool reading = command == "read" || command == "show" || command == "export";
        if (const int status = session.OpenTargets(reading ? kReadNotConnected : kNotConnected); status != kExitOk) {
            return status;
        }
        std::vector<Target>& targets = session.Targets();
        int failed = session.FailedTargets();

        if (job && job->confirm) {
            const std::string what = targets.size() == 1 ? "the device " + targets.front().path
                                                         : std::to_string(targets.size()) + " devices";
            if (!env.terminal.Confirm("Really clear all key values of " + what +
                                      "? Every slot, the settings included, is erased. [y/N] ")) {
                env.err << "treadlectl: nothing cleared\n";
                return kExitFailed;
            }
        }

        for (const Target& t : targets) {
            if (job) {
                const std::string error = Send(session.Hid(), t, *job, env.sleeper);
                if (!error.empty()) {
                    session.DeviceFailure(t.path, error);
                    ++failed;
                } else if (!o.quiet) {
                    env.out << t.path << ": " << job->summary << "\n";
                }
            } else if (command == "read") {
                std::vector<std::uint8_t> buffer(static_cast<size_t>(std::max(t.caps.inputReportLength, 0)), 0);
                if (buffer.empty()) {
                    session.DeviceFailure(t.path, "the device has no input report");
                    ++failed;
                    continue;
                }
                const OpenResult reader = session.Hid().OpenForTimedRead(t.path);
                if (!reader.ok()) {
                    session.DeviceFailure(t.path, std::string(kReadNotConnected) + " (" + reader.error + ")");
                    ++failed;
                    continue;
                }
                const ReadResult r = session.Hid().ReadTimed(reader.handle, buffer, timeoutMs);
                session.Hid().Close(reader.handle);
                if (r.status == ReadStatus::TimedOut) {
                    session.DeviceFailure(t.path, "no input report within " + std::to_string(timeoutMs) + " ms");
                    ++failed;
                    continue;
                }
                if (r.status == ReadStatus::Failed) {
                    session.DeviceFailure(t.path, "the read failed: " + r.error);
                    ++failed;
                    continue;
                }
                if (targets.size() > 1) {
                    env.out << t.path << ":\n";
                }
                env.out << " Report ID: " << DecimalText(buffer[0]) << "\n Report Data:\n";
                for (size_t i = 1; i < buffer.size(); ++i) {
                    env.out << " " << HexByte(buffer[i]) << "\n";
                }
            } else {
                VirtualFootSwitch& v = *session.Virtual();
                const int d = VirtualDeviceOf(v, t.path);
                if (d < 0) {
                    session.DeviceFailure(t.path, kCannotReport);
                    ++failed;
                    continue;
                }
                if (command == "show") {
                    env.out << t.path << "\n";
                    for (const std::string& line : ShowLines(v.Slots(d))) {
                        env.out << "  " << line << "\n";
                    }
                } else {
                    std::vector<std::string> notes;
                    const Profile p = ProfileFromSlots(v.Slots(d), notes);
                    std::string header = "What the virtual foot switch " + t.path + " stores.";
                    for (const std::string& note : notes) {
                        header += "\n" + note;
                        env.err << "treadlectl: " << t.path << ": " << note << "\n";
                    }
                    std::ofstream file(a.profile, std::ios::binary | std::ios::trunc);
                    file << ProfileText(p, header);
                    file.close();
                    if (!file) {
                        return session.Fail("cannot write the profile " + a.profile);
                    }
                    if (!o.quiet) {
                        env.out << t.path << ": exported to " << a.profile << "\n";
                    }
                }
            }
        }
        if (o.all && !o.quiet) {
            const int wanted = session.WantedTargets();
            env.out << wanted - failed << " of " << wanted << " device" << (wanted == 1 ? "" : "s") << " done\n";
        }
        return failed == 0 ? kExitOk : kExitFailed;
    } catch (const UsageError& e) {
        env.err << "treadlectl: " << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace treadle::cli
