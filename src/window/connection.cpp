// Finding the foot switch among the HID interfaces, keeping the connection state, and
// closing the device when the window goes.
#include "text/text_rules.h"
#include "window/usb.h"

#include <algorithm>

namespace treadle {

int ParseIdText(const std::string& idText) {
    if (idText.size() < 3 || idText.size() > 6 || idText[0] != '&' || (idText[1] != 'H' && idText[1] != 'h')) {
        return -1;
    }
    int value = 0;
    for (size_t i = 2; i < idText.size(); ++i) {
        const int d = HexDigitValue(idText[i]);
        if (d < 0) {
            return -1;
        }
        value = value * 16 + d;
    }
    return value;
}

void USB::contion_Click() {
    VendorIDText = "&H" + TrimBlanks(TextVID.Text());
    ProductIDText = "&H" + TrimBlanks(TextPID.Text());
    // Without usable IDs a search can find nothing: a click says so instead of searching;
    // the timer's ticks search quietly (a box every 350 ms would lock the window).
    if (!inTimerTick_ && ParseIdText(VendorIDText) <= 0 && ParseIdText(ProductIDText) <= 0) {
        services_.boxes.Show(T(Msg::NoIds), Caption, MessageButtons::Ok);
        return;
    }
    (void)FindTheHid();
}

bool USB::FindTheHid() {
    const int vendorId = ParseIdText(VendorIDText);
    const int productId = ParseIdText(ProductIDText);
    SearchRequest request;
    request.idsValid = vendorId >= 0 && productId >= 0;
    request.ids = {static_cast<std::uint16_t>(std::max(vendorId, 0)),
                   static_cast<std::uint16_t>(std::max(productId, 0))};
    request.connectFirst = true;
    // Each interface is examined through a handle of its own; the connected pair stays in
    // HIDHandle and ReadHandle until a match replaces it.
    const SearchResult found = link_.Search(request);
    DeviceDetected = found.connected != 0;
    LastInterfaceReached = !DeviceDetected;
    DevicePath = DeviceDetected ? found.interfaces.back().path : found.lastPath;

    if (DeviceDetected) {
        DeviceEverDetected = true;
        LastApiResult = 1;
        // Replace the pair opened by the previous search instead of leaking it.
        if (HIDHandle != 0) {
            services_.hid.Close(HIDHandle);
        }
        if (ReadHandle != 0) {
            services_.hid.Close(ReadHandle);
        }
        HIDHandle = found.connected;
        ReadHandle = 0;
        noAccessReported_ = false;
        GetDeviceCapabilities(found.interfaces.back());
        const OpenResult reader = services_.hid.OpenForTimedRead(DevicePath);
        ReadHandle = reader.ok() ? reader.handle : 0;
        Label3.SetText(T(Msg::StatusConnected));
        EnableDeviceControls();
    } else {
        Label3.SetText(T(Msg::StatusNoDevice));
        DisableDeviceControls();
        const bool denialStands = !inTimerTick_ || deniedLastTick_;
        if (found.deniedMatch && denialStands && !noAccessReported_) {
            LogMessage(T(Msg::NoAccess));
            noAccessReported_ = true;
        }
        if (!found.deniedMatch) {
            noAccessReported_ = false;
        }
    }
    deniedLastTick_ = inTimerTick_ && found.deniedMatch;
    return DeviceDetected;
}

void USB::GetDeviceCapabilities(const InterfaceInfo& found) {
    // The search read the lengths through the handle it kept; where it could not, the
    // lengths stay those of the last success.
    if (found.capsKnown) {
        Capabilities = found.caps;
        InputReportLength = found.caps.inputReportLength;
        OutputReportLength = found.caps.outputReportLength;
    }
}

void USB::CloseDeviceHandles() {
    LastApiResult = services_.hid.Close(HIDHandle) ? 1 : 0;
    LogMessage("CloseHandle (HIDHandle)");
    LastApiResult = services_.hid.Close(ReadHandle) ? 1 : 0;
    LogMessage("CloseHandle (ReadHandle)");
}

}  // namespace treadle
