#include "cli/devices.h"

#include <cstdio>

namespace treadle::cli {
namespace {

constexpr std::uint16_t kGenericDesktop = 0x01;
constexpr std::uint16_t kMouseUsage = 0x02;
constexpr std::uint16_t kKeyboardUsage = 0x06;
constexpr std::uint16_t kKeypadUsage = 0x07;

// What the top-level collection says the interface is, when it is a keyboard or a mouse.
bool KindFromUsage(const InterfaceInfo& info, InterfaceState& state) {
    if (!info.capsKnown || info.caps.usagePage != kGenericDesktop) {
        return false;
    }
    if (info.caps.usage == kKeyboardUsage || info.caps.usage == kKeypadUsage) {
        state = InterfaceState::Keyboard;
        return true;
    }
    if (info.caps.usage == kMouseUsage) {
        state = InterfaceState::Mouse;
        return true;
    }
    return false;
}

std::string LengthText(bool known, int length) { return known ? std::to_string(length) : "-"; }

}  // namespace

const char* StateName(InterfaceState state) {
    switch (state) {
        case InterfaceState::Usable:
            return "usable";
        case InterfaceState::Keyboard:
            return "keyboard";
        case InterfaceState::Mouse:
            return "mouse";
        case InterfaceState::NoAccess:
            return "no-access";
        case InterfaceState::Unusable:
            break;
    }
    return "unusable";
}

std::vector<InterfaceInfo> SurveyInterfaces(HidPlatform& hid) {
    std::vector<InterfaceInfo> found;
    for (const std::string& path : hid.EnumerateInterfaces()) {
        InterfaceInfo info;
        info.path = path;
        const OpenResult opened = hid.OpenReadWrite(path);
        if (opened.ok()) {
            info.idsKnown = hid.GetAttributes(opened.handle, info.ids);
            info.capsKnown = hid.GetCaps(opened.handle, info.caps);
            hid.Close(opened.handle);
            info.state = info.idsKnown && info.capsKnown && info.caps.outputReportLength >= kMinOutputReportLength
                             ? InterfaceState::Usable
                             : InterfaceState::Unusable;
        } else {
            info.idsKnown = hid.PeekAttributes(path, info.ids);
            info.capsKnown = hid.PeekCaps(path, info.caps);
            info.why = opened.error;
            InterfaceState kind = InterfaceState::Unusable;
            if (KindFromUsage(info, kind)) {
                info.state = kind;
            } else if (opened.failure == OpenFailure::AccessDenied) {
                info.state = InterfaceState::NoAccess;
            } else {
                info.state = InterfaceState::Unusable;
            }
        }
        found.push_back(std::move(info));
    }
    return found;
}

bool Matches(const InterfaceInfo& info, std::uint16_t vendorId, std::uint16_t productId) {
    return info.idsKnown && info.ids.vendorId == vendorId && info.ids.productId == productId;
}

bool IsFootSwitch(const InterfaceInfo& info, std::uint16_t vendorId, std::uint16_t productId) {
    return Matches(info, vendorId, productId) &&
           (info.state == InterfaceState::Usable || info.state == InterfaceState::NoAccess);
}

std::string IdText(std::uint16_t vendorId, std::uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
    return text;
}

std::string ListLine(const InterfaceInfo& info) {
    return info.path + "\t" + (info.idsKnown ? IdText(info.ids.vendorId, info.ids.productId) : "????:????") + "\t" +
           LengthText(info.capsKnown, info.caps.inputReportLength) + "\t" +
           LengthText(info.capsKnown, info.caps.outputReportLength) + "\t" +
           LengthText(info.capsKnown, info.caps.featureReportLength) + "\t" + StateName(info.state);
}

}  // namespace treadle::cli
