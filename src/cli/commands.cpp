#include "cli/commands.h"

#include "assignment/assignment_log.h"
#include "assignment/key_names.h"
#include "assignment/press_line.h"
#include "cli/devices.h"
#include "cli/provision.h"
#include "device/protocol.h"
#include "device/user_file.h"
#include "settings/profile.h"
#include "settings/profile_slots.h"
#include "settings/settings_input.h"
#include "text/shown_text.h"
#include "text/text_rules.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <ostream>

namespace treadle::cli {
namespace {

constexpr const char* kKeyHelp = R"(KEY joins modifiers and one key with '+', in any order, case-insensitive:
  modifiers  ctrl shift alt win (left), rctrl rshift ralt rwin (right)
  keys       a-z 0-9 f1-f24 esc tab caps enter space backspace insert delete home end
             pgup pgdn up down left right prtsc scroll pause menu minus equal lbracket
             rbracket backslash semicolon quote grave comma period slash numlock
             kp0-kp9 kp-slash kp-star kp-minus kp-plus kp-enter kp-dot, or a raw usage 0xNN
  clicks     mouse-left mouse-middle mouse-right (no modifiers)
'treadlectl keys' lists every name.)";

// ---- Shared steps of the commands ---------------------------------------------------------

void RefuseDryRun(const CommandContext& c, const std::string& name) {
    if (c.o.dryRun) {
        throw UsageError(name + " needs a device, and --dry-run uses none");
    }
}

// Opens the devices the options choose and runs `each` on every one; `each` says itself what
// went wrong and returns false then. `ready` runs once the devices are open and may stop the
// command with its exit status. With --all a count ends the output.
int ForEachTarget(CommandContext& c, Session& session, const char* notFound,
                  const std::function<bool(const Target&)>& each, const std::function<int()>& ready = {}) {
    if (const int status = session.OpenTargets(notFound); status != kExitOk) {
        return status;
    }
    if (ready) {
        if (const int status = ready(); status != kExitOk) {
            return status;
        }
    }
    int failed = session.FailedTargets();
    bool interrupted = false;
    for (const Target& t : session.Targets()) {
        // After a Ctrl-C the device being written was finished; the others are left as they are.
        if (interrupted) {
            session.DeviceFailure(t.path, "not written: interrupted");
            ++failed;
        } else if (!each(t)) {
            ++failed;
        }
        interrupted = c.env.interrupted && c.env.interrupted();
    }
    if (c.o.all && !c.o.quiet) {
        const int wanted = session.WantedTargets();
        c.env.out << wanted - failed << " of " << wanted << " device" << (wanted == 1 ? "" : "s") << " done\n";
    }
    return failed == 0 ? kExitOk : kExitFailed;
}

// What a raw frame text became in a report: the frame bytes behind the report ID, and a
// warning when the text held more bytes than fit (dropped) or fewer (padded with 00).
struct RawReport {
    std::string written;
    std::string warning;
};

RawReport DescribeRaw(const std::string& frameText, int reportLength) {
    // The frame as typed, read by the same rules as the report it became.
    RawReport r;
    const ReportConversion report = FrameTextToReport(frameText, reportLength);
    if (!report.ok() || report.report.empty()) {
        return r;
    }
    r.written = ByteListText(std::span(report.report).subspan(1));
    std::string digits;
    for (char ch : frameText) {
        if (ch != ' ') {
            digits += ch;
        }
    }
    const size_t given = (digits.size() + 1) / 2;
    const size_t room = report.report.size() - 1;
    auto bytes = [](size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); };
    const std::string holds = "the report holds " + bytes(room) + " after the report ID";
    if (given > room) {
        std::string dropped;
        for (size_t i = 2 * room; i < digits.size(); i += 2) {
            const std::string pair = digits.substr(i, 2);
            dropped += (dropped.empty() ? "" : " ") + (pair.size() == 2 ? pair : pair + "0");
        }
        for (char& ch : dropped) {
            ch = static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 'a' + 'A' : ch);
        }
        r.warning = bytes(given - room) + " dropped (" + ShownText(dropped) + "): " + holds;
    } else if (given < room) {
        r.warning = "padded with " + bytes(room - given) + " of 00: " + holds;
    }
    return r;
}

