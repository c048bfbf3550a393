// The window `USB`: every control with its state, the window-level variables, and the event
// handlers and procedures of the whole system. It knows no toolkit; a front end renders the
// controls, forwards the user's events to the entry points below and re-renders what the
// change listeners report.
#pragma once

#include "device/foot_switch_link.h"
#include "device/hid_platform.h"
#include "device/pedal_press.h"
#include "device/protocol.h"
#include "device/send_outcome.h"
#include "text/catalogue.h"
#include "window/advanced_view.h"
#include "window/control.h"
#include "window/keyboard_layout.h"
#include "window/services.h"
#include "window/written_slots.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace treadle {

class PedalTest;

struct WindowServices {
    HidPlatform& hid;
    Clock& clock;
    Sleeper& sleeper;
    MessageBoxes& boxes;
    UrlOpener& url;
    // The file dialog of the profile buttons; without one they do nothing.
    FileDialogs* files = nullptr;
};

// How the window is shown: its language, and whether the advanced view shows the settings
// controls the plain design keeps out of view. Fixed for the window's life.
struct WindowOptions {
    Language language = Language::Chinese;
    bool advanced = false;
};

// A family of controls sharing one name, told apart by Index.
class ControlFamily {
public:
    Control& operator[](int index) { return *members_.at(static_cast<size_t>(index)); }
    const Control& operator[](int index) const { return *members_.at(static_cast<size_t>(index)); }
    int Count() const { return static_cast<int>(members_.size()); }
    void Add(Control& c) { members_.push_back(&c); }

private:
    std::vector<Control*> members_;
};

class USB final : private ControlObserver {
public:
    using ChangeListener = std::function<void(const Control&, Property)>;

    explicit USB(WindowServices services, WindowOptions options = {});
    ~USB() override;
    USB(const USB&) = delete;
    USB& operator=(const USB&) = delete;

    // ---- Window design -------------------------------------------------------------------
    static constexpr int kClientWidth = 12135;  // twips
    static constexpr int kClientHeight = 5415;
    static constexpr std::uint32_t kBackColor = colors::kHighlightText;
    static constexpr int kTimerInterval = 350;  // ms
    std::string Caption = "Treadle";
    // The client area's width as shown: the design's, or the advanced view's wider one.
    int ClientWidth() const { return options_.advanced ? kAdvancedClientWidth : kClientWidth; }
    int ClientHeight() const { return options_.advanced ? kAdvancedClientHeight : kClientHeight; }
    Language WindowLanguage() const { return options_.language; }
    bool Advanced() const { return options_.advanced; }
    // A text of the catalogue in the window's language.
    const char* T(Msg id) const { return Text(id, options_.language); }
    FontSpec DefaultFont{"宋体", 10.5, false};

    // Every control, in design order, for front ends that walk them.
    const std::deque<Control>& Controls() const { return controls_; }
    Control* Find(const std::string& name, int index = -1);
    // True when a front end shows the control: visible and inside the client area. Hidden
    // controls, and those the design places right of or below the area, stay out of view.
    bool InView(const Control& control);

    void AddChangeListener(ChangeListener listener) { listeners_.push_back(std::move(listener)); }

    // ---- Entry points for front ends: one user event each ---------------------------------
    // Events that arrive while a handler is still running (a modal box's nested event loop)
    // are dropped, so handlers never overlap.
    void UserClick(Control& control);
    void UserSetCheck(Control& control, int value);
    void UserEditText(Control& control, std::string text);
    void UserSelectItem(Control& control, int index);
    bool Busy() const { return busy_ > 0; }
    // The window's timer: Timer1's tick, then the pedal test's poll in the advanced view. Runs
    // on the window's own thread, like every entry point.
    void TimerTick();

    // ---- Window events -------------------------------------------------------------------
    void Form_Load();
    void Form_KeyPress(int keyAscii);
    void Form_Unload();
    void Timer1_Timer();

    // ---- Window and controls -------------------------------------------------------------
    void EnableDeviceControls();
    void DisableDeviceControls();

    // ---- Activity log --------------------------------------------------------------------
    void LogMessage(const std::string& message);
    void AddPlainLine(const std::string& line);  // a line without time stamp, not selected
    void SelectLastLine();
    void Clear_Click();

    // ---- Device discovery and connection -------------------------------------------------
    void contion_Click();
    bool FindTheHid();
    void GetDeviceCapabilities(const InterfaceInfo& found);
    void CloseDeviceHandles();

    // ---- Frame sender and manual frame entry ---------------------------------------------
    // Writes the frame text in TextIW as typed; the outcome tells whether the whole report
    // was written.
    SendOutcome SendFrame();
    // Writes an action's frames through the link, each shown in TextIW as it goes, every one
    // of them even after one failed; `done` hears of each frame as it is written.
    SendOutcomes SendFrames(FrameJob job, const FootSwitchLink::StepDone& done = {});
    // Sends the frames, then logs the success line when every one was written (none: logs
    // nothing then) and otherwise the line that says what failed. True when all were written.
    bool SendAndLog(FrameJob job, const std::string& successLine, const FootSwitchLink::StepDone& done = {});
    void TextIW_Change();
    void Iwrite_Click();

