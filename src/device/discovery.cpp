// Finding the foot switch among the HID interfaces, keeping the connection state, and
// closing the device when the window goes.
#include "text/text_rules.h"
#include "window/usb.h"

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

namespace {

// What a search of the HID interfaces for the foot switch found.
struct InterfaceSearch {
    HidHandle found = 0;       // its interface, opened for reading and writing; 0 when none
    bool deniedMatch = false;  // an interface with its IDs that the user may not open
};

// Looks through the interfaces present for the one with these IDs (none matches when either is
// negative). The window's record of the search is kept on the way: DevicePath names the
// interface looked at last, LastInterfaceReached says the list ran out, LastApiResult whether
// the last open interface told its IDs.
InterfaceSearch SearchInterfaces(USB& window, HidPlatform& hid, int vendorId, int productId) {
    const bool idsValid = vendorId >= 0 && productId >= 0;
    auto matches = [&](const HidAttributes& a) {
        return idsValid && a.vendorId == vendorId && a.productId == productId;
    };
    // Each interface is examined through a handle of its own; the connected pair stays in
    // HIDHandle and ReadHandle until a match replaces it.
    const std::vector<std::string> paths = hid.EnumerateInterfaces();
    InterfaceSearch search;
    for (size_t memberIndex = 0;; ++memberIndex) {
        if (memberIndex >= paths.size()) {
            window.LastInterfaceReached = true;
            return search;
        }
        const std::string& path = paths[memberIndex];
        window.DevicePath = path;
        // Where the system tells the IDs without opening the interface, one that is not the
        // foot switch is passed over unopened: the search then costs little more than listing.
        HidAttributes told;
        if (hid.PeekAttributes(path, told) && !matches(told)) {
            continue;
        }
        const OpenResult opened = hid.OpenReadWrite(path);
        if (!opened.ok()) {
            // An interface that cannot be opened for reading and writing never matches.
            HidAttributes peeked;
            if (opened.failure == OpenFailure::AccessDenied && hid.PeekAttributes(path, peeked) && matches(peeked)) {
                search.deniedMatch = true;
            }
            continue;
        }
        HidAttributes attributes;
        window.LastApiResult = hid.GetAttributes(opened.handle, attributes) ? 1 : 0;
        if (window.LastApiResult != 0 && matches(attributes)) {
            search.found = opened.handle;
            return search;
        }
        hid.Close(opened.handle);
    }
}

}  // namespace

bool USB::FindTheHid() {
    HidPlatform& hid = services_.hid;
    LastInterfaceReached = false;
    DeviceDetected = false;
    bool result = false;

    const auto [found, deniedMatch] =
        SearchInterfaces(*this, hid, ParseIdText(VendorIDText), ParseIdText(ProductIDText));
    if (found != 0) {
        DeviceDetected = true;
        DeviceEverDetected = true;
    }
    if (DeviceDetected) {
        // Replace the pair opened by the previous search instead of leaking it.
        if (HIDHandle != 0) {
            hid.Close(HIDHandle);
        }
        if (ReadHandle != 0) {
            hid.Close(ReadHandle);
        }
        HIDHandle = found;
        ReadHandle = 0;
        result = true;
        noAccessReported_ = false;
        GetDeviceCapabilities();
        const OpenResult reader = hid.OpenForTimedRead(DevicePath);
        ReadHandle = reader.ok() ? reader.handle : 0;
        Label3.SetText(T(Msg::StatusConnected));
        EnableDeviceControls();
    } else {
        Label3.SetText(T(Msg::StatusNoDevice));
        DisableDeviceControls();
        const bool denialStands = !inTimerTick_ || deniedLastTick_;
        if (deniedMatch && denialStands && !noAccessReported_) {
            LogMessage(T(Msg::NoAccess));
            noAccessReported_ = true;
        }
        if (!deniedMatch) {
            noAccessReported_ = false;
        }
    }
    deniedLastTick_ = inTimerTick_ && deniedMatch;
    return result;
}

void USB::GetDeviceCapabilities() {
    HidCaps caps;
    if (services_.hid.GetCaps(HIDHandle, caps)) {
        Capabilities = caps;
        InputReportLength = caps.inputReportLength;
        OutputReportLength = caps.outputReportLength;
    }
}

void USB::CloseDeviceHandles() {
    LastApiResult = services_.hid.Close(HIDHandle) ? 1 : 0;
    LogMessage("CloseHandle (HIDHandle)");
    LastApiResult = services_.hid.Close(ReadHandle) ? 1 : 0;
    LogMessage("CloseHandle (ReadHandle)");
}

}  // namespace treadle