// Writes a job to every chosen device, or prints its reports with --dry-run.
int RunJob(CommandContext& c, const Job& job) {
    if (c.o.dryRun) {
        PrintDryRun(c.env.out, job, c.o.reportLengthValue);
        if (job.rawFrame) {
            if (const RawReport raw = DescribeRaw(job.steps.front().typedText.value_or(""), c.o.reportLengthValue);
                !raw.warning.empty()) {
                c.env.err << "treadlectl: raw: " << raw.warning << "\n";
            }
        }
        return kExitOk;
    }
    if (job.confirm && !c.env.terminal.InputIsTerminal()) {
        throw UsageError(
            "clear erases every stored assignment and setting; standard input is not a terminal, "
            "so it cannot ask: add --yes");
    }
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    auto confirm = [&]() {
        // A Ctrl-C from now on ends the command after the device being written, never half-way
        // through its reports.
        auto writeOn = [&c] {
            if (c.env.catchInterrupts) {
                c.env.catchInterrupts();
            }
            return kExitOk;
        };
        if (!job.confirm) {
            return writeOn();
        }
        const std::vector<Target>& targets = session.Targets();
        const std::string what =
            targets.size() == 1 ? "the device " + targets.front().path : std::to_string(targets.size()) + " devices";
        if (!c.env.terminal.Confirm("Really clear all key values of " + what +
                                    "? Every slot, the settings included, is erased. [y/N] ")) {
            c.env.err << "treadlectl: nothing cleared\n";
            return kExitFailed;
        }
        return writeOn();
    };
    auto send = [&](const Target& t) {
        const std::string error = Send(session.Link(), t, job);
        if (!error.empty()) {
            session.DeviceFailure(t.path, error);
            return false;
        }
        if (job.rawFrame) {
            const RawReport raw = DescribeRaw(job.steps.front().typedText.value_or(""), t.caps.outputReportLength);
            if (!raw.warning.empty()) {
                session.DeviceFailure(t.path, "raw: " + raw.warning);
            }
            if (!c.o.quiet) {
                c.env.out << t.path << ": wrote " << raw.written << "\n";
            }
            return true;
        }
        if (!c.o.quiet) {
            c.env.out << t.path << ": " << job.summary << "\n";
        }
        return true;
    };
    return ForEachTarget(c, session, kNotConnected, send, confirm);
}

// show and export read the slots back, which only the virtual foot switch can.
void RequireStoredSlots(const CommandContext& c) {
    if (c.o.dryRun || !c.o.virtualDevice) {
        throw UsageError(kCannotReport);
    }
}

// Runs `each` on every chosen virtual device with the number of the device.
int ForEachVirtualDevice(CommandContext& c, const std::function<bool(Session&, const Target&, int)>& each) {
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    return ForEachTarget(c, session, kReadNotConnected, [&](const Target& t) {
        const int d = VirtualDeviceOf(*session.Virtual(), t.path);
        if (d < 0) {
            session.DeviceFailure(t.path, kCannotReport);
            return false;
        }
        // Another program may have changed the state file since this one started.
        if (std::string error; !session.Virtual()->Reload(error)) {
            session.Fail(error);
            return false;
        }
        return each(session, t, d);
    });
}

// ---- Jobs of the writing commands ---------------------------------------------------------

Job SetJob(const Arguments& a) {
    const bool delayGiven = a.delayOption != nullptr && a.delayOption->count() > 0;
    const bool longPressGiven = a.longPressOption != nullptr && a.longPressOption->count() > 0;
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
        job.steps.push_back({MouseFrame(SwitchSlotByte(number), key.choice.usage), {}, 0});
        job.summary = "switch " + std::to_string(number) + " = " + KeyCombinationText(key.choice);
        return job;
    }
    const std::int64_t delay = WholeOption("--delay", a.delay, 0, kMaxDelay, " ms");
    const bool longPress = OnOff("--long-press", a.longPress);
    static_cast<FrameJob&>(job) =
        KeyAssignmentJob(KeyFrame(SwitchSlotByte(number), key.choice.modifiers, key.choice.usage), delay, longPress);
    job.summary = "switch " + std::to_string(number) + " = " + KeyCombinationText(key.choice) + " (" +
                  SettingsSummary(delay, longPress) + ")";
    return job;
}

