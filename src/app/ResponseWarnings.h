#pragma once

#include <string>
#include <vector>

#include "app/DriverState.h"

namespace ruvo {

// Rebuilds the warning box from the warning flags, then appends extraLines (the cycle's
// own warnings, such as a receipt file it could not remove). When the box has any line
// the window is shown, so the operator cannot miss it.
void RefreshWarnings(DriverState& state, const std::vector<std::string>& extraLines = {});

}  // namespace ruvo
