// The three mouse buttons: each assigns its click to the selected switch.
#include "assignment/assignment_log.h"
#include "assignment/press_line.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

Frame USB::ComposeMouseFrame() {
    const Frame frame = MouseFrame(PreviewSlotByte, CurrentCode);
    TextIW.SetText(FrameText(frame));
    return frame;
}

void USB::AssignMouseButton(int code) {
    if (!SwitchUsable()) {
        return;
    }
    CurrentCode = static_cast<std::uint8_t>(code);
    FrameJob job;
    job.steps.push_back({ComposeMouseFrame(), {}, 0});
    const std::string switchText = DecimalText(SelectedSwitch);
    if (SendAndLog(std::move(job), MouseAssignedLine(switchText, code, options_.language))) {
        PedalProgrammed(SelectedSwitch, MouseFramePress(CurrentCode));
    }
}

void USB::Command_L_btn_Click() { AssignMouseButton(mouse::kLeft); }
void USB::Command_M_btn_Click() { AssignMouseButton(mouse::kMiddle); }
void USB::Command_R_btn_Click() { AssignMouseButton(mouse::kRight); }

}  // namespace treadle
