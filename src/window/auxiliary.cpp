#include "window/usb.h"

namespace treadle {

// The maker's label opens the maker's page in the user's browser; nothing is logged and
// nothing changes, whatever the outcome.
void USB::Label11_Click() { (void)services_.url.Open(MakerPage); }

}  // namespace treadle
