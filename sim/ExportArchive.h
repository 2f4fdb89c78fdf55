#pragma once

#include <cstdint>
#include <string>

namespace xruvo_sim {

// A small but valid ZIP archive (one stored XML file) standing for the month's export,
// so that what the driver saves can be opened with any unzip tool.
std::string MakeExportArchive(const std::string& year, int month, char type,
                              const std::string& fiscalSeries);

std::uint32_t Crc32(const std::string& bytes);

std::string ToHex(const std::string& bytes);

}  // namespace xruvo_sim
