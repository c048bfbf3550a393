// The frame text box keeps to hex digits and blanks, whoever changes it; the manual-write
// button writes whatever it holds.
#include "settings/settings_input.h"
#include "window/usb.h"

namespace treadle {

void USB::TextIW_Change() {
    const std::string bad = FirstInadmissibleCharacter(TextIW.Text());
    if (bad.empty()) {
        return;
    }
    services_.boxes.Show(T(Msg::HexOnly), Caption, MessageButtons::Ok);
    // Storing the cleaned text is a change: the check runs again, nested, on the new text,
    // and this run looks at nothing more.
    TextIW.SetText(RemoveAll(TextIW.Text(), bad));
}

void USB::Iwrite_Click() {
    FrameJob job;
    job.steps.push_back({Frame{}, TextIW.Text(), 0});
    SendAndLog(std::move(job), Text(Msg::DataWritten, options_.language, {TextIW.Text()}));
}

}  // namespace treadle
