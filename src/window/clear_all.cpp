// Clearing all keys: after a confirmation, every one of the device's 32 slots gets FF FF FF FF.
#include "settings/settings_input.h"
#include "window/usb.h"

namespace treadle {

void USB::Command1_Click() {
    TextIW.SetText(kClearPreviewText);
    if (services_.boxes.Show(T(Msg::ConfirmClearAll), T(Msg::ConfirmClearAllTitle), MessageButtons::OkCancel) !=
        MessageAnswer::Ok) {
        return;
    }
    Combo1.SetText("0");
    FrameJob job;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        job.steps.push_back({ClearSlotFrame(slot), {}, 0});
    }
    SendAndLog(std::move(job), T(Msg::AllKeysCleared));
}

}  // namespace treadle
