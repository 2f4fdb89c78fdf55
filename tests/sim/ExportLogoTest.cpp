#include <gtest/gtest.h>

#include "ExportArchive.h"
#include "SimTestSupport.h"

namespace xruvo_sim::test {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16)));
  return out;
}

// Reads a length-prefixed answer by the driver's rule: complete once it holds at least
// the announced length + 20 bytes.
std::string CollectLengthPrefixed(SimBench& bench, std::uint32_t& length) {
  std::string got;
  std::uint8_t buffer[1000];
  length = 0;
  for (;;) {
    const std::size_t n = bench.port.Read(buffer, sizeof buffer, 5000);
    if (n == 0) return got;
    got.append(reinterpret_cast<char*>(buffer), n);
    if (got.size() >= 5) {
      length = (static_cast<std::uint32_t>(static_cast<unsigned char>(got[1])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(got[2])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(got[3])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(got[4]));
      if (length > 0 && got.size() >= length + 20u && got[0] == '\x06') return got;
    }
  }
}

class SimExport : public ::testing::Test {
 protected:
  SimExport() : bench(Config()) {}
  static SimConfig Config() {
    SimConfig config;
    config.exportPrepareMs = 10000;
    config.exportChunkBytes = 100;
    return config;
  }
  SimBench bench;
};

TEST_F(SimExport, ArchiveIsReadyAfterTheDelayAndComesInHexPieces) {
  EXPECT_EQ(bench.Data("7400"
                       "0401"),
            "ERR01");  // nothing prepared yet
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "05"
                       "R"),
            "");
  EXPECT_EQ(bench.Data("1111").substr(0, 1), "1");
  bench.clock.Advance(7000);
  EXPECT_NE(bench.Data("1111").substr(0, 5), "00000");
  bench.clock.Advance(3000);
  EXPECT_EQ(bench.Data("1111"), "000001");
  EXPECT_EQ(bench.Data("7400"
                       "0401"),
            "");

  std::string hex;
  for (int pieces = 0; pieces < 1000; ++pieces) {
    const std::string data = bench.Data("7403060");
    if (data.rfind("ERR", 0) == 0) {
      EXPECT_EQ(data, "ERR01");  // past the end
      break;
    }
    ASSERT_LE(data.size() - 3, 1000u);
    EXPECT_EQ(std::stoul(data.substr(0, 3)) * 2, data.size() - 3);
    hex += data.substr(3);
  }
  EXPECT_EQ(bench.Data("7408"), "");
  const std::string zip = FromHex(hex);
  ASSERT_GT(zip.size(), 100u);
  EXPECT_EQ(zip.substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(zip.substr(zip.size() - 22, 4), "PK\x05\x06");
  EXPECT_NE(zip.find("EXPORT_202405_R.xml"), std::string::npos);
}

TEST_F(SimExport, WholeArchiveInOneLengthPrefixedAnswer) {
  const std::string archive =
      std::string("PK\x03\x04", 4) + std::string(3000, '\x03') + std::string("\x00\x06\x15", 3);
  bench.engine.GetDevice().SetExportArchive(archive);
  bench.Data(
      "6416"
      "2024"
      "05"
      "X"
      "00010009");
  bench.clock.Advance(10000);
  EXPECT_EQ(bench.Data("7400"
                       "0701"),
            "");
  const std::string frame = BuildRequest("7404");
  bench.port.Write(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size());
  std::uint32_t length = 0;
  const std::string answer = CollectLengthPrefixed(bench, length);
  ASSERT_EQ(length, archive.size());
  EXPECT_EQ(answer.size(), archive.size() + 20);
  EXPECT_EQ(answer[0], '\x06');
  EXPECT_EQ(answer.back(), '\x03');
  EXPECT_EQ(answer.substr(5, length), archive);
  EXPECT_EQ(bench.Data("7408"), "");
}

TEST_F(SimExport, ExportStillOpenOrInjectedFaultAnswers87) {
  bench.Data(
      "6416"
      "2024"
      "05"
      "R");
  bench.clock.Advance(10000);
  bench.Data(
      "7400"
      "0401");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "06"
                       "R"),
            "ERR87");  // the old file is still open
  EXPECT_EQ(bench.Data("7408"), "");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "06"
                       "R"),
            "");

  bench.engine.GetDevice().GetConditions().export87Once = true;
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "07"
                       "R"),
            "ERR87");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "07"
                       "R"),
            "");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "13"
                       "R"),
            "ERR03");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "07"
                       "Q"),
            "ERR24");
  EXPECT_EQ(bench.Data("6416"
                       "02024"
                       "07"
                       "R"),
            "");  // the year as typed, leading zero and all
  EXPECT_EQ(bench.Data("7408"), "");
  EXPECT_EQ(bench.Data("6416"
                       "2024"
                       "07"
                       "R"
                       "00090001"),
            "ERR03");
}

TEST(SimArchive, ZipEntryCarriesTheRightChecksum) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  const std::string zip = MakeExportArchive("2024", 5, 'R', "XR1");
  const auto crcAt = [&](std::size_t offset) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(zip[offset])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(zip[offset + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(zip[offset + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(zip[offset + 3])) << 24;
  };
  const std::uint32_t size = crcAt(18);
  const std::uint32_t nameLength = crcAt(26) & 0xFFFF;
  EXPECT_EQ(crcAt(14), Crc32(zip.substr(30 + nameLength, size)));
}

std::string LogoPieceCommand(const std::string& piece) {
  const std::string length =
      std::string(piece.size() < 10 ? "0" : "") + std::to_string(piece.size());
  return "9101" + length + ToHex(piece);
}

TEST(SimLogo, UploadIsKeptByteForByte) {
  SimBench bench;
  std::string bmp = "BM";
  for (int k = 0; k < 118; ++k)
    bmp.push_back(static_cast<char>((k * 37) & 0xFF));  // 120 bytes, 0x0A and 0x00 among them
  EXPECT_EQ(bench.Data("9100000120"), "");
  for (std::size_t at = 0; at < bmp.size(); at += 50)
    EXPECT_EQ(bench.Data(LogoPieceCommand(bmp.substr(at, 50))), "");
  EXPECT_EQ(bench.Data("9102"), "");
  EXPECT_EQ(bench.engine.GetDevice().Logo(), bmp);

  // A short upload is refused and the logo already there stays.
  EXPECT_EQ(bench.Data("9100000100"), "");
  EXPECT_EQ(bench.Data(LogoPieceCommand(std::string(50, 'x'))), "");
  EXPECT_EQ(bench.Data("9102"), "ERR14");
  EXPECT_EQ(bench.engine.GetDevice().Logo(), bmp);

  EXPECT_EQ(bench.Data(LogoPieceCommand("abc")), "ERR05");  // no upload running
  EXPECT_EQ(bench.Data("9100000002"), "");
  EXPECT_EQ(bench.Data("910102ZZ00"), "ERR03");
  EXPECT_EQ(bench.Data("9101030000"), "ERR24");             // length and text disagree
  EXPECT_EQ(bench.Data(LogoPieceCommand("abc")), "ERR14");  // more than announced
}

}  // namespace
}  // namespace xruvo_sim::test
