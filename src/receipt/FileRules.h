#pragma once

#include <optional>
#include <string>
#include <vector>

#include "receipt/NetQuantityTable.h"
#include "receipt/PresenceFlags.h"

namespace ruvo {

// The rules on the file as a whole, run once every line is valid. Each gives the
// message for the response file of the first rule that the file breaks, in the order
// the sales applications have always seen them, or nothing when the file passes.
std::optional<std::string> CheckFileRules(const std::vector<std::string>& lines,
                                          const PresenceFlags& flags, bool connected);

// A file may not return more of an article than it sells.
std::optional<std::string> CheckReturns(const NetQuantityTable& netQuantities);

}  // namespace ruvo
