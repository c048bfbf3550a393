#include "cli/devices.h"

#include <cstdio>

namespace treadle::cli {
namespace {

std::string LengthText(bool known, int length) { return known ? std::to_string(length) : "-"; }

}  // namespace

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

std::string UnusableReason(const InterfaceInfo& info) {
    if (!info.why.empty()) {
        return info.why;
    }
    return !info.capsKnown ? "its report lengths cannot be read from its report descriptor"
                           : "its output report holds " + std::to_string(info.caps.outputReportLength) +
                                 " bytes, too few for a frame";
}

}  // namespace treadle::cli
