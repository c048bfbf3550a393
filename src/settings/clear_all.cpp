// Clearing all keys: after a confirmation, every one of the device's 32 slots gets FF FF FF FF.
#include "settings/settings_frames.h"
#include "window/usb.h"

namespace treadle {

void USB::Command1_Click() {
    TextIW.SetText(kClearPreviewText);
    if (services_.boxes.Show(T(Msg::ConfirmClearAll), T(Msg::ConfirmClearAllTitle), MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    Combo1.SetText("0");
    SendOutcomes outcomes;
    for (int slot = 0; slot < kSlotCount; ++slot) {  // a failed frame does not stop the others
        TextIW.SetText(ClearSlotFrameText(slot));
        outcomes.Add(SendFrame());
    }
    LogMessage(outcomes.AllWritten() ? T(Msg::AllKeysCleared) : outcomes.FailureLine(options_.language));
}

}  // namespace treadle
