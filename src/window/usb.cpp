#include "window/usb.h"

#include "settings/settings_input.h"
#include "text/text_rules.h"
#include "window/control_table.h"
#include "window/pedal_testing.h"

#include <algorithm>
#include <stdexcept>

namespace treadle {
namespace {

Control& Named(std::deque<Control>& controls, const char* name) {
    for (Control& c : controls) {
        if (c.name == name && c.index < 0) {
            return c;
        }
    }
    throw std::logic_error(std::string("the window has no control ") + name);
}

// The modifier toggle that presses `bit`, as the toggle table names it.
Control& Toggle(std::deque<Control>& controls, std::uint8_t bit) {
    for (const ModifierToggle& t : ModifierToggles()) {
        if (t.bit == bit) {
            return Named(controls, t.name);
        }
    }
    throw std::logic_error("no modifier toggle presses bit " + std::to_string(bit));
}

// The controls that act on the device beside the key buttons and the modifier toggles, in
// the order the enable and disable walks take them after the toggles.
constexpr const char* kOtherDeviceControls[] = {"Command1",      "Iwrite",           "Command_L_btn", "Command_M_btn",
                                                "Command_R_btn", "Command_auto_run", "Command2"};

}  // namespace

std::vector<const char*> USB::DeviceControlNames() {
    std::vector<const char*> names;
    for (const ModifierToggle& t : ModifierToggles()) {
        names.push_back(t.name);
    }
    names.insert(names.end(), std::begin(kOtherDeviceControls), std::end(kOtherDeviceControls));
    return names;
}

#define TREADLE_CONTROL(n) n(Named(controls_, #n))

USB::USB(WindowServices services, WindowOptions options)
    : controls_(BuildWindowControls(options.language)),
      TREADLE_CONTROL(Frame2),
      TREADLE_CONTROL(Label3),
      TREADLE_CONTROL(Label6),
      TREADLE_CONTROL(Combo1),
      TREADLE_CONTROL(Label7),
      TREADLE_CONTROL(Frame5),
      TREADLE_CONTROL(Check1),
      TREADLE_CONTROL(Iwrite),
      TREADLE_CONTROL(Frame1),
      TREADLE_CONTROL(Label5),
      TREADLE_CONTROL(Text_delay),
      TREADLE_CONTROL(Label8),
      TREADLE_CONTROL(Frame3),
      TREADLE_CONTROL(Command_L_btn),
      TREADLE_CONTROL(Command_M_btn),
      TREADLE_CONTROL(Command_R_btn),
      TREADLE_CONTROL(FrameKeyBoard),
      Command_ctrl(Toggle(controls_, modifier::kCtrl)),
      Command_shift(Toggle(controls_, modifier::kShift)),
      Command_alt(Toggle(controls_, modifier::kAlt)),
      Command_win(Toggle(controls_, modifier::kWin)),
      Command_ctrl_r(Toggle(controls_, modifier::kCtrlRight)),
      Command_shift_r(Toggle(controls_, modifier::kShiftRight)),
      Command_alt_r(Toggle(controls_, modifier::kAltRight)),
      Command_win_r(Toggle(controls_, modifier::kWinRight)),
      TREADLE_CONTROL(Label11),
      TREADLE_CONTROL(Label4),
      TREADLE_CONTROL(lstResults),
      TREADLE_CONTROL(Clear),
      TREADLE_CONTROL(Timer1),
      TREADLE_CONTROL(contion),
      TREADLE_CONTROL(TextIW),
      TREADLE_CONTROL(Frame4),
      TREADLE_CONTROL(Command_auto_run),
      TREADLE_CONTROL(Option2),
      TREADLE_CONTROL(Option1),
      TREADLE_CONTROL(Command1),
      TREADLE_CONTROL(Command2),
      TREADLE_CONTROL(Label1),
      TREADLE_CONTROL(TextVID),
      TREADLE_CONTROL(Label2),
      TREADLE_CONTROL(TextPID),
      options_(options),
      services_(services),
      link_(services.hid, services.sleeper) {
    MakerPage = TREADLE_GUIDE_URL;
    for (size_t i = 0; i < toggles_.size(); ++i) {
        const ModifierToggle& t = ModifierToggles()[i];
        toggles_[i] = {&Named(controls_, t.name), t.bit};
    }
    // The typed state starts from the design's texts and values.
    for (Control* c : {&Combo1, &Text_delay, &Check1, &Option2}) {
        TakeInput(*c, c == &Check1 || c == &Option2 ? Property::Value : Property::Text);
    }
    if (options_.advanced) {
        ApplyAdvancedView();
    }
    std::vector<Control*> keys;
    std::vector<Control*> pedals;
    for (Control& c : controls_) {
        c.SetObserver(this);
        if (c.name == "Command_key") {
            keys.push_back(&c);
        } else if (c.name == kPedalButton) {
            pedals.push_back(&c);
        }
    }
    auto byIndex = [](const Control* a, const Control* b) { return a->index < b->index; };
    std::sort(keys.begin(), keys.end(), byIndex);
    for (Control* k : keys) {
        Command_key.Add(*k);
    }
    std::sort(pedals.begin(), pedals.end(), byIndex);
    for (Control* p : pedals) {
        Command_pedal.Add(*p);
    }
}

#undef TREADLE_CONTROL

USB::~USB() = default;

void USB::ApplyAdvancedView() {
    for (Control& c : AdvancedOnlyControls(options_.language)) {
        controls_.push_back(std::move(c));  // a deque: the references to the others stay good
    }
    for (const AdvancedPlace& p : AdvancedPlaces()) {
        if (Control* c = Find(p.name)) {
            c->place = p.place;
            c->container = p.container;
        }
    }
    for (const char* name : ControlsKeptOutOfView()) {
        if (Control* c = Find(name)) {
            c->place.left += kAdvancedClientWidth - kClientWidth;
        }
    }
    // The design state, not a change: nothing listens yet. The enabled flags stay as designed
    // (the device group's are set by the start-up sequence and the connection), but the frame
    // text box becomes editable.
    for (Control* c : {&Frame1, &Frame4, &Command1, &Command2}) {
        c->InitState(c->Text(), c->BackColor(), c->ForeColor(), c->Enabled(), true, c->Value());
    }
    TextIW.InitState(TextIW.Text(), TextIW.BackColor(), TextIW.ForeColor(), true, TextIW.Visible(), TextIW.Value());

    // The pedal test listens from the first tick on; its buttons show where pedals can be
    // pressed from here.
    pedalTest_ = std::make_unique<PedalTest>(services_.hid, services_.clock);
    for (Control& c : controls_) {
        if (c.name == kPedalButton) {
            c.InitState(c.Text(), c.BackColor(), c.ForeColor(), true, pedalTest_->CanPressPedals(), 0);
        }
    }
}

bool USB::InView(const Control& control) {
    if (!control.Visible()) {
        return false;
    }
    int left = control.place.left;
    int top = control.place.top;
    for (Control* c = Find(control.container); c != nullptr; c = Find(c->container)) {
        left += c->place.left;
        top += c->place.top;
        if (c->container.empty()) {
            break;
        }
    }
    return left < ClientWidth() && top < ClientHeight();
}

Control* USB::Find(const std::string& name, int index) {
    for (Control& c : controls_) {
        if (c.name == name && c.index == index) {
            return &c;
        }
    }
    return nullptr;
}

void USB::TakeInput(const Control& control, Property property) {
    if (property == Property::Text && &control == &Combo1) {
        const SwitchChoice choice = SwitchChoiceOf(Combo1.Text());
        SelectedSwitch = choice.number;
        PreviewSlotByte = choice.previewSlotByte;
    } else if (property == Property::Text && &control == &Text_delay) {
        DelayNumber = NumericValue(Text_delay.Text());
    } else if (property == Property::Value && &control == &Check1) {
        LongPressState = Check1.Value();
    } else if (property == Property::Value && &control == &Option2) {
        LoopPlayback = Option2.Value() == 1;
    }
}

void USB::ControlChanged(Control& control, Property property) {
    // The text boxes' change events run before anyone hears of the change, as they would
    // inside the text box itself; a nested change reports its own text first.
    if (property == Property::Text) {
        if (&control == &TextIW) {
            TextIW_Change();
        } else if (&control == &Text_delay) {
            Text_delay_Change();
        }
    }
    TakeInput(control, property);
    for (const ChangeListener& listener : listeners_) {
        listener(control, property);
    }
}

// ---- Entry points -------------------------------------------------------------------------

void USB::UserClick(Control& control) {
    if (Busy() || !control.Enabled()) {
        return;
    }
    BusyScope scope(*this);
    if (control.name == "Command_key") {
        Command_key_Click(control.index);
        return;
    }
    if (control.name == kPedalButton) {
        Command_pedal_Click(control.index);
        return;
    }
    if (control.name == kSaveProfileButton) {
        Command_save_profile_Click();
        return;
    }
    if (control.name == kLoadProfileButton) {
        Command_load_profile_Click();
        return;
    }
    if (control.kind == ControlKind::OptionButton) {
        SelectOption(control);
        return;
    }
    using Handler = void (USB::*)();
    const std::pair<Control*, Handler> handlers[] = {
        {&Clear, &USB::Clear_Click},
        {&contion, &USB::contion_Click},
        {&Iwrite, &USB::Iwrite_Click},
        {&Command_L_btn, &USB::Command_L_btn_Click},
        {&Command_M_btn, &USB::Command_M_btn_Click},
        {&Command_R_btn, &USB::Command_R_btn_Click},
        {&Command1, &USB::Command1_Click},
        {&Command2, &USB::Command2_Click},
        {&Command_auto_run, &USB::Command_auto_run_Click},
        {&Label11, &USB::Label11_Click},
    };
    for (auto [c, handler] : handlers) {
        if (c == &control) {
            (this->*handler)();
            return;
        }
    }
    for (const auto& [toggle, bit] : toggles_) {
        if (toggle == &control) {
            ToggleModifier(bit);
            return;
        }
    }
}

// An option button becomes selected and the others of its frame lose the selection; its
// click runs only when it was not selected before.
void USB::SelectOption(Control& option) {
    if (option.Value() == 1) {
        return;
    }
    for (Control& c : controls_) {
        if (&c != &option && c.kind == ControlKind::OptionButton && c.container == option.container) {
            c.SetValue(0);
        }
    }
    option.SetValue(1);
    if (&option == &Option1) {
        Option1_Click();
    } else if (&option == &Option2) {
        Option2_Click();
    }
}

void USB::UserSetCheck(Control& control, int value) {
    if (Busy() || !control.Enabled()) {
        return;
    }
    BusyScope scope(*this);
    control.SetValue(value);
}

void USB::UserEditText(Control& control, std::string text) {
    if (Busy() || !control.Enabled()) {
        return;
    }
    BusyScope scope(*this);
    control.SetText(std::move(text));
}

void USB::UserSelectItem(Control& control, int index) {
    if (Busy() || !control.Enabled()) {
        return;
    }
    BusyScope scope(*this);
    control.SetListIndex(index);
    if (control.kind == ControlKind::ComboBox && index >= 0 && index < static_cast<int>(control.Items().size())) {
        control.SetText(control.Items()[static_cast<size_t>(index)]);
    }
}

// ---- Window events ------------------------------------------------------------------------

void USB::Form_Load() {
    BusyScope scope(*this);
    FillKeyTable(1, 1);
    for (const char* item : {"1", "2", "3", "4"}) {
        Combo1.AddItem(item);
    }
    FillKeyTable(3, 6);
    DisableDeviceControls();
}

void USB::Form_KeyPress(int) {}  // keys typed on the computer's keyboard record nothing

void USB::Form_Unload() {
    BusyScope scope(*this);
    CloseDeviceHandles();
}

void USB::Timer1_Timer() {
    if (Busy()) {
        return;  // a handler is still running (a modal box is open): skip this tick
    }
    BusyScope scope(*this);
    inTimerTick_ = true;
    contion_Click();
    inTimerTick_ = false;
}

void USB::TimerTick() {
    Timer1_Timer();
    PollPedalTest();
}

// ---- Key table ----------------------------------------------------------------------------

void USB::SetKey(int index, int usage, std::string caption) {
    KeyTable.at(static_cast<size_t>(index)) = static_cast<std::uint8_t>(usage);
    Command_key[index].SetText(std::move(caption));
}

void USB::FillKeyTable(int firstStep, int lastStep) {
    for (int step = firstStep; step <= lastStep; ++step) {
        for (KeyTableEntry& key : KeyTableStep(step)) {
            SetKey(key.index, key.usage, std::move(key.caption));
        }
    }
}

// ---- Device-action controls ---------------------------------------------------------------

std::vector<Control*> USB::DeviceControlGroup() {
    std::vector<Control*> group;
    for (int i = 0; i < Command_key.Count(); ++i) {
        group.push_back(&Command_key[i]);
    }
    for (const char* name : DeviceControlNames()) {
        group.push_back(Find(name));
    }
    return group;
}

void USB::EnableDeviceControls() {
    for (Control* c : DeviceControlGroup()) {
        c->SetEnabled(true);
    }
}

void USB::DisableDeviceControls() {
    for (Control* c : DeviceControlGroup()) {
        c->SetEnabled(false);
    }
}

// ---- Pedal test ---------------------------------------------------------------------------

void USB::PollPedalTest() {
    if (!pedalTest_ || Busy()) {
        return;  // the plain window has none; a running handler keeps the tick to itself
    }
    BusyScope scope(*this);
    if (pedalTest_->Poll()) {
        ShowPedalTest();
    }
}

void USB::Command_pedal_Click(int index) {
    if (!pedalTest_) {
        return;
    }
    std::string error;
    pedalPressError_.clear();
    if (!pedalTest_->PressPedal(index + 1, error, options_.language)) {
        pedalPressError_ = Text(Msg::PedalPressFailed, options_.language, {error});
    }
    ShowPedalTest();
}

void USB::PedalProgrammed(int switchNumber, std::optional<PedalPress> press) {
    if (pedalTest_ && switchNumber >= 1 && switchNumber <= kSwitchCount) {
        pedalTest_->SetProgrammed(switchNumber, press);
    }
}

// The switches a press matches, in the window's language.
std::string USB::PedalMatchText(const std::vector<int>& switches) const {
    if (switches.empty()) {
        return T(Msg::PedalNoMatch);
    }
    std::string numbers;
    for (int number : switches) {
        if (!numbers.empty()) {
            numbers += std::string(" ") + T(Msg::PedalOr) + " ";
        }
        numbers += std::to_string(number);
    }
    return Fill(T(Msg::PedalMatch), {numbers});
}

void USB::ShowPedalTest() {
    Control& list = *Find(kPedalPressList);
    list.ClearItems();
    for (const PedalTest::Entry& e : pedalTest_->Presses()) {
        std::string line = e.time + "   " + e.combination;
        if (e.switches) {
            line += "   " + PedalMatchText(*e.switches);
        }
        list.AddItem(std::move(line));
    }
    std::string status = pedalPressError_;
    if (status.empty() && !pedalTest_->Status().empty()) {
        status = Text(Msg::PedalNotListening, options_.language, {pedalTest_->Status()});
    }
    Find(kPedalStatus)->SetText(std::move(status));
}

}  // namespace treadle
