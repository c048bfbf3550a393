// Modifier toggles and key buttons: a key click writes the combination to the selected
// switch at once, re-sends the delay settings, and logs what it did.
#include "assignment/frames.h"
#include "assignment/press_line.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

void USB::ComposeKeyFrame() {
    const double switchNumber = NumericValue(Combo1.Text());
    ModifierByte = 0;
    const Control* toggles[] = {&Command_ctrl,   &Command_shift,   &Command_alt,   &Command_win,
                                &Command_ctrl_r, &Command_shift_r, &Command_alt_r, &Command_win_r};
    for (int bit = 0; bit < 8; ++bit) {
        if (toggles[bit]->BackColor() == colors::kPressed) {
            ModifierByte = static_cast<std::uint8_t>(ModifierByte | (1u << bit));
        }
    }
    TextIW.SetText(KeyFrameText(switchNumber, ModifierByte, NumericValue(CurrentCode)));
}

void USB::ToggleModifier(Control& toggle) {
    toggle.SetBackColor(toggle.BackColor() == colors::kButtonFace ? colors::kPressed : colors::kButtonFace);
    // assign(1, '0') rather than = "0": GCC 12 at -O2 warns of an overlapping copy that
    // cannot happen in basic_string's assignment from a literal.
    CurrentCode.assign(1, '0');
    ComposeKeyFrame();
}

void USB::Command_ctrl_Click() { ToggleModifier(Command_ctrl); }
void USB::Command_shift_Click() { ToggleModifier(Command_shift); }
void USB::Command_alt_Click() { ToggleModifier(Command_alt); }
void USB::Command_win_Click() { ToggleModifier(Command_win); }
void USB::Command_ctrl_r_Click() { ToggleModifier(Command_ctrl_r); }
void USB::Command_shift_r_Click() { ToggleModifier(Command_shift_r); }
void USB::Command_alt_r_Click() { ToggleModifier(Command_alt_r); }
void USB::Command_win_r_Click() { ToggleModifier(Command_win_r); }

bool USB::SwitchUsable(double& number) {
    number = NumericValue(Combo1.Text());
    if (!IsSwitchNumber(number)) {
        // Slot bytes outside switches 1 to 4 belong to no switch (0x78 and 0x7C hold settings).
        LogMessage(T(Msg::BadSwitch));
        return false;
    }
    return true;
}

void USB::Command_key_Click(int index) {
    if (!DeviceDetected && !DeviceEverDetected) {
        LogMessage(T(Msg::NotConnected));
        return;
    }
    if (index < 0 || index >= kKeyTableSize || index >= Command_key.Count()) {
        return;
    }
    double switchNumber = 0;
    if (!SwitchUsable(switchNumber)) {
        return;
    }
    CurrentCode = KeyTable[static_cast<size_t>(index)];
    ComposeKeyFrame();
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    services_.sleeper.Sleep(kPauseMs);
    outcomes.Add(SendDelaySettings());
    if (!outcomes.AllWritten()) {
        LogMessage(outcomes.FailureLine(options_.language));
        return;
    }
    PedalProgrammed(switchNumber,
                    KeyFramePress(ModifierByte, static_cast<std::uint8_t>(RoundToInt64(NumericValue(CurrentCode)))));
    const std::string switchText = DecimalText(RoundToInt64(NumericValue(Combo1.Text())));
    LogMessage(KeyAssignedLine(switchText, ModifierByte, Command_key[index].Text(), options_.language));
}

}  // namespace treadle
