// The logo upload and the XML export of the operator console against the xruvo_sim
// program on a pseudo-terminal, through the driver's termios ports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExportArchive.h"
#include "SimulatedEcr.h"
#include "app/DriverContext.h"
#include "app/DriverState.h"
#include "console/LogoUpload.h"
#include "console/XmlExport.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "support/FileBytes.h"
#include "support/RecordingOperator.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;
using testing::ReadBytes;
using testing::WriteBytes;

// Real time on the line, but the export's pauses (7 s, then 1 s between polls) pass at
// once: the simulator has the archive ready straight away.
class HurriedClock final : public IClock {
 public:
  LocalDateTime Now() const override { return real_.Now(); }
  std::int64_t MonotonicMs() const override { return real_.MonotonicMs() + skippedMs_; }
  std::int64_t MonotonicUs() const override { return real_.MonotonicUs() + skippedMs_ * 1000; }
  void SleepMs(std::int64_t ms) override { skippedMs_ += ms; }

 private:
  SystemClock real_;
  std::int64_t skippedMs_ = 0;
};

class ConsolePtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ecr.Start({"--export-ms", "0", "--logo", folder.Path() + "/ecr.logo"}));
    WriteBytes(settings, "[Porturi]\r\nCOM1=" + ecr.Link() + "\r\n");
    state.workingFolder = folder.Path() + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.settings.port = 1;
    state.settings.logFile = true;
  }
  ConsoleContext Context() { return ConsoleContext{DriverContext{clock, pump, op, ports}, state}; }

  ruvo::testing::TempFolder folder;
  e2e::SimulatedEcr ecr{folder.Path(), "ecr"};
  std::string settings = folder.Path() + "/XRUVODRV.INI";
  PosixPortFactory ports{settings};
  HurriedClock clock;
  NullEventPump pump;
  ruvo::testing::RecordingOperator op;
  DriverState state;
};

TEST_F(ConsolePtyTest, LogoOf120BytesArrivesByteForByteAndTheScriptMatchesTheLog) {
  std::string picture(120, '\0');
  for (std::size_t k = 0; k < picture.size(); ++k) picture[k] = static_cast<char>(255 - k);
  picture[7] = '\x0A';
  WriteBytes(folder.Path() + "/Sigla.bmp", picture);
  ASSERT_TRUE(LoadLogo(Context(), folder.Path() + "/Sigla.bmp", nullptr,
                       LogoConfirmation::AlreadyConfirmed))
      << (op.boxes.empty() ? "" : op.boxes.back().text);
  EXPECT_EQ(ReadBytes(folder.Path() + "/ecr.logo"), picture);
  EXPECT_EQ(op.BoxTexts(), Texts{"Transmisia s-a facut cu succes !"});

  const std::optional<Texts> script = ReadLines(state.workingFolder + "SIGLA.XRD");
  ASSERT_TRUE(script);
  ASSERT_EQ(script->size(), 5u);
  EXPECT_EQ((*script)[0], "9100000120");
  EXPECT_EQ((*script)[1].substr(0, 22), "910150FFFEFDFCFBFAF90A");
  EXPECT_EQ((*script)[3].substr(0, 6), "910120");
  EXPECT_EQ((*script)[3].size(), 6u + 40u);
  EXPECT_EQ((*script)[4], "9102");
  // The log names each command as it went out: the same texts as the script.
  const std::vector<std::string> logs = ListMatching(state.logFolder, "Log_LoadBMP_*.TXT");
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = ReadBytes(state.logFolder + logs[0]);
  for (const std::string& line : *script)
    EXPECT_NE(log.find("-Calculator : " + line + "\r\n"), std::string::npos) << line;
}

TEST_F(ConsolePtyTest, BothTransfersSaveTheArchiveTheEcrMade) {
  const std::string series = "XR0012345678";
  EXPECT_TRUE(ExportXml(Context(), ExportXmlRequest{"2026", " 2", ExportType::R, false}));
  EXPECT_EQ(ReadBytes(state.workingFolder + "ExportXML/202602_" + series + ".ZIP"),
            xruvo_sim::MakeExportArchive("2026", 2, 'R', series));
  EXPECT_TRUE(ExportXml(Context(), ExportXmlRequest{"2026", "12", ExportType::X, true}));
  EXPECT_EQ(ReadBytes(state.workingFolder + "ExportXML/202612_" + series + ".ZIP"),
            xruvo_sim::MakeExportArchive("2026", 12, 'X', series));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_FALSE(ListMatching(state.workingFolder, "Log_ExportXML_*.TXT").empty());
}

}  // namespace
}  // namespace ruvo
