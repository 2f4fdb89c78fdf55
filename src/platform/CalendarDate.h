#pragma once

#include <cstdint>

namespace ruvo {

// True when the day exists in the Gregorian calendar (29 February only in leap years).
// Values of any size are accepted; out-of-range ones simply make the date invalid.
bool IsValidDate(std::int64_t day, std::int64_t month, std::int64_t year);

}  // namespace ruvo
