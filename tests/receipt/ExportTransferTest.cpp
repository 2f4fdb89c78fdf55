// The monthly XML export of a receipt file ("416" with a transfer mode) against the
// simulated ECR in virtual time: both ways of fetching the archive, readiness that comes
// late or never, transfers that break off, archives far beyond 200,000 bytes, the busy
// marker; and the transfer on its own as the operator console uses it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ExportArchive.h"
#include "app/CycleTestSupport.h"
#include "execution/ExportTransfer.h"
#include "support/AdminRunFixture.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;
using testing::AdminRunFixture;
using testing::Exists;
using testing::ReadBytes;
using testing::WriteBytes;

const std::string kSeries = "XR0012345678";

std::string NoisyArchive(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xFF);
  }
  return bytes;
}

bool IsRequestOf(const std::string& frame, const std::string& command) {
  return frame.compare(4, command.size(), command) == 0;
}

class ExportTransferTest : public AdminRunFixture {
 protected:
  std::string ArchivePath(const std::string& name) const {
    return state.workingFolder + "ExportXML/" + name;
  }
  // Files of the export folder, temporary ones included.
  Lines ExportFolderEntries() const {
    Lines names;
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(state.workingFolder + "ExportXML", ignored))
      names.push_back(entry.path().filename().string());
    return names;
  }
  // Breaks the line (the ECR stops answering) when the given request has been sent `count` times.
  void SilenceAfter(const std::string& command, int count) {
    Ecr();
    port->onRequest = [this, command, count, seen = 0](const std::string& frame) mutable {
      if (IsRequestOf(frame, command) && ++seen == count) engine->Faults().silentAlways = true;
    };
  }
};

TEST_F(ExportTransferTest, HexPiecesBecomeTheArchiveOfTheMonth) {
  Run({"416;2026;1;R;1"});
  const Lines sent = Sent();
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[0],
            "6416"
            "2026"
            "01"
            "R");
  EXPECT_EQ(sent[1], "1008");
  EXPECT_EQ(sent[2], "1111");
  EXPECT_EQ(sent.back(), "7408");
  EXPECT_EQ(CountSent("7400"
                      "0401"),
            1);
  EXPECT_GE(CountSent("7403060"), 2);
  EXPECT_FALSE(WasSent("7404"));

  const std::string expected = xruvo_sim::MakeExportArchive("2026", 1, 'R', kSeries);
  EXPECT_EQ(ReadBytes(ArchivePath("202601_" + kSeries + ".ZIP")), expected);
  EXPECT_EQ(response.lines, (Lines{"0 OK", "Serie Fiscala : " + kSeries}));
  EXPECT_EQ(ExportFolderEntries(), Lines{"202601_" + kSeries + ".ZIP"});
}

TEST_F(ExportTransferTest, BinaryAnswerBecomesTheArchiveAndOverwritesAnOlderOne) {
  std::filesystem::create_directories(state.workingFolder + "ExportXML");
  WriteBytes(ArchivePath("202603_" + kSeries + ".ZIP"), "OLD");
  Run({"416;2026;3;X;2"});
  EXPECT_EQ(CountSent("7400"
                      "0701"),
            1);
  EXPECT_EQ(CountSent("7404"), 1);
  EXPECT_FALSE(WasSent("7403060"));
  EXPECT_EQ(Sent().back(), "7408");
  EXPECT_EQ(ReadBytes(ArchivePath("202603_" + kSeries + ".ZIP")),
            xruvo_sim::MakeExportArchive("2026", 3, 'X', kSeries));
  EXPECT_EQ(response.lines[0], "0 OK");
}

TEST_F(ExportTransferTest, ArchiveFarAbove200000BytesIsWrittenWholeInBothModes) {
  config.exportArchive = NoisyArchive(450000);
  config.exportChunkBytes = 500;
  Run({"416;2026;2;R;1"});
  EXPECT_EQ(ReadBytes(ArchivePath("202602_" + kSeries + ".ZIP")), config.exportArchive);
  EXPECT_EQ(CountSent("7403060"), 901);  // 900 pieces and the answer past the end

  Run({"416;2026;4;R;2"});
  EXPECT_EQ(ReadBytes(ArchivePath("202604_" + kSeries + ".ZIP")), config.exportArchive);
}

