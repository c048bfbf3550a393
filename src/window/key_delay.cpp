// The key delay and the long-press option, sent together after every key assignment and on
// the confirm button.
#include "settings/settings_input.h"
#include "text/text_rules.h"
#include "window/usb.h"

#include <algorithm>

namespace treadle {

bool USB::SendKeyFrames(std::optional<Frame> key, const std::string& successLine) {
    const std::int64_t delay = std::clamp<std::int64_t>(RoundToInt64(DelayNumber), 0, kMaxDelay);
    FrameJob job;
    if (key) {
        job = KeyAssignmentJob(*key, delay, LongPressState);
    } else {
        AddKeySettings(job, delay, LongPressState);
    }
    const size_t delayStep = key ? 1 : 0;
    return SendAndLog(std::move(job), successLine, [&](size_t step, const StepResult& result) {
        // The unrounded number decides: 0.4 logs a delay of 0 ms, a delay of 0 logs nothing.
        if (step == delayStep && DelayNumber > 0 && result.Outcome() == SendOutcome::Written) {
            LogMessage(Text(Msg::KeyDelayLogged, options_.language, {DecimalText(delay)}));
        }
    });
}

void USB::Command2_Click() {
    if (!DeviceDetected && !DeviceEverDetected) {
        LogMessage(T(Msg::NotConnected));
        return;
    }
    SendKeyFrames(std::nullopt, {});
}

void USB::Text_delay_Change() {
    const std::string checked = CheckedDelayText(Text_delay.Text());
    if (checked != Text_delay.Text()) {
        Text_delay.SetText(checked);  // a change itself: the check runs again and finds it fine
    }
}

}  // namespace treadle
