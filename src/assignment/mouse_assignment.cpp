// The three mouse buttons: each assigns its click to the selected switch.
#include "assignment/frames.h"
#include "assignment/press_line.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

void USB::ComposeMouseFrame() {
    TextIW.SetText(MouseFrameText(NumericValue(Combo1.Text()), NumericValue(CurrentCode)));
}

void USB::AssignMouseButton(int code) {
    double switchNumber = 0;
    if (!SwitchUsable(switchNumber)) {
        return;
    }
    CurrentCode = DecimalText(code);
    ComposeMouseFrame();
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    if (!outcomes.AllWritten()) {
        LogMessage(outcomes.FailureLine(options_.language));
        return;
    }
    PedalProgrammed(switchNumber, MouseFramePress(static_cast<std::uint8_t>(code)));
    LogMessage(MouseAssignedLine(DecimalText(RoundToInt64(switchNumber)), code, options_.language));
}

void USB::Command_L_btn_Click() { AssignMouseButton(mouse::kLeft); }
void USB::Command_M_btn_Click() { AssignMouseButton(mouse::kMiddle); }
void USB::Command_R_btn_Click() { AssignMouseButton(mouse::kRight); }

}  // namespace treadle
