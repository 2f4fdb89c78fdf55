#pragma once

#include <string>

namespace ruvo {

// The hidden file the probe writes and removes again; it matches none of the masks of the
// driver or the sales application.
inline const std::string kWriteProbeName = ".ruvodrv-probe";

// True when a file of kWriteProbeSize bytes can be written to folder and flushed to the
// disk (then removed again): a folder made read-only, removed, or on a full disk fails.
inline constexpr std::size_t kWriteProbeSize = 4096;
bool CanWriteFileIn(const std::string& folder);

}  // namespace ruvo
