// The key delay and the long-press option, sent together after every key assignment and on
// the confirm button.
#include "settings/settings_frames.h"
#include "text/text_rules.h"
#include "window/usb.h"

namespace treadle {

SendOutcomes USB::SendDelaySettings() {
    SendOutcomes outcomes;
    if (!DeviceDetected && !DeviceEverDetected) {
        LogMessage(T(Msg::NotConnected));
        return outcomes;
    }
    const std::int64_t delay = DelayOf(Text_delay.Text());
    TextIW.SetText(DelayFrameText(delay));
    const SendOutcome delaySent = SendFrame();
    outcomes.Add(delaySent);
    // The unrounded number decides: 0.4 logs a delay of 0 ms, a delay of 0 logs nothing.
    if (NumericValue(Text_delay.Text()) > 0 && delaySent == SendOutcome::Written) {
        LogMessage(Text(Msg::KeyDelayLogged, options_.language, {DecimalText(delay)}));
    }
    services_.sleeper.Sleep(kPauseMs);
    TextIW.SetText(LongPressFrameText(Check1.Value()));
    outcomes.Add(SendFrame());
    return outcomes;
}

void USB::Command2_Click() {
    const SendOutcomes outcomes = SendDelaySettings();
    if (!outcomes.Empty() && !outcomes.AllWritten()) {
        LogMessage(outcomes.FailureLine(options_.language));
    }
}

void USB::Text_delay_Change() {
    const std::string checked = CheckedDelayText(Text_delay.Text());
    if (checked != Text_delay.Text()) {
        Text_delay.SetText(checked);  // a change itself: the check runs again and finds it fine
    }
}

}  // namespace treadle
