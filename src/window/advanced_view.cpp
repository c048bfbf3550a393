#include "window/advanced_view.h"

#include <array>
#include <string>
#include <utility>

namespace treadle {
namespace {

// The column's left edge and width: right of the keyboard panel, as wide as the run-mode frame.
constexpr int kLeft = 12240;
constexpr int kWidth = 3255;

const std::array kPlaces{
    // The top band spans the wider window.
    AdvancedPlace{"Frame2", "", {0, 0, kAdvancedClientWidth, 975}},
    // Key delay: the frame with its caption, box and unit, and its confirm button beside it.
    AdvancedPlace{"Frame1", "", {kLeft, 1080, 1900, 600}},
    AdvancedPlace{"Label5", "Frame1", {60, 200, 700, 300}},
    AdvancedPlace{"Text_delay", "Frame1", {780, 140, 615, 420}},
    AdvancedPlace{"Label8", "Frame1", {1440, 160, 400, 300}},
    AdvancedPlace{"Command2", "", {kLeft + kWidth - 1215, 1192, 1215, 375}},
    // Power-on run and playback mode, as designed inside their frame.
    AdvancedPlace{"Frame4", "", {kLeft, 1800, kWidth, 975}},
    AdvancedPlace{"Label_settings_note", "", {kLeft, 2850, kWidth, 1020}},
    AdvancedPlace{"Command1", "", {kLeft, 3960, 1455, 375}},
    AdvancedPlace{"Command_save_profile", "", {kLeft, 4440, 1560, 375}},
    AdvancedPlace{"Command_load_profile", "", {kLeft + kWidth - 1560, 4440, 1560, 375}},
    AdvancedPlace{"Label_frame_text", "", {kLeft, 4920, kWidth, 300}},
    AdvancedPlace{"TextIW", "", {kLeft, 5250, 2895, 495}},
};

constexpr std::array<const char*, 6> kKeptOut{"Timer1", "contion", "Label1", "TextVID", "Label2", "TextPID"};

Control Label(const char* name, Msg caption, Language language, double points) {
    Control c;
    c.name = name;
    c.kind = ControlKind::Label;
    c.font = {"微软雅黑", points, false};
    c.wordWrap = true;
    for (const AdvancedPlace& p : kPlaces) {
        if (std::string(p.name) == name) {
            c.place = p.place;
        }
    }
    c.InitState(Text(caption, language), colors::kHighlightText, colors::System(18), true, true, 0);
    return c;
}

// The pedal test's band under the log, across the whole width.
constexpr Twips kPanel{60, 5880, kAdvancedClientWidth - 120, 2295};
constexpr int kPanelRight = 10680;  // left edge of the status line and the buttons, in the frame

// A button of the column at its place.
Control ColumnButton(const char* name, Msg caption, Language language) {
    Control c = Label(name, caption, language, 10.5);
    c.kind = ControlKind::Button;
    c.wordWrap = false;
    c.InitState(c.Text(), colors::kButtonFace, colors::System(18), true, true, 0);
    return c;
}

Control Panel(const char* name, ControlKind kind, Twips place, std::string text, std::uint32_t back, std::uint32_t fore,
              const char* container = kPedalTestFrame) {
    Control c;
    c.name = name;
    c.kind = kind;
    c.container = container;
    c.place = place;
    c.font = {"微软雅黑", 10.5, false};
    c.InitState(std::move(text), back, fore, true, true, 0);
    return c;
}

}  // namespace

std::span<const AdvancedPlace> AdvancedPlaces() { return kPlaces; }

std::span<const char* const> ControlsKeptOutOfView() { return kKeptOut; }

std::deque<Control> AdvancedOnlyControls(Language language) {
    std::deque<Control> controls;
    controls.push_back(Label("Label_settings_note", Msg::SettingsSlotNote, language, 9));
    controls.push_back(Label("Label_frame_text", Msg::FrameTextCaption, language, 9));
    controls.push_back(ColumnButton(kSaveProfileButton, Msg::SaveProfile, language));
    controls.push_back(ColumnButton(kLoadProfileButton, Msg::LoadProfile, language));

    const std::uint32_t text = colors::System(18);
    controls.push_back(Panel(kPedalTestFrame, ControlKind::Frame, kPanel, Text(Msg::PedalTestCaption, language),
                             colors::kHighlightText, text, ""));
    controls.push_back(Panel(kPedalPressList, ControlKind::ListBox, {120, 300, kPanelRight - 240, 1875}, "",
                             colors::kWindow, colors::kWindowText));
    Control status = Panel(kPedalStatus, ControlKind::Label, {kPanelRight, 300, kPanel.width - kPanelRight - 120, 1155},
                           "", colors::kHighlightText, text);
    status.font.points = 9;
    status.wordWrap = true;
    controls.push_back(std::move(status));
    for (int i = 0; i < kPedalButtons; ++i) {
        Control button = Panel(kPedalButton, ControlKind::Button, {kPanelRight + i * 1200, 1620, 1095, 420},
                               Text(Msg::PedalButton, language, {std::to_string(i + 1)}), colors::kButtonFace, text);
        button.index = i;
        button.InitState(button.Text(), button.BackColor(), button.ForeColor(), true, false, 0);
        controls.push_back(std::move(button));
    }
    return controls;
}

}  // namespace treadle
