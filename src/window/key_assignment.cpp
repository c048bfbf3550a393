// Modifier toggles and key buttons: a key click writes the combination to the selected
// switch at once, re-sends the delay settings, and logs what it did.
#include "assignment/assignment_log.h"
#include "assignment/press_line.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

Frame USB::ComposeKeyFrame() {
    const Frame frame = KeyFrame(PreviewSlotByte, ModifierByte, CurrentCode);
    TextIW.SetText(FrameText(frame));
    return frame;
}

void USB::RenderToggles() {
    for (const auto& [toggle, bit] : toggles_) {
        toggle->SetBackColor((ModifierByte & bit) != 0 ? colors::kPressed : colors::kButtonFace);
    }
    Command_auto_run.SetBackColor(PowerOnRun ? colors::kPressed : colors::kButtonFace);
}

void USB::ToggleModifier(std::uint8_t bit) {
    ModifierByte = static_cast<std::uint8_t>(ModifierByte ^ bit);
    RenderToggles();
    CurrentCode = 0;
    ComposeKeyFrame();
}

void USB::Command_ctrl_Click() { ToggleModifier(modifier::kCtrl); }
void USB::Command_shift_Click() { ToggleModifier(modifier::kShift); }
void USB::Command_alt_Click() { ToggleModifier(modifier::kAlt); }
void USB::Command_win_Click() { ToggleModifier(modifier::kWin); }
void USB::Command_ctrl_r_Click() { ToggleModifier(modifier::kCtrlRight); }
void USB::Command_shift_r_Click() { ToggleModifier(modifier::kShiftRight); }
void USB::Command_alt_r_Click() { ToggleModifier(modifier::kAltRight); }
void USB::Command_win_r_Click() { ToggleModifier(modifier::kWinRight); }

bool USB::SwitchUsable() {
    if (SelectedSwitch == 0) {
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
    if (!SwitchUsable()) {
        return;
    }
    CurrentCode = KeyTable[static_cast<size_t>(index)];
    const std::string switchText = DecimalText(SelectedSwitch);
    const std::string assigned =
        KeyAssignedLine(switchText, ModifierByte, Command_key[index].Text(), options_.language);
    if (SendKeyFrames(ComposeKeyFrame(), assigned)) {
        PedalProgrammed(SelectedSwitch, KeyFramePress(ModifierByte, CurrentCode));
    }
}

}  // namespace treadle
