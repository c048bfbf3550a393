// Text made safe to show on a terminal, kept in src/text/ below the
// front ends, so that the window shares them; treadlectl's code names them in its own namespace.
#pragma once

#include "text/shown_text.h"

namespace treadle::cli {

using treadle::kShownPathBytes;
using treadle::kShownTextBytes;
using treadle::Quoted;
using treadle::ShownMessage;
using treadle::ShownText;

}  // namespace treadle::cli
