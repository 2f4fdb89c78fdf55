#include "ExportArchive.h"

#include "Fields.h"

namespace xruvo_sim {

namespace {

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, (v >> 16) & 0xFFFF);
}

}  // namespace

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string ToHex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 0x0F]);
  }
  return out;
}

std::string MakeExportArchive(const std::string& year, int month, char type,
                              const std::string& fiscalSeries) {
  const std::string name =
      "EXPORT_" + year + PadNumber(month, 2) + "_" + std::string(1, type) + ".xml";
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n";
  xml += "<export serie=\"" + fiscalSeries + "\" an=\"" + year + "\" luna=\"" +
         PadNumber(month, 2) + "\" tip=\"" + std::string(1, type) + "\">\r\n";
  for (int day = 1; day <= 28; ++day) {
    xml += "  <zi data=\"" + PadNumber(day, 2) + "." + PadNumber(month, 2) + "." + year +
           "\" bonuri=\"" + std::to_string(day % 7 + 3) + "\" total=\"" +
           MoneyText(static_cast<std::int64_t>(day) * 12345) + "\"/>\r\n";
  }
  xml += "</export>\r\n";
  const std::uint32_t crc = Crc32(xml);
  const auto size = static_cast<std::uint32_t>(xml.size());
  const auto nameSize = static_cast<std::uint32_t>(name.size());

  std::string zip;
  Put32(zip, 0x04034B50);  // local file header
  Put16(zip, 10);          // version needed
  Put16(zip, 0);           // flags
  Put16(zip, 0);           // stored
  Put16(zip, 0);           // time
  Put16(zip, 0x21);        // date 1980-01-01
  Put32(zip, crc);
  Put32(zip, size);
  Put32(zip, size);
  Put16(zip, nameSize);
  Put16(zip, 0);
  zip += name;
  zip += xml;
  const auto centralOffset = static_cast<std::uint32_t>(zip.size());
  Put32(zip, 0x02014B50);  // central directory header
  Put16(zip, 20);
  Put16(zip, 10);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 0x21);
  Put32(zip, crc);
  Put32(zip, size);
  Put32(zip, size);
  Put16(zip, nameSize);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 0);
  Put32(zip, 0);
  Put32(zip, 0);  // local header offset
  zip += name;
  const auto centralSize = static_cast<std::uint32_t>(zip.size()) - centralOffset;
  Put32(zip, 0x06054B50);  // end of central directory
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, 1);
  Put16(zip, 1);
  Put32(zip, centralSize);
  Put32(zip, centralOffset);
  Put16(zip, 0);
  return zip;
}

}  // namespace xruvo_sim