    // ---- Key assignment ------------------------------------------------------------------
    // The key frame of the selected switch, the pressed modifiers and CurrentCode, shown in
    // TextIW.
    Frame ComposeKeyFrame();
    void Command_ctrl_Click();
    void Command_shift_Click();
    void Command_alt_Click();
    void Command_win_Click();
    void Command_ctrl_r_Click();
    void Command_shift_r_Click();
    void Command_alt_r_Click();
    void Command_win_r_Click();
    void Command_key_Click(int index);

    // ---- Mouse assignment ----------------------------------------------------------------
    Frame ComposeMouseFrame();
    void Command_L_btn_Click();
    void Command_M_btn_Click();
    void Command_R_btn_Click();

    // ---- Input report reader -------------------------------------------------------------
    void PrepareReadEvent();
    void ReadInputReport();
    std::string GetSystemErrorText(std::uint32_t code);
    static constexpr int kReadWaitMs = 100;

    // ---- Auxiliary -----------------------------------------------------------------------
    void Label11_Click();
    // The page the maker's label opens; the build sets its default.
    std::string MakerPage;

    // ---- Device settings -----------------------------------------------------------------
    void Command1_Click();
    // Sends the key-delay and long-press frames, or says that the device was never connected.
    void Command2_Click();
    void Text_delay_Change();
    void Command_auto_run_Click();
    void Option1_Click();
    void Option2_Click();

    // ---- Pedal test (advanced view) ------------------------------------------------------
    // Presses pedal index + 1 of the virtual foot switch.
    void Command_pedal_Click(int index);
    // Takes the presses that came since the last tick into the list.
    void PollPedalTest();
    // The pedal test, in the advanced view only.
    const PedalTest* PedalTester() const { return pedalTest_.get(); }
    // The pedal buttons, in the advanced view only (empty otherwise).
    ControlFamily Command_pedal;

    // ---- Profiles (advanced view) --------------------------------------------------------
    // Asks for a file and saves what the window has written since it started as a profile.
    void Command_save_profile_Click();
    // Asks for a profile, checks it and writes it to the device as treadlectl apply does.
    void Command_load_profile_Click();
    // The same without the dialog; true when the profile was saved or every frame written.
    // A profile is never saved over the virtual foot switch's own files.
    bool SaveProfile(std::string path);
    bool LoadProfile(const std::string& path);

    // ---- Controls ------------------------------------------------------------------------
private:
    std::deque<Control> controls_;  // declared first: the references below point into it

public:
    Control& Frame2;
    Control& Label3;
    Control& Label6;
    Control& Combo1;
    Control& Label7;
    Control& Frame5;
    Control& Check1;
    Control& Iwrite;
    Control& Frame1;
    Control& Label5;
    Control& Text_delay;
    Control& Label8;
    Control& Frame3;
    Control& Command_L_btn;
    Control& Command_M_btn;
    Control& Command_R_btn;
    Control& FrameKeyBoard;
    ControlFamily Command_key;
    Control& Command_ctrl;
    Control& Command_shift;
    Control& Command_alt;
    Control& Command_win;
    Control& Command_ctrl_r;
    Control& Command_shift_r;
    Control& Command_alt_r;
    Control& Command_win_r;
    Control& Label11;
    Control& Label4;
    Control& lstResults;
    Control& Clear;
    Control& Timer1;
    Control& contion;
    Control& TextIW;
    Control& Frame4;
    Control& Command_auto_run;
    Control& Option2;
    Control& Option1;
    Control& Command1;
    Control& Command2;
    Control& Label1;
    Control& TextVID;
    Control& Label2;
    Control& TextPID;

    // The controls that act on the device beside the key buttons, which a connection enables
    // and a lost one disables: the modifier toggles, then Command1, Iwrite, the mouse buttons,
    // Command_auto_run and Command2.
    static std::vector<const char*> DeviceControlNames();

    // ---- Window-level variables ----------------------------------------------------------
    // The HID usage of each key button; 0 where the index has no key.
    std::array<std::uint8_t, kKeyTableSize> KeyTable{};

    bool DeviceDetected = false;
    bool DeviceEverDetected = false;
    HidHandle HIDHandle = 0;
    HidHandle ReadHandle = 0;
    int OutputReportLength = 0;
    int InputReportLength = 0;
    std::string VendorIDText;
    std::string ProductIDText;
    std::string DevicePath;
    bool LastInterfaceReached = false;
    HidCaps Capabilities;
    std::int64_t LastApiResult = 0;

