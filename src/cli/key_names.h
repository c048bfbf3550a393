// Key combinations as the command line and profiles write them, kept in src/assignment/ below the
// front ends, so that the window shares them; treadlectl's code names them in its own namespace.
#pragma once

#include "assignment/key_names.h"

namespace treadle::cli {

using treadle::AllKeyNames;
using treadle::ChoiceFromSlot;
using treadle::KeyChoice;
using treadle::KeyCombinationText;
using treadle::KeyParse;
using treadle::LooksLikeClick;
using treadle::NameOfKeyButton;
using treadle::ParseKey;

}  // namespace treadle::cli