// The bound is the receive buffer of the link; a smaller one keeps the test quick.
TEST_F(ExportTransferTest, ArchiveAboveTheBoundIsRefusedWholeInBothModes) {
  config.exportArchive = NoisyArchive(30500);
  config.exportChunkBytes = 500;
  OpenLink();
  for (const int mode : {kExportModeHexPieces, kExportModeBinary}) {
    SCOPED_TRACE(mode);
    ASSERT_TRUE(link->StartXmlExport("2026", 2, "R")) << link->Engine().LastError();
    ExportTransferRequest request;
    request.year = "2026";
    request.month = 2;
    request.mode = mode;
    request.maxBytes = 30000;
    firstCommand = engine->ReceivedCommands().size();
    const ExportTransferResult result =
        TransferMonthlyExport(*link, clock, state.workingFolder, request);
    EXPECT_EQ(result.outcome, ExportOutcome::kTooLarge);
    EXPECT_FALSE(std::filesystem::exists(state.workingFolder + "ExportXML"));
    EXPECT_EQ(Sent().back(), "7408");
    if (mode == kExportModeHexPieces) {
      EXPECT_EQ(CountSent("7403060"), 61);  // stops at the bound
    }
  }
}

TEST_F(ExportTransferTest, ReadinessAfterAMinuteIsWaitedFor) {
  config.exportPrepareMs = 67000;  // 7 s of settling, then 60 s of polling
  Run({"416;2026;5;R;1"});
  const long polls = CountSent("1111");
  EXPECT_GE(polls, 58);
  EXPECT_LE(polls, 62);
  EXPECT_TRUE(Exists(ArchivePath("202605_" + kSeries + ".ZIP")));
}

TEST_F(ExportTransferTest, ReadinessThatNeverComesEndsAfter120SecondsWithoutArchive) {
  config.exportPrepareMs = 100'000'000;
  OpenLink();
  const std::int64_t start = clock.MonotonicMs();
  Run({"416;2026;6;R;1"});
  const std::int64_t elapsed = clock.MonotonicMs() - start;
  EXPECT_GE(elapsed, 7000 + 120000);
  EXPECT_LE(elapsed, 7000 + 125000);
  EXPECT_GE(CountSent("1111"), 119);
  EXPECT_FALSE(WasSent("7400"));
  EXPECT_FALSE(WasSent("7408"));
  EXPECT_FALSE(std::filesystem::exists(state.workingFolder + "ExportXML"));
  EXPECT_EQ(response.lines, (Lines{"0 OK", "Serie Fiscala : " + kSeries}));
  EXPECT_FALSE(Exists(state.workingFolder + "wait.txt"));
}

TEST_F(ExportTransferTest, HexTransferBrokenOffInTheMiddleLeavesTheOlderArchive) {
  config.exportArchive = NoisyArchive(5000);
  config.exportChunkBytes = 500;
  std::filesystem::create_directories(state.workingFolder + "ExportXML");
  WriteBytes(ArchivePath("202607_" + kSeries + ".ZIP"), "OLD");
  SilenceAfter("7403060", 4);
  Run({"416;2026;7;R;1"});
  EXPECT_EQ(CountSent("7403060"), 3);  // the fourth got no answer
  EXPECT_EQ(ReadBytes(ArchivePath("202607_" + kSeries + ".ZIP")), "OLD");
  EXPECT_EQ(ExportFolderEntries(), Lines{"202607_" + kSeries + ".ZIP"});
  // The ECR executed the export command; what broke was only the copy to the PC.
  EXPECT_EQ(response.lines[0], "0 OK");
  const std::string lastLog = link->Engine().ExchangeLog().back();
  EXPECT_NE(lastLog.find("transfer intrerupt"), std::string::npos) << lastLog;
}

TEST_F(ExportTransferTest, BinaryAnswerCutShortWritesNothing) {
  config.exportArchive = NoisyArchive(20000);
  Ecr();
  port->onRequest = [this](const std::string& frame) {
    if (IsRequestOf(frame, "7404")) engine->Faults().vanishNextAnswer = true;
  };
  Run({"416;2026;8;X;2"});
  EXPECT_FALSE(Exists(ArchivePath("202608_" + kSeries + ".ZIP")));
  EXPECT_TRUE(ExportFolderEntries().empty());
  EXPECT_EQ(response.lines[0], "0 OK");
}

TEST_F(ExportTransferTest, WaitMarkerStandsDuringTheTransferAndEveryWaitFileGoesAfter) {
  WriteBytes(state.workingFolder + "WAIT_OLD.TXT", "");
  WriteBytes(state.workingFolder + "wait2.txt", "");
  WriteBytes(state.workingFolder + "waiting.log", "");
  Ecr();
  int requestsSeen = 0;
  int withMarker = 0;
  port->onRequest = [&](const std::string& frame) {
    if (IsRequestOf(frame, "6416")) return;  // the request itself comes before the transfer
    ++requestsSeen;
    if (Exists(state.workingFolder + "wait.txt")) ++withMarker;
  };
  Run({"416;2026;9;R;1"});
  EXPECT_GT(requestsSeen, 4);
  EXPECT_EQ(withMarker, requestsSeen);
  EXPECT_FALSE(Exists(state.workingFolder + "wait.txt"));
  EXPECT_FALSE(Exists(state.workingFolder + "WAIT_OLD.TXT"));
  EXPECT_FALSE(Exists(state.workingFolder + "wait2.txt"));
  EXPECT_TRUE(Exists(state.workingFolder + "waiting.log"));
}

