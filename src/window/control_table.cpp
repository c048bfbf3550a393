#include "window/control_table.h"

#include "device/protocol.h"
#include "window/keyboard_layout.h"

#include <array>
#include <string_view>
#include <utility>

namespace treadle {
namespace {

using K = ControlKind;
constexpr std::uint32_t kBack14 = colors::kHighlightText;
constexpr std::uint32_t kFace = colors::kButtonFace;
constexpr std::uint32_t kWin = colors::kWindow;
constexpr std::uint32_t kText8 = colors::kWindowText;
constexpr std::uint32_t kButtonText = colors::System(18);

const char* const kYaHei = "微软雅黑";
const char* const kSong = "宋体";

struct ControlRow {
    const char* name;
    ControlKind kind;
    const char* container;
    const char* text;
    Twips place;
    const char* face;
    double points;
    std::uint32_t back;
    std::uint32_t fore;
    bool enabled = true;
    bool visible = true;
    int value = 0;
    bool graphical = false;
    bool bold = false;
};

// clang-format off
// Controls before the keyboard panel's buttons.
const std::array kTop{
    ControlRow{"Frame2", K::Frame, "", "", {0, 0, 12375, 975}, kYaHei, 10.5, kBack14, kButtonText},
    ControlRow{"Label3", K::Label, "Frame2", "", {120, 140, 2160, 465}, kYaHei, 18, kBack14,
         colors::kStatusGreen},
    ControlRow{"Label6", K::Label, "Frame2", "", {2520, 260, 1020, 315}, kYaHei, 12, kBack14, kButtonText},
    ControlRow{"Combo1", K::ComboBox, "Frame2", "1", {3600, 240, 540, 330}, kSong, 10.5, kWin, kText8},
    ControlRow{"Label7", K::Label, "Frame2", "", {4180, 260, 1335, 375}, kYaHei, 12, kWin, kText8},
    ControlRow{"Frame5", K::Frame, "Frame2", "", {5420, 80, 2535, 600}, kYaHei, 10.5, kBack14, kButtonText},
    ControlRow{"Check1", K::CheckBox, "Frame5", "", {100, 200, 1300, 315}, kSong, 12, kBack14, kButtonText},
    ControlRow{"Iwrite", K::Button, "Frame5", "", {1480, 140, 960, 400}, kYaHei, 10.5, kBack14, kButtonText, false,
         true, 0, true},
    ControlRow{"Frame1", K::Frame, "Frame2", "", {8100, 80, 1660, 600}, kSong, 10.5, kBack14, kButtonText, true, false},
    ControlRow{"Label5", K::Label, "Frame1", "", {60, 200, 465, 300}, kSong, 10.5, kBack14, kButtonText},
    ControlRow{"Text_delay", K::TextBox, "Frame1", "0", {600, 140, 615, 420}, kSong, 10.5, kWin, kText8},
    ControlRow{"Label8", K::Label, "Frame1", "ms", {1260, 160, 285, 300}, kSong, 10.5, kBack14, kButtonText},
    ControlRow{"Frame3", K::Frame, "Frame2", "", {9900, 0, 2180, 700}, kYaHei, 10.5, kBack14, kButtonText},
    ControlRow{"Command_L_btn", K::Button, "Frame3", "", {120, 300, 560, 300}, kYaHei, 10.5, kBack14, kButtonText,
         false, true, 0, true},
    ControlRow{"Command_M_btn", K::Button, "Frame3", "", {820, 300, 560, 300}, kYaHei, 10.5, kBack14, kButtonText,
         false, true, 0, true},
    ControlRow{"Command_R_btn", K::Button, "Frame3", "", {1500, 300, 560, 300}, kYaHei, 10.5, kBack14, kButtonText,
         false, true, 0, true},
    ControlRow{"FrameKeyBoard", K::Frame, "", "", {60, 740, 12020, 3585}, kYaHei, 10.5, kText8, kText8},
};

// Controls after the keyboard panel's buttons.
const std::array kBottom{
    ControlRow{"Label11", K::Label, "FrameKeyBoard", "Treadle", {10000, 270, 1815, 375}, kYaHei, 14.25, kText8,
         colors::kWhite, true, true, 0, false, true},
    ControlRow{"Label4", K::Label, "", "", {120, 4400, 900, 260}, kYaHei, 10.5, kBack14, kButtonText},
    ControlRow{"lstResults", K::ListBox, "", "", {1170, 4395, 10905, 930}, kYaHei, 10.5, kWin, kText8},
    ControlRow{"Clear", K::Button, "", "", {60, 4920, 1000, 360}, kYaHei, 10.5, kBack14, kButtonText, true, true,
         0, true},
    ControlRow{"Timer1", K::Timer, "", "", {12960, 240, 420, 420}, kSong, 10.5, kFace, kButtonText},
    ControlRow{"contion", K::Button, "", "", {12840, 3000, 1455, 855}, kSong, 10.5, kFace, kButtonText},
    ControlRow{"TextIW", K::TextBox, "", "aa 01 00 00 3C 00 00", {12960, 3960, 2895, 495}, kSong, 10.5, kWin, kText8,
         false},
    ControlRow{"Frame4", K::Frame, "", "", {12840, 1920, 3255, 975}, kSong, 10.5, kFace, kButtonText, true, false},
    ControlRow{"Command_auto_run", K::Button, "Frame4", "", {120, 360, 1455, 375}, kYaHei, 10.5, kFace,
         kButtonText, true, true, 0, true},
    ControlRow{"Option2", K::OptionButton, "Frame4", "", {1800, 240, 1335, 255}, kSong, 10.5, kFace, kButtonText,
         true, true, 1},
    ControlRow{"Option1", K::OptionButton, "Frame4", "", {1800, 600, 1215, 255}, kSong, 10.5, kFace, kButtonText},
    ControlRow{"Command1", K::Button, "", "", {12840, 4800, 1455, 375}, kSong, 10.5, kFace, kButtonText, false,
         false},
    ControlRow{"Command2", K::Button, "", "", {14520, 4680, 1095, 375}, kSong, 10.5, kFace, kButtonText, true, false},
    ControlRow{"Label1", K::Label, "", "VID", {13560, 240, 495, 285}, kSong, 10.5, kFace, kButtonText, true, false},
    ControlRow{"TextVID", K::TextBox, "", kFootSwitchVendorIdText, {14160, 240, 855, 375}, kSong, 10.5, kWin, kText8, true, false},
    ControlRow{"Label2", K::Label, "", "PID", {13560, 720, 495, 285}, kSong, 10.5, kFace, kButtonText, true, false},
    ControlRow{"TextPID", K::TextBox, "", kFootSwitchProductIdText, {14160, 720, 855, 375}, kSong, 10.5, kWin, kText8, true, false},
};

// Captions that depend on the language, from the catalogue; the rows above leave them empty.
constexpr std::pair<const char*, Msg> kCaptions[]{
    {"Label3", Msg::StatusNoDevice},
    {"Label6", Msg::SwitchSelection},
    {"Label7", Msg::DefaultSwitch},
    {"Check1", Msg::LongPressOff},
    {"Iwrite", Msg::ManualWrite},
    {"Label5", Msg::DelayCaption},
    {"Frame3", Msg::MouseButtons},
    {"Command_L_btn", Msg::LeftButton},
    {"Command_M_btn", Msg::MiddleButton},
    {"Command_R_btn", Msg::RightButton},
    {"Label4", Msg::StatusInformation},
    {"Clear", Msg::ClearLog},
    {"contion", Msg::ConnectDevice},
    {"Frame4", Msg::ParameterSettings},
    {"Command_auto_run", Msg::PowerOnRun},
    {"Option2", Msg::LoopPlayback},
    {"Option1", Msg::SinglePlayback},
    {"Command1", Msg::ClearAllKeys},
    {"Command2", Msg::ConfirmDelay},
};
// clang-format on

// The English captions that would touch their buttons' edges in the design's size take a
// smaller one, with room for a wider stand-in where the design's face is missing (Wine's is
// the widest seen): the three mouse buttons are 37 pixels wide, and "Right" needs 34 at 10.5
// points; "Clear all keys" needs 95 of 97 at 10.5.
constexpr std::pair<const char*, double> kEnglishPoints[]{
    {"Command_L_btn", 8.25},
    {"Command_M_btn", 8.25},
    {"Command_R_btn", 8.25},
    {"Command1", 9},
};

Control Make(const ControlRow& s, Language language) {
    Control c;
    c.name = s.name;
    c.kind = s.kind;
    c.container = s.container;
    c.place = s.place;
    c.font = {s.face, s.points, s.bold};
    if (language == Language::English) {
        for (const auto& [name, points] : kEnglishPoints) {
            if (std::string_view(name) == s.name) {
                c.font.points = points;
            }
        }
    }
    c.graphical = s.graphical;
    std::string text = s.text;
    for (const auto& [name, caption] : kCaptions) {
        if (std::string_view(name) == s.name) {
            text = Text(caption, language);
        }
    }
    c.InitState(std::move(text), s.back, s.fore, s.enabled, s.visible, s.value);
    return c;
}

Control MakeKey(const KeyPlace& k, const std::string& container, bool visible) {
    Control c;
    c.name = k.name;
    c.index = k.index;
    c.kind = ControlKind::Button;
    c.container = container;
    c.place = k.place;
    c.font = KeyFont(k.index);
    const bool toggle = k.index < 0;
    c.graphical = toggle;
    std::string caption;
    if (toggle) {
        const std::string name = k.name;
        caption = name.find("shift") != std::string::npos  ? "Shift"
                  : name.find("ctrl") != std::string::npos ? "Ctrl"
                  : name.find("alt") != std::string::npos  ? "Alt"
                                                           : "Win";
    } else if (k.index == 79) {
        caption = "enter";  // the spare keeps its design caption
    }
    c.InitState(caption, kFace, kButtonText, true, visible, 0);
    return c;
}

const std::array kHandlerNotes{
    HandlerNote{"Iwrite", "writes the frame in the frame text box as it stands"},
    HandlerNote{"Command_L_btn", "writes a left click to the selected switch"},
    HandlerNote{"Command_M_btn", "writes a middle click to the selected switch"},
    HandlerNote{"Command_R_btn", "writes a right click to the selected switch"},
    HandlerNote{"Command_key",
                "writes the key with the pressed modifiers to the selected switch, then the key delay "
                "and long-press settings"},
    HandlerNote{"Command_ctrl", "presses or releases left Ctrl for the next key and shows the key frame"},
    HandlerNote{"Command_shift", "presses or releases left Shift for the next key and shows the key frame"},
    HandlerNote{"Command_alt", "presses or releases left Alt for the next key and shows the key frame"},
    HandlerNote{"Command_win", "presses or releases the left Windows key for the next key and shows the key frame"},
    HandlerNote{"Command_ctrl_r", "presses or releases right Ctrl for the next key and shows the key frame"},
    HandlerNote{"Command_shift_r", "presses or releases right Shift for the next key and shows the key frame"},
    HandlerNote{"Command_alt_r", "presses or releases right Alt for the next key and shows the key frame"},
    HandlerNote{"Command_win_r", "presses or releases the right Windows key for the next key and shows the key frame"},
    HandlerNote{"Label11", "opens the maker's page in the browser"},
    HandlerNote{"Clear", "empties the activity log"},
    HandlerNote{"Timer1",
                "searches for the foot switch at each tick without a word, connecting or disconnecting; in the "
                "advanced view it also takes the pedal test's presses"},
    HandlerNote{"contion", "searches for the foot switch and connects"},
    HandlerNote{"TextIW", "keeps the frame text box to hex digits and blanks, removing any other character"},
    HandlerNote{"Text_delay", "keeps the key delay between 0 and 65535 ms"},
    HandlerNote{"Command_auto_run", "turns power-on run on or off and writes it with the playback mode"},
    HandlerNote{"Option2", "selects loop playback and writes it with power-on run"},
    HandlerNote{"Option1", "selects single playback and writes it with power-on run"},
    HandlerNote{"Command1", "after a confirmation, clears all 32 slots of the device, settings included"},
    HandlerNote{"Command2", "writes the key delay and the long-press setting"},
    HandlerNote{"Command_pedal", "presses the pedal of the virtual foot switch and lists what the press sends"},
    HandlerNote{"Command_save_profile",
                "asks for a file and saves what the window has written since it started as a profile"},
    HandlerNote{"Command_load_profile",
                "asks for a profile, checks it and writes its switches and settings as treadlectl apply does"},
};

}  // namespace

std::span<const HandlerNote> HandlerNotes() { return kHandlerNotes; }

std::string_view HandlerDescription(std::string_view name) {
    for (const HandlerNote& note : kHandlerNotes) {
        if (name == note.control) {
            return note.description;
        }
    }
    return {};
}

std::deque<Control> BuildWindowControls(Language language) {
    std::deque<Control> controls;
    for (const ControlRow& s : kTop) {
        controls.push_back(Make(s, language));
    }
    for (const KeyPlace& k : KeyboardLayout()) {
        controls.push_back(MakeKey(k, "FrameKeyBoard", true));
    }
    for (const KeyPlace& k : SpareKeyButtons()) {
        controls.push_back(MakeKey(k, "", false));
    }
    for (const ControlRow& s : kBottom) {
        controls.push_back(Make(s, language));
    }
    return controls;
}

}  // namespace treadle
