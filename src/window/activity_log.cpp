#include "window/usb.h"

namespace treadle {

// The newest line becomes the selected one, which scrolls it into view.
void USB::LogMessage(const std::string& message) {
    AddPlainLine("[" + services_.clock.TimeStampText() + "]" + ":" + message);
    SelectLastLine();
}

void USB::AddPlainLine(const std::string& line) { lstResults.AddItem(line); }

void USB::SelectLastLine() { lstResults.SetListIndex(static_cast<int>(lstResults.Items().size()) - 1); }

void USB::Clear_Click() { lstResults.ClearItems(); }

}  // namespace treadle
