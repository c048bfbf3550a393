// The profile buttons of the advanced view: a profile is the TOML file of treadlectl's export
// and apply, read with the same checks and written with the same frames.
#include "assignment/key_names.h"
#include "device/user_file.h"
#include "device/virtual_foot_switch.h"
#include "settings/profile.h"
#include "text/shown_text.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {
namespace {

constexpr const char* kProfileExtension = ".toml";

// The name a profile is saved under: the chosen one, with ".toml" when it has no extension.
std::string WithProfileExtension(std::string path) {
    const size_t name = path.find_last_of("/\\");
    const std::string base = name == std::string::npos ? path : path.substr(name + 1);
    if (!base.empty() && base.find('.') == std::string::npos) {
        path += kProfileExtension;
    }
    return path;
}

// What each part of a profile's job writes, in the window's language, and how many frames it
// takes: a switch one, the key delay with the long press two, the run mode one.
struct JobPart {
    std::string text;
    size_t frames;
};

std::vector<JobPart> ProfileParts(const Profile& profile, Language language) {
    std::vector<JobPart> parts;
    for (const auto& [number, choice] : profile.switches) {
        parts.push_back(
            {Text(Msg::ProfilePartSwitch, language, {std::to_string(number), KeyCombinationText(choice)}), 1});
    }
    parts.push_back({Text(Msg::ProfilePartDelay, language, {std::to_string(profile.delayMs)}) +
                         Text(Msg::ProfileSeparator, language) +
                         Text(profile.longPress ? Msg::ProfilePartLongPressOn : Msg::ProfilePartLongPressOff, language),
                     2});
    if (profile.runMode) {
        const std::string playback =
            Text(profile.runMode->loopPlayback ? Msg::ProfileLoop : Msg::ProfileSingle, language);
        parts.push_back({Text(profile.runMode->powerOnRun ? Msg::ProfilePartRunModeOn : Msg::ProfilePartRunModeOff,
                              language, {playback}),
                         RunModeFrameRedundant(profile) ? size_t{0} : size_t{1}});
    }
    return parts;
}

std::string Joined(const std::vector<std::string>& texts, Language language) {
    if (texts.empty()) {
        return Text(Msg::ProfileNothing, language);
    }
    std::string joined;
    for (const std::string& t : texts) {
        joined += (joined.empty() ? "" : Text(Msg::ProfileSeparator, language)) + t;
    }
    return joined;
}

}  // namespace

void USB::Command_save_profile_Click() {
    if (services_.files == nullptr) {
        return;
    }
    const std::optional<std::string> path =
        services_.files->Ask(FileDialogKind::Save, T(Msg::SaveProfile), T(Msg::ProfileFileFilter), kProfileExtension);
    if (path) {
        SaveProfile(*path);
    }
}

void USB::Command_load_profile_Click() {
    if (!DeviceDetected && !DeviceEverDetected) {
        LogMessage(T(Msg::NotConnected));
        return;
    }
    if (services_.files == nullptr) {
        return;
    }
    const std::optional<std::string> path =
        services_.files->Ask(FileDialogKind::Open, T(Msg::LoadProfile), T(Msg::ProfileFileFilter), kProfileExtension);
    if (path) {
        LoadProfile(*path);
    }
}

// Why a profile may not be written to `path`, in the window's language: it is one of the
// virtual foot switch's own files, which a profile would replace. Empty for any other path.
std::string USB::ProfileTargetRefusal(const std::string& path) const {
    const auto* device = dynamic_cast<const VirtualFootSwitch*>(&services_.hid);
    const VirtualFile file = device == nullptr ? VirtualFile::None : device->FileOf(path);
    Msg role = Msg::VirtualStateFile;
    switch (file) {
        case VirtualFile::None:
            return {};
        case VirtualFile::State:
            break;
        case VirtualFile::Lock:
            role = Msg::VirtualStateLock;
            break;
        case VirtualFile::PressQueue:
            role = Msg::VirtualPressQueue;
            break;
        case VirtualFile::Capture:
            role = Msg::VirtualCaptureFile;
            break;
    }
    const std::string own = ShownText(device->FilePath(file), kShownPathBytes);
    return Text(Msg::ProfileIsVirtualFile, options_.language, {Text(role, options_.language, {own})});
}

