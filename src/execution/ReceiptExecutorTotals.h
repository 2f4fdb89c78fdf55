#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ruvo {

// The 32 lines of the daily totals block of the response, from the 253-character answer
// of "1004": each label padded to 30 characters, a tab and its value as the ECR gave it.
// A block that did not arrive whole (it holds zero bytes) gives the labels with empty
// values, so that no made-up figure reaches the sales application.
std::vector<std::string> DailyTotalsLines(const std::string& block);

// The response line of totalizer `number` (1 to 32) with the value the ECR returned;
// nothing for any other number.
std::optional<std::string> TotalizerLine(int number, const std::string& value);

}  // namespace ruvo
