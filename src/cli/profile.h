// Profiles, which apply, provision and export read and write, kept in src/settings/ below the
// front ends, so that the window shares them; treadlectl's code names them in its own namespace.
#pragma once

#include "settings/profile.h"

namespace treadle::cli {

using treadle::kRunModeOfDelayFrame;
using treadle::ParseProfile;
using treadle::Profile;
using treadle::ProfileRead;
using treadle::ProfileText;
using treadle::ReadProfile;
using treadle::RunMode;
using treadle::RunModeFrameRedundant;

}  // namespace treadle::cli
