#pragma once

#include <string>
#include <vector>

namespace ruvo {

inline const std::string kJeFreeLinesLine = "Linii libere in memoria JE :";
inline const std::string kJeZReportWarning =
    "EFECTUATI RAPORTUL FISCAL Z/CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE MEMORIE JE";
inline const std::string kJeTechnicianWarning =
    "CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE MEMORIE JE";

// The lines of the warning box after the free JE lines were read: the count, then the
// Z-report warning for 1..499 or the technician warning for 500..99999.
std::vector<std::string> JeWarningLines(int freeLines);

}  // namespace ruvo
