#include "window/advanced_view.h"

#include <array>

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
    AdvancedPlace{"Label_frame_text", "", {kLeft, 4440, kWidth, 300}},
    AdvancedPlace{"TextIW", "", {kLeft, 4770, 2895, 495}},
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

}  // namespace

std::span<const AdvancedPlace> AdvancedPlaces() { return kPlaces; }

std::span<const char* const> ControlsKeptOutOfView() { return kKeptOut; }

std::deque<Control> AdvancedOnlyControls(Language language) {
    std::deque<Control> controls;
    controls.push_back(Label("Label_settings_note", Msg::SettingsSlotNote, language, 9));
    controls.push_back(Label("Label_frame_text", Msg::FrameTextCaption, language, 9));
    return controls;
}

}  // namespace treadle