Job ApplyJob(const Profile& p, const std::string& file) {
    Job job;
    static_cast<FrameJob&>(job) = ProfileFrameJob(p);
    std::string switches;
    for (const auto& [number, choice] : p.switches) {
        switches += (switches.empty() ? "" : ", ") + std::to_string(number) + " = " + KeyCombinationText(choice);
    }
    job.summary = "applied " + ShownText(file, kShownPathBytes) + ": " +
                  (switches.empty() ? "" : "switch " + switches + "; ") + SettingsSummary(p.delayMs, p.longPress);
    if (p.runMode) {
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
        throw UsageError("raw: " + Quoted(bad) + " is not a hex digit or a blank");
    }
    Job job;
    job.steps.push_back({Frame{}, text, 0});
    job.rawFrame = true;
    return job;
}

// ---- The commands -------------------------------------------------------------------------

int CmdList(CommandContext& c) {
    RefuseDryRun(c, "list");
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    int shown = 0;
    SearchRequest request;
    request.ids = session.Ids();
    request.everyInterface = c.a.allInterfaces;
    for (const InterfaceInfo& info : Search(session.Hid(), request).interfaces) {
        if (c.a.allInterfaces || Matches(info, session.Ids())) {
            c.env.out << ListLine(info) << "\n";
            ++shown;
        }
    }
    if (shown == 0) {
        return session.Fail(c.a.allInterfaces ? "no HID interface found"
                                              : "no foot switch " + IdText(c.o.vendorId, c.o.productId) +
                                                    " found (--all-interfaces lists every HID interface)");
    }
    return kExitOk;
}

int CmdSet(CommandContext& c) { return RunJob(c, SetJob(c.a)); }

int CmdClear(CommandContext& c) {
    Job job;
    for (int i = 0; i < kSlotCount; ++i) {
        job.steps.push_back({ClearSlotFrame(i), {}, 0});
    }
    job.summary = "cleared all 32 slots";
    job.keepGoing = true;
    job.confirm = !c.a.yes;
    return RunJob(c, job);
}

int CmdDelay(CommandContext& c) {
    const std::int64_t ms = WholeOption("delay", c.a.delayMs, 0, kMaxDelay, " ms");
    const bool longPress = OnOff("--long-press", c.a.longPress);
    Job job;
    AddKeySettings(job, ms, longPress);
    job.summary = SettingsSummary(ms, longPress);
    return RunJob(c, job);
}

int CmdRunMode(CommandContext& c) {
    const bool powerOn = OnOff("--power-on", c.a.powerOn);
    if (c.a.playback != "single" && c.a.playback != "loop") {
        throw UsageError("--playback must be single or loop, not " + Quoted(c.a.playback));
    }
    const RunMode mode{powerOn, c.a.playback == "loop"};
    Job job;
    job.steps.push_back({RunModeFrame(mode.powerOnRun, mode.loopPlayback), {}, 0});
    job.summary = RunModeSummary(mode) + " (key delay 0 ms)";
    return RunJob(c, job);
}

int CmdRaw(CommandContext& c) { return RunJob(c, RawJob(c.a.raw)); }

