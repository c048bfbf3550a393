// Power-on run and playback mode share one frame: each of the three controls sends both.
#include "settings/settings_frames.h"
#include "window/usb.h"

namespace treadle {

void USB::Command_auto_run_Click() {
    const bool wasOn = Command_auto_run.BackColor() == colors::kPressed;
    Command_auto_run.SetBackColor(wasOn ? colors::kButtonFace : colors::kPressed);
    TextIW.SetText(RunModeFrameText(!wasOn, Option2.Value() == 1));
    // Logged after the write, so that the line can say whether it reached the device.
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    if (!outcomes.AllWritten()) {
        LogMessage(outcomes.FailureLine(options_.language));
        return;
    }
    LogMessage(T(wasOn ? Msg::PowerOnRunOff : Msg::PowerOnRunOn));
}

void USB::Option1_Click() {
    TextIW.SetText(RunModeFrameText(Command_auto_run.BackColor() == colors::kPressed, false));
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    LogMessage(outcomes.AllWritten() ? T(Msg::SinglePlaybackSet) : outcomes.FailureLine(options_.language));
}

void USB::Option2_Click() {
    TextIW.SetText(RunModeFrameText(Command_auto_run.BackColor() == colors::kPressed, true));
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    LogMessage(outcomes.AllWritten() ? T(Msg::LoopPlaybackSet) : outcomes.FailureLine(options_.language));
}

}  // namespace treadle
