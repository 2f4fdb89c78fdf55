#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruvo {

// The keys and values of one settings section, in file order.
using IniSection = std::vector<std::pair<std::string, std::string>>;

// What the conversion reads from the settings file; the caller reads it afresh for
// every receipt file so that an edit takes effect on the next one.
struct LegacyConversionSettings {
  IniSection unitConversions;  // section "ConversieUM": legacy unit code -> unit text
  IniSection advanceReversal;  // section "ConversieStornoAvans": key "Cuvinte"
};

// The value of `key` in `section`, matched as settings keys are: without regard to
// ASCII case or surrounding blanks; the first of equal keys wins. nullptr when absent.
const std::string* FindIniValue(const IniSection& section, std::string_view key);

// Rewrites a file written for the older driver into the current syntax, line by line.
// Empty lines are dropped, and an advance reversal becomes two lines.
std::vector<std::string> ConvertLegacyLines(const std::vector<std::string>& lines,
                                            const LegacyConversionSettings& settings);

// One line in the current syntax; an advance reversal gives two lines joined by a CR.
std::string ConvertLegacyLine(const std::string& line, const LegacyConversionSettings& settings);

// The unit text for a legacy unit code: its "ConversieUM" value, else "UM" + code.
std::string ConvertUnit(std::string_view code, const IniSection& unitConversions);

// True when the article name holds every word of "Cuvinte" (by default "STORNO" and
// "AVANS"), in upper case, anywhere in the name.
bool IsAdvanceReversal(std::string_view name, const IniSection& advanceReversal);

}  // namespace ruvo