int CmdRead(CommandContext& c) {
    RefuseDryRun(c, "read");
    int timeoutMs = kDefaultReadTimeoutMs;
    if (!c.a.timeout.empty()) {
        timeoutMs = static_cast<int>(WholeOption("--timeout", c.a.timeout, 0, kMaxTimeoutMs, " ms"));
    }
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    return ForEachTarget(c, session, kReadNotConnected, [&](const Target& t) {
        std::vector<std::uint8_t> buffer(static_cast<size_t>(std::max(t.caps.inputReportLength, 0)), 0);
        if (buffer.empty()) {
            session.DeviceFailure(t.path, "the device has no input report");
            return false;
        }
        const OpenResult reader = session.Hid().OpenForTimedRead(t.path);
        if (!reader.ok()) {
            session.DeviceFailure(t.path, std::string(kReadNotConnected) + " (" + reader.error + ")");
            return false;
        }
        const ReadResult r = session.Link().Read(reader.handle, buffer, timeoutMs);
        session.Hid().Close(reader.handle);
        if (r.status == ReadStatus::TimedOut) {
            session.DeviceFailure(t.path, "no input report within " + std::to_string(timeoutMs) + " ms");
            return false;
        }
        if (r.status == ReadStatus::Failed) {
            session.DeviceFailure(t.path, "the read failed: " + r.error);
            return false;
        }
        if (session.Targets().size() > 1) {
            c.env.out << t.path << ":\n";
        }
        // Only the bytes that came: a short report is shown as it is and said to be short.
        const size_t received = std::min(static_cast<size_t>(std::max(r.bytesRead, 0)), buffer.size());
        if (received == 0) {
            session.DeviceFailure(t.path, "the read gave an empty report");
            return false;
        }
        c.env.out << " Report ID: " << DecimalText(buffer[0]) << "\n Report Data:\n";
        for (size_t i = 1; i < received; ++i) {
            c.env.out << " " << HexByte(buffer[i]) << "\n";
        }
        if (received < buffer.size()) {
            c.env.err << "treadlectl: " << ShownText(t.path, kShownPathBytes) << ": the report was short: " << received
                      << " of " << buffer.size() << " bytes (report ID included) came\n";
        }
        return true;
    });
}

// How long one wait of `watch` lasts at most, so that a time-out is kept to within it.
constexpr int kWatchSliceMs = 200;
constexpr std::int64_t kMaxWatchCount = 1000000;

