// The frame text box keeps to hex digits and blanks, whoever changes it; the manual-write
// button writes whatever it holds.
#include "settings/settings_frames.h"
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
    SendOutcomes outcomes;
    outcomes.Add(SendFrame());
    LogMessage(outcomes.AllWritten() ? Text(Msg::DataWritten, options_.language, {TextIW.Text()})
                                    : outcomes.FailureLine(options_.language));
}

}  // namespace treadle