    // What the user chose, kept typed and rendered into the controls. The texts and values a
    // user enters are taken in once, when they change; the one input read back from its
    // controls is the pair of ID boxes, which Timer1 reads at every tick, as the design asks
    // (VendorIDText and ProductIDText above).
    std::uint8_t CurrentCode = 0;   // the key's usage or a mouse button code; 0: nothing yet
    std::uint8_t ModifierByte = 0;  // the pressed modifier toggles, one bit each (modifier::k...)
    bool PowerOnRun = false;        // Command_auto_run is pressed
    int SelectedSwitch = 0;         // the switch Combo1's text names, 1 to 4; 0: none of them
    std::uint8_t PreviewSlotByte = 0;  // the slot byte the frames shown for Combo1's number carry
    double DelayNumber = 0;         // the number Text_delay's text stands for
    int LongPressState = 0;         // Check1: 0 off, 1 on, 2 grey
    bool LoopPlayback = false;      // Option2 is selected

    static constexpr int kPauseMs = treadle::kPauseMs;

    // Shown when the device is there but the user may not open it; said once per plug-in.
    static constexpr const char* kNoAccessMessage = Text(Msg::NoAccess, Language::Chinese);

private:
    void ControlChanged(Control& control, Property property) override;
    // Moves the column's controls to their advanced places and shows them.
    void ApplyAdvancedView();
    // Tells the user of a state or capture file that cannot be written, once until a write
    // succeeds again: one action writes several reports.
    void ReportFileFailure(const WriteResult& written);
    // Keeps a frame the device took in the record a saved profile is made from.
    void RememberWritten(const JobStep& step);
    // The connection a frame is written to; a device that was connected once is looked for
    // again. Null when there is none.
    const Connection* ReachDevice();
    // Takes in what the user entered into a control whose value the model keeps typed.
    void TakeInput(const Control& control, Property property);
    // Renders the typed state of the toggles into their colours.
    void RenderToggles();
    // Writes the key frame when there is one, then the key delay and long-press frames, and
    // logs as SendAndLog does; says the delay in the log once its frame is written.
    bool SendKeyFrames(std::optional<Frame> key, const std::string& successLine);
    void FillKeyTable(int firstStep, int lastStep);
    void SetKey(int index, int usage, std::string caption);
    void ToggleModifier(std::uint8_t bit);
    void AssignMouseButton(int code);
    void SelectOption(Control& option);
    // Tells the pedal test what a switch was just programmed with.
    void PedalProgrammed(int switchNumber, std::optional<PedalPress> press);
    // The list and the status line as the pedal test has them.
    void ShowPedalTest();
    std::string PedalMatchText(const std::vector<int>& switches) const;
    // True when the selected switch is one of the device's; says why not otherwise.
    bool SwitchUsable();

    // A user event begins: the state file's lock is waited for at most the window's wait in
    // all for the whole of it, however many frames it writes.
    void UserEventStarts();

    // The device-action group, in the order the enable and disable walks take it: the key
    // buttons, then the controls DeviceControlNames names.
    std::vector<Control*> DeviceControlGroup();
    // The modifier toggles as the toggle table (ModifierToggles) has them, with their bits.
    std::array<std::pair<Control*, std::uint8_t>, 8> toggles_{};

    struct BusyScope {
        explicit BusyScope(USB& w) : window(w) {
            if (window.busy_++ == 0) {
                window.UserEventStarts();
            }
        }
        ~BusyScope() { --window.busy_; }
        USB& window;
    };

    WindowOptions options_;
    std::unique_ptr<PedalTest> pedalTest_;
    std::string pedalPressError_;
    bool inTimerTick_ = false;
    bool readEventPrepared_ = false;
    bool noAccessReported_ = false;
    // The last tick's search found the foot switch only where access was denied. udev gives
    // the user access a moment after a plugged-in device's node appears, so a tick's search
    // says so only when the tick before it was denied too.
    bool deniedLastTick_ = false;
    bool fileFailureReported_ = false;
    WrittenSlots written_;
    // Why a profile may not be saved to a path, in the window's language; empty when it may.
    std::string ProfileTargetRefusal(const std::string& path) const;
    // Logs what writing a profile did and tells the pedal test; true when every frame went.
    bool ReportProfileWrite(const std::string& path, const Profile& profile, const std::vector<bool>& stepsWritten);
    // Shows the profile's delay, long press and run mode in their controls.
    void ShowProfileSettings(const Profile& profile);
    WindowServices services_;
    FootSwitchLink link_;
    Connection connection_;
    std::vector<ChangeListener> listeners_;
    int busy_ = 0;
};

// The number an ID text ("&H" and up to four hex digits) stands for, or -1 when it is empty,
// longer than four digits or not hex.
int ParseIdText(const std::string& idText);

}  // namespace treadle
