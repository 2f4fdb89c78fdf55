#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruvo {

// A line whose code, trimmed and in upper case, begins with "COM" names the serial port
// for the file ("COM3", "com 12"). It is valid anywhere but counts only as the first line.
bool IsPortSelectionCode(std::string_view code);

// The port a port-selection line names: the number after "COM" (characters 4 to 13 of
// the trimmed, upper-cased line); 1 when there is no number or 0. A negative number is
// returned as it is: no port has it, so opening it fails.
int PortOfSelectionLine(std::string_view line);

// The port chosen by the file's first line, when that line is a port-selection line.
std::optional<int> PortOfFirstLine(const std::vector<std::string>& lines);

}  // namespace ruvo