bool USB::SaveProfile(std::string path) {
    path = WithProfileExtension(std::move(path));
    const std::string shownPath = ShownText(path, kShownPathBytes);
    ProfileGaps gaps;
    std::vector<std::string> notes;
    const Profile profile = written_.ToProfile(gaps, notes);
    std::string header = "written by the window: what it wrote to the foot switch since it started";
    for (const std::string& note : notes) {
        header += "\n" + note;
    }
    std::string why = ProfileTargetRefusal(path);
    if (why.empty()) {
        why = ReplaceUserFile(path, ProfileText(profile, header));
    }
    if (!why.empty()) {
        const std::string message = Text(Msg::ProfileSaveFailed, options_.language, {shownPath, why});
        LogMessage(message);
        services_.boxes.Show(message, Caption, MessageButtons::Ok);
        return false;
    }
    for (int number : gaps.unknownSwitches) {
        LogMessage(Text(Msg::ProfileSwitchUnknown, options_.language, {std::to_string(number)}));
    }
    if (gaps.longPressUnknown) {
        LogMessage(T(Msg::ProfileLongPressUnknown));
    }
    if (gaps.delayAndRunModeUnknown) {
        LogMessage(T(Msg::ProfileDelayUnknown));
    }
    for (const std::string& note : gaps.slotNotes) {
        LogMessage(Text(Msg::ProfileNote, options_.language, {note}));
    }
    LogMessage(Text(Msg::ProfileSaved, options_.language, {shownPath}));
    return true;
}

bool USB::LoadProfile(const std::string& path) {
    const ProfileRead read = ReadProfile(path);
    if (!read.ok()) {
        const std::string message =
            Text(read.unreadable ? Msg::ProfileUnreadable : Msg::ProfileBroken, options_.language, {read.error});
        LogMessage(message);
        services_.boxes.Show(message, Caption, MessageButtons::Ok);
        return false;
    }
    FrameJob job = ProfileFrameJob(read.profile);
    std::vector<bool> stepsWritten(job.steps.size(), false);
    SendFrames(std::move(job), [&stepsWritten](size_t step, const StepResult& result) {
        if (step < stepsWritten.size()) {
            stepsWritten[step] = result.Outcome() == SendOutcome::Written;
        }
    });
    return ReportProfileWrite(path, read.profile, stepsWritten);
}

bool USB::ReportProfileWrite(const std::string& path, const Profile& profile, const std::vector<bool>& stepsWritten) {
    std::vector<std::string> written;
    std::vector<std::string> notWritten;
    size_t step = 0;
    bool settingsWritten = false;
    auto switchAt = profile.switches.begin();
    for (const JobPart& part : ProfileParts(profile, options_.language)) {
        bool all = true;
        for (size_t i = 0; i < part.frames; ++i) {
            all = all && step < stepsWritten.size() && stepsWritten[step];
            ++step;
        }
        // The run mode a redundant frame would write came with the delay frame.
        all = part.frames > 0 ? all : settingsWritten;
        (all ? written : notWritten).push_back(part.text);
        if (switchAt != profile.switches.end()) {
            const auto& [number, choice] = *switchAt++;
            if (all) {
                PedalProgrammed(number, choice.mouse
                                            ? MouseFramePress(static_cast<std::uint8_t>(choice.usage))
                                            : KeyFramePress(choice.modifiers, static_cast<std::uint8_t>(choice.usage)));
            }
        } else if (part.frames == 2) {
            settingsWritten = all;
        }
    }
    const std::string shownPath = ShownText(path, kShownPathBytes);
    if (notWritten.empty()) {
        LogMessage(Text(Msg::ProfileLoaded, options_.language, {shownPath, Joined(written, options_.language)}));
        ShowProfileSettings(profile);
        return true;
    }
    const std::string message =
        Text(Msg::ProfileNotAllWritten, options_.language,
             {shownPath, Joined(written, options_.language), Joined(notWritten, options_.language)});
    LogMessage(message);
    services_.boxes.Show(message, Caption, MessageButtons::Ok);
    return false;
}

void USB::ShowProfileSettings(const Profile& profile) {
    Text_delay.SetText(std::to_string(profile.delayMs));
    Check1.SetValue(profile.longPress ? 1 : 0);
    if (profile.runMode) {
        PowerOnRun = profile.runMode->powerOnRun;
        RenderToggles();
        Option2.SetValue(profile.runMode->loopPlayback ? 1 : 0);
        Option1.SetValue(profile.runMode->loopPlayback ? 0 : 1);
    }
}

}  // namespace treadle
