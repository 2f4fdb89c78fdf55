#pragma once

#include <string>

namespace ruvo {

// Matches a file name against a mask as the sales application's platform does:
// "*" stands for any run of characters (also none), "?" for exactly one character,
// letters compare without regard to case (ASCII letters only; other bytes must be equal).
// So ONLINE*.TXT matches online7.txt and ONLINE.TXT.
bool MatchesMask(const std::string& name, const std::string& mask);

// ASCII-only case-insensitive equality, for section, key and file names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace ruvo