int CmdWatch(CommandContext& c) {
    RefuseDryRun(c, "watch");
    if (!c.o.device.empty() || !c.o.index.empty() || c.o.all) {
        throw UsageError(
            "watch listens to every foot switch with the IDs of --vid and --pid: --device, --index and --all do "
            "not apply");
    }
    const std::int64_t count = c.a.count.empty() ? 0 : WholeOption("--count", c.a.count, 1, kMaxWatchCount);
    const std::int64_t timeoutMs =
        c.a.timeout.empty() ? -1 : WholeOption("--timeout", c.a.timeout, 1, kMaxTimeoutMs, " ms");
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    WatchStart started = session.Link().Watch(session.Ids());
    if (!started.ok()) {
        return session.Fail(started.error);
    }
    VirtualFootSwitch* virtualSwitch = session.Virtual();
    auto known = [virtualSwitch](const std::string& path) -> KnownSwitches {
        if (virtualSwitch == nullptr) {
            return std::nullopt;  // a real foot switch cannot tell what it stores
        }
        const int device = virtualSwitch->DeviceOfPath(path);
        return device < 0 ? KnownSwitches() : KnownSwitches(virtualSwitch->ProgrammedSwitches(device));
    };
    // A read that comes back empty waited its whole slice; a fake sleeper's slices pass in no time.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::int64_t waited = 0;
    std::int64_t shown = 0;
    for (;;) {
        const std::int64_t elapsed = std::max<std::int64_t>(
            waited, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (timeoutMs >= 0 && elapsed >= timeoutMs) {
            break;
        }
        const int slice = static_cast<int>(timeoutMs < 0 ? kWatchSliceMs
                                                         : std::min<std::int64_t>(kWatchSliceMs, timeoutMs - elapsed));
        const WatchRead read = started.watch->Read(slice);
        for (const std::string& note : read.lost) {
            c.env.err << "treadlectl: " << ShownMessage(note) << std::endl;
        }
        for (const WatchedPress& p : read.presses) {
            c.env.out << PressLine(p.press, known(p.interfacePath)) << std::endl;
            if (++shown == count) {
                return kExitOk;
            }
        }
        if (read.ended) {
            return session.Fail(read.error);
        }
        if (read.presses.empty() && read.lost.empty()) {
            waited += slice;
        }
    }
    if (shown == 0) {
        return session.Fail("no pedal press within " + std::to_string(timeoutMs) + " ms");
    }
    if (count > 0) {
        return session.Fail("only " + std::to_string(shown) + " of " + std::to_string(count) +
                            " pedal presses within " + std::to_string(timeoutMs) + " ms");
    }
    return kExitOk;
}

int CmdPress(CommandContext& c) {
    if (c.o.dryRun || !c.o.virtualDevice) {
        throw UsageError(
            "press works only on the virtual foot switch (--virtual); a real pedal is pressed by foot, and "
            "'treadlectl watch' shows what it sends");
    }
    const int pedal = static_cast<int>(WholeOption("pedal", c.a.pedal, 1, 4));
    return ForEachVirtualDevice(c, [&](Session& session, const Target& t, int d) {
        VirtualFootSwitch& v = *session.Virtual();
        if (std::string error; !v.PressPedal(pedal, error, d)) {
            session.DeviceFailure(t.path, error);
            return false;
        }
        // The press made here, as the slot it was made from says: other programs' presses on
        // the same state file are theirs to print, and one not passed on to them was made all
        // the same.
        const size_t slot = static_cast<size_t>(pedal - 1);
        if (const std::optional<PedalPress> press = SlotPress(v.Slots(d)[slot], v.Kinds(d)[slot])) {
            if (session.Targets().size() > 1) {
                c.env.out << t.path << ": ";
            }
            c.env.out << PressLine(*press, KnownSwitches(v.ProgrammedSwitches(d))) << "\n";
        }
        if (!v.PressNote().empty()) {
            session.DeviceFailure(t.path, "warning: " + v.PressNote());
        }
        return true;
    });
}

// A profile may not be one of the virtual foot switch's own files: exporting would replace
// it, a capture would append report lines to it.
void RefuseVirtualFile(const CommandContext& c, const std::string& profile, const std::string& what,
                       const std::string& advice) {
    if (const std::string role = VirtualFileRole(c.o.stateFile, c.o.captureFile, profile); !role.empty()) {
        throw UsageError(what + " " + ShownText(profile, kShownPathBytes) + ": it is " +
                         ShownText(role, kShownPathBytes) + "; " + advice);
    }
}

// The job of the profile a command names, as apply writes it. A profile that cannot be read is
// said and gives no job (exit status 1); a bad one is bad input.
std::optional<Job> ProfileJob(CommandContext& c) {
    if (VirtualFileOf(c.o.stateFile, c.o.captureFile, c.a.profile) == VirtualFile::Capture) {
        RefuseVirtualFile(c, c.a.profile, "cannot capture into the profile", "give another capture file");
    }
    RefuseVirtualFile(c, c.a.profile, "cannot read the profile", "a profile is a file of its own");
    const ProfileRead profile = ReadProfile(c.a.profile);
    if (profile.unreadable) {
        c.env.err << "treadlectl: " << ShownMessage(profile.error) << "\n";
        return std::nullopt;
    }
    if (!profile.ok()) {
        throw UsageError(profile.error);
    }
    return ApplyJob(profile.profile, c.a.profile);
}

int CmdApply(CommandContext& c) {
    const std::optional<Job> job = ProfileJob(c);
    return job ? RunJob(c, *job) : kExitFailed;
}

// How long provision may wait at most: a working day and more.
constexpr std::int64_t kMaxProvisionMs = 24LL * 60 * 60 * 1000;

int CmdProvision(CommandContext& c) {
    RefuseDryRun(c, "provision");
    if (!c.o.device.empty() || !c.o.index.empty() || c.o.all) {
        throw UsageError(
            "provision programs each foot switch as it is plugged in: --device, --index and --all do "
            "not apply");
    }
    ProvisionOptions options;
    options.count = c.a.count.empty() ? 0 : WholeOption("--count", c.a.count, 1, kMaxWatchCount);
    options.timeoutMs = c.a.timeout.empty() ? -1 : WholeOption("--timeout", c.a.timeout, 1, kMaxProvisionMs, " ms");
    options.includePresent = c.a.includePresent;
    options.again = c.a.again;
    options.virtualArrivals = c.o.virtualDevice;
    // The profile is checked before anything waits.
    const std::optional<Job> job = ProfileJob(c);
    if (!job) {
        return kExitFailed;
    }
    Session session(c.env, c.o);
    if (const int status = session.Start(); status != kExitOk) {
        return status;
    }
    if (c.env.catchInterrupts) {
        c.env.catchInterrupts();
    }
    return Provisioner(c, session, *job, options).Run();
}

int CmdExport(CommandContext& c) {
    RequireStoredSlots(c);
    if (c.o.all) {
        throw UsageError("export writes one profile: choose one device with --index or --device, not --all");
    }
    RefuseVirtualFile(c, c.a.profile, "cannot export to", "give the profile another name");
    return ForEachVirtualDevice(c, [&](Session& session, const Target& t, int d) {
        std::vector<std::string> notes;
        const Profile p = ProfileFromSlots(session.Virtual()->Slots(d), notes, session.Virtual()->Kinds(d));
        std::string header = "What the virtual foot switch " + t.path + " stores.";
        for (const std::string& note : notes) {
            header += "\n" + note;
            c.env.err << "treadlectl: " << t.path << ": " << note << "\n";
        }
        if (const std::string why = ReplaceUserFile(c.a.profile, ProfileText(p, header)); !why.empty()) {
            session.Fail("cannot write the profile " + ShownText(c.a.profile, kShownPathBytes) + ": " + why);
            return false;
        }
        if (!c.o.quiet) {
            c.env.out << t.path << ": exported to " << ShownText(c.a.profile, kShownPathBytes) << "\n";
        }
        return true;
    });
}

int CmdShow(CommandContext& c) {
    RequireStoredSlots(c);
    return ForEachVirtualDevice(c, [&](Session& session, const Target& t, int d) {
        c.env.out << t.path << "\n";
        for (const std::string& line : ShowLines(session.Virtual()->Slots(d), session.Virtual()->Kinds(d))) {
            c.env.out << "  " << line << "\n";
        }
        return true;
    });
}

int CmdKeys(CommandContext& c) {
    for (const std::string& name : AllKeyNames()) {
        c.env.out << name << "\n";
    }
    return kExitOk;
}

// ---- Arguments of the commands ------------------------------------------------------------

void NoArguments(CLI::App&, Arguments&) {}

void ListArguments(CLI::App& app, Arguments& a) {
    app.add_flag("--all-interfaces", a.allInterfaces, "List every HID interface present");
}

void SetArguments(CLI::App& app, Arguments& a) {
    app.add_option("SWITCH", a.switchText, "Switch 1 to 4")->required();
    app.add_option("KEY", a.key, "Key combination or click")->required();
    a.delayOption = app.add_option("--delay", a.delay, "Key delay in ms, 0 to 65535 (default 0)")->type_name("MS");
    a.longPressOption = app.add_option("--long-press", a.longPress, "on or off (default off)")->type_name("on|off");
}

void ClearArguments(CLI::App& app, Arguments& a) { app.add_flag("-y,--yes", a.yes, "Do not ask"); }

void DelayArguments(CLI::App& app, Arguments& a) {
    app.add_option("MS", a.delayMs, "Key delay in ms, 0 to 65535")->required();
    app.add_option("--long-press", a.longPress, "on or off (default off)")->type_name("on|off");
}

void RunModeArguments(CLI::App& app, Arguments& a) {
    app.add_option("--power-on", a.powerOn, "Run the stored keys at power-on")->type_name("on|off")->required();
    app.add_option("--playback", a.playback, "Play the stored keys once or in a loop")
        ->type_name("single|loop")
        ->required();
}

void RawArguments(CLI::App& app, Arguments& a) { app.add_option("HEX", a.raw, "Frame text")->required(); }

void ReadArguments(CLI::App& app, Arguments& a) {
    app.add_option("--timeout", a.timeout, "How long to wait, in ms (default 100)")->type_name("MS");
}

void WatchArguments(CLI::App& app, Arguments& a) {
    app.add_option("--count", a.count, "Stop after N presses")->type_name("N");
    app.add_option("--timeout", a.timeout, "Stop after MS milliseconds")->type_name("MS");
}

void PressArguments(CLI::App& app, Arguments& a) { app.add_option("PEDAL", a.pedal, "Pedal 1 to 4")->required(); }

void ApplyArguments(CLI::App& app, Arguments& a) {
    app.add_option("PROFILE", a.profile, "Profile file (TOML)")->required();
}

void ProvisionArguments(CLI::App& app, Arguments& a) {
    app.add_option("PROFILE", a.profile, "Profile file (TOML)")->required();
    app.add_option("--count", a.count, "Stop after N foot switches")->type_name("N");
    app.add_option("--timeout", a.timeout, "Stop after MS milliseconds")->type_name("MS");
    app.add_flag("--include-present", a.includePresent, "Also program the foot switches plugged in at the start");
    app.add_flag("--again", a.again, "Program a foot switch again when it is plugged in again");
}

void ExportArguments(CLI::App& app, Arguments& a) {
    app.add_option("PROFILE", a.profile, "Profile file to write")->required();
}

// ---- Help texts of the commands, after their options ---------------------------------------

constexpr const char* kListFooter =
    "Columns: path, vvvv:pppp, input, output and feature report lengths, state\n"
    "(usable, keyboard, mouse, no-access, unusable).\n\n"
    "Examples:\n  treadlectl list\n  treadlectl list --all-interfaces\n"
    "  treadlectl --virtual --virtual-devices 2 list";

// After kKeyHelp.
constexpr const char* kSetNotes =
    "\n\nA key writes the key frame, the key-delay frame and the long-press frame, 50 ms "
    "apart;\nthe key-delay frame also sets power-on run on with loop playback (they share "
    "a slot).\n\nExamples:\n  treadlectl set 2 ctrl+shift+f1\n  treadlectl set 1 f13 "
    "--long-press on\n  treadlectl set 3 mouse-left\n  treadlectl --all set 4 0x87";

constexpr const char* kClearFooter =
    "Asks first on a terminal; without a terminal it needs --yes.\n\n"
    "Examples:\n  treadlectl clear\n  treadlectl --all clear --yes";

constexpr const char* kDelayFooter =
    "Writes the key-delay frame and, 50 ms later, the long-press frame. The key-delay frame\n"
    "also sets power-on run on with loop playback, as they share one slot.\n\n"
    "Examples:\n  treadlectl delay 300\n  treadlectl delay 0 --long-press on";

constexpr const char* kRunModeFooter =
    "The run-mode frame shares its slot with the key delay and sets the delay to 0;\n"
    "a later set, delay or apply sets power-on run on with loop playback again.\n\n"
    "Examples:\n  treadlectl run-mode --power-on off --playback single\n"
    "  treadlectl run-mode --power-on on --playback loop";

constexpr const char* kRawFooter =
    "The text becomes a report as the window's manual write makes it: blanks are\n"
    "dropped, digit pairs fill the report behind report ID 0, missing ones are 00.\n\n"
    "Examples:\n  treadlectl raw \"aa 01 00 00 3C 00 00\"\n  treadlectl --dry-run raw aa 01 7C";

constexpr const char* kReadFooter =
    "Shows ' Report ID: ', ' Report Data:' and one line per data byte, as the window does.\n"
    "No report within the time-out is a failure (exit status 1).\n\n"
    "Examples:\n  treadlectl read\n  treadlectl read --timeout 5000";

constexpr const char* kWatchFooter =
    "Listens to the foot switch's keyboard and mouse interfaces, and to no other device,\n"
    "and prints one line per press in the syntax of 'set' (ctrl+f1, mouse-left). The\n"
    "keys still reach the programs as before. On the virtual foot switch each line also\n"
    "names the switch it matches, or warns that it matches no programmed switch.\n"
    "Without --count and --timeout it runs until interrupted; a time-out with no\n"
    "press (or fewer than --count) is a failure (exit status 1).\n\n"
    "Examples:\n  treadlectl watch\n  treadlectl watch --count 4 --timeout 30000\n"
    "  treadlectl --virtual=pedals.state watch   (hears 'press' from another terminal)";

constexpr const char* kPressFooter =
    "Prints the line 'watch' would print for the press: the combination and the\n"
    "switch it matches. Works only with --virtual. With --virtual=STATE_FILE, a 'watch'\n"
    "or a window on the same state file, in another process, hears the press too.\n\n"
    "Example:\n  treadlectl --virtual=pedals.state set 2 ctrl+f1 && treadlectl --virtual=pedals.state press 2";

constexpr const char* kApplyFooter =
    "[switches] holds keys \"1\" to \"4\" with a KEY text each (any subset); [settings]\n"
    "holds delay_ms and long_press, and optionally power_on_run and playback together.\n"
    "The switches are written first, then the delay and long-press frames, then the\n"
    "run-mode frame. A non-zero delay_ms goes only with power_on_run = true and\n"
    "playback = \"loop\": both live in one device slot.\n\n"
    "  [switches]\n  1 = \"ctrl+shift+f1\"\n  2 = \"mouse-left\"\n\n"
    "  [settings]\n  delay_ms = 0\n  long_press = false\n  power_on_run = true\n"
    "  playback = \"loop\"\n\n"
    "Examples:\n  treadlectl apply office.toml\n  treadlectl --all apply office.toml\n"
    "  treadlectl --dry-run apply office.toml";

constexpr const char* kProvisionFooter =
    "Checks the profile, then waits for foot switches and writes the profile to each one as\n"
    "it is plugged in, once, exactly as apply does; one line per foot switch (a running\n"
    "number, the time, its serial number or USB path, the result), and a count at the end.\n"
    "Those plugged in at the start are left alone unless --include-present; one plugged in\n"
    "again is not programmed twice unless --again. Ctrl-C ends the run with the count.\n"
    "Exit status 0 only when every foot switch asked for was programmed. With --virtual,\n"
    "the virtual foot switch's devices (--virtual-devices N) are plugged in one by one.\n\n"
    "Examples:\n  treadlectl provision office.toml --count 12\n"
    "  treadlectl provision office.toml --include-present --timeout 600000\n"
    "  treadlectl --virtual --virtual-devices 3 provision office.toml --count 3";

constexpr const char* kExportFooter =
    "The real device cannot report what it stores, so this works only with "
    "--virtual.\n\nExample:\n  treadlectl --virtual=pedals.state export "
    "pedals.toml";

constexpr const char* kShowFooter =
    "Each switch's assignment and the two settings slots, decoded. The real device cannot\n"
    "report what it stores, so this works only with --virtual.\n\n"
    "Example:\n  treadlectl --virtual=pedals.state show";

constexpr const char* kKeysFooter = "Example:\n  treadlectl keys | grep kp";

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"list", "List the foot switch's interfaces, tab-separated", kListFooter, &ListArguments, &CmdList},
        {"set", "Assign a key combination or a mouse click to a switch", std::string(kKeyHelp) + kSetNotes,
         &SetArguments, &CmdSet},
        {"clear", "Clear all 32 slots of the device, settings included", kClearFooter, &ClearArguments, &CmdClear},
        {"delay", "Set the key delay and the long-press option", kDelayFooter, &DelayArguments, &CmdDelay},
        {"run-mode", "Set power-on run and playback mode", kRunModeFooter, &RunModeArguments, &CmdRunMode},
        {"raw", "Write one frame given as hex text", kRawFooter, &RawArguments, &CmdRaw},
        {"read", "Read one input report and show it", kReadFooter, &ReadArguments, &CmdRead},
        {"watch", "Show what each pedal press sends, as it happens", kWatchFooter, &WatchArguments, &CmdWatch},
        {"press", "Press a pedal of the virtual foot switch and show what it sends", kPressFooter, &PressArguments,
         &CmdPress},
        {"apply", "Write a profile: switch assignments and settings", kApplyFooter, &ApplyArguments, &CmdApply},
        {"provision", "Program each foot switch with a profile as it is plugged in", kProvisionFooter,
         &ProvisionArguments, &CmdProvision},
        {"export", "Write what the virtual foot switch stores as a profile", kExportFooter, &ExportArguments,
         &CmdExport},
        {"show", "Show what the virtual foot switch stores", kShowFooter, &NoArguments, &CmdShow},
        {"keys", "List every key, modifier and click name", kKeysFooter, &NoArguments, &CmdKeys},
    };
    return commands;
}

}  // namespace treadle::cli