TEST_F(ExportTransferTest, MissingFiscalSeriesLeavesItOutOfNameAndResponse) {
  state.fiscalSeries = "FROM AN EARLIER FILE";
  OpenLink();
  Control("err 1008 1 once");
  Run({"416;2026;10;R;1"});
  EXPECT_TRUE(Exists(ArchivePath("202610_.ZIP")));
  EXPECT_EQ(response.lines, Lines{"0 OK"});
}

TEST_F(ExportTransferTest, RefusedOpeningEndsTheTransferWithoutClosingIt) {
  OpenLink();
  Control("err 7400 1 once");
  Run({"416;2026;11;R;1"});
  EXPECT_EQ(Sent().back(),
            "7400"
            "0401");
  EXPECT_FALSE(WasSent("7408"));
  EXPECT_FALSE(std::filesystem::exists(state.workingFolder + "ExportXML"));
  EXPECT_EQ(response.lines[0], "0 OK");
}

TEST_F(ExportTransferTest, RefusedExportRequestIsTheFilesError) {
  OpenLink();
  Control("err 6416 3 once");
  Run({"416;2026;12;R;1"});
  EXPECT_EQ(Sent(), Lines{"6416"
                          "2026"
                          "12"
                          "R"});
  EXPECT_EQ(response.lines[0], "1 ERROR");
  EXPECT_EQ(response.lines[1].rfind("3;", 0), 0u);
  EXPECT_FALSE(Exists(state.workingFolder + "wait.txt"));
}

// The console's export: no busy marker, the diagnostics of the binary transfer in order.
TEST_F(ExportTransferTest, ConsoleTransferWithDiagnosticsAndNoMarker) {
  OpenLink();
  ASSERT_TRUE(link->StartXmlExport("2026", 5, "X")) << link->Engine().LastError();
  Lines messages;
  bool markerSeen = false;
  port->onRequest = [&](const std::string&) {
    markerSeen |= Exists(state.workingFolder + "wait.txt");
  };
  ExportTransferRequest request;
  request.year = "2026";
  request.month = 5;
  request.typeX = true;
  request.mode = kExportModeBinary;
  request.busyMarker = false;
  ExportTransferHooks hooks;
  hooks.diagnostic = [&](const std::string& text) { messages.push_back(text); };
  const ExportTransferResult result =
      TransferMonthlyExport(*link, clock, state.workingFolder, request, hooks);

  const std::string expected = xruvo_sim::MakeExportArchive("2026", 5, 'X', kSeries);
  EXPECT_EQ(result.outcome, ExportOutcome::kSaved);
  EXPECT_EQ(result.fiscalSeries, kSeries);
  EXPECT_EQ(result.bytes, expected.size());
  EXPECT_EQ(result.archivePath, ArchivePath("202605_" + kSeries + ".ZIP"));
  EXPECT_EQ(messages, (Lines{"Comanda 7400", "Comanda 7404",
                             "Salvez fisier ZIP. Total bytes : " + std::to_string(expected.size()),
                             "Comanda 7408"}));
  EXPECT_FALSE(markerSeen);
}

TEST(ExportHexDecoding, PairsToBytes) {
  int beeps = 0;
  const auto beep = [&beeps] { ++beeps; };
  EXPECT_EQ(DecodeHexPairs("504B", beep), "PK");
  EXPECT_EQ(DecodeHexPairs("504b0304", beep), std::string("PK\x03\x04", 4));
  EXPECT_EQ(beeps, 0);
  EXPECT_EQ(DecodeHexPairs("5G4BZZ", beep), std::string("\0K\0", 3));
  EXPECT_EQ(beeps, 2);
  EXPECT_EQ(DecodeHexPairs("504", beep), "P");  // a last single character is dropped
  EXPECT_EQ(DecodeHexPairs("", beep), "");
  EXPECT_EQ(DecodeHexPairs("zz", nullptr), std::string(1, '\0'));
}

TEST(ExportArchiveName, FolderMonthAndSeries) {
  testing::TempFolder folder;
  const std::string root = folder.Path() + "/";
  EXPECT_EQ(ExportArchivePath(root, "2019", 3, "AB1234"), root + "ExportXML/201903_AB1234.ZIP");
  EXPECT_EQ(ExportArchivePath(root, "2019", 12, ""), root + "ExportXML/201912_.ZIP");
  // Nothing from the ECR or the file can lead the archive out of its folder.
  EXPECT_EQ(ExportArchivePath(root, "2019", 3, "../../X"), root + "ExportXML/201903_.._.._X.ZIP");
  std::filesystem::create_directories(root + "exportxml");
  EXPECT_EQ(ExportArchivePath(root, "2019", 3, "AB"), root + "exportxml/201903_AB.ZIP");
}

}  // namespace
}  // namespace ruvo
