#include "window/usb.h"

namespace treadle {
namespace {

// Where an address points, as a person would look for it: a local file's path without the
// "file://" in front, any other address as it is.
std::string ShownAddress(const std::string& address) {
    constexpr std::string_view kFile = "file://";
    return address.rfind(kFile, 0) == 0 ? address.substr(kFile.size()) : address;
}

}  // namespace

// The maker's label opens the user guide in the user's browser; nothing is logged and
// nothing changes. Where nothing can open it (no browser installed), a box says so and
// where the guide is.
void USB::Label11_Click() {
    if (!services_.url.Open(MakerPage)) {
        services_.boxes.Show(Text(Msg::GuideNotOpened, options_.language, {ShownAddress(MakerPage)}), Caption,
                             MessageButtons::Ok);
    }
}

}  // namespace treadle
