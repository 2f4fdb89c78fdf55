// The XML export dialog's "Start export" on the simulated ECR in virtual time: the
// refused fields, both transfers with the archive the ECR made, the request refused or
// answered 87, the readiness that never comes, and an archive that cannot be saved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExportArchive.h"
#include "console/XmlExport.h"
#include "execution/ExportTransfer.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"
#include "support/ScriptedPump.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;
using testing::ReadBytes;
using testing::WriteBytes;

const std::string kSeries = "XR0012345678";

ExportXmlRequest Request(const std::string& year, const std::string& month, ExportType type,
                         bool binary) {
  ExportXmlRequest request;
  request.yearText = year;
  request.monthText = month;
  request.type = type;
  request.binaryTransfer = binary;
  return request;
}

class XmlExportTest : public testing::ConsoleRig {
 protected:
  explicit XmlExportTest(xruvo_sim::SimConfig config = {}) : ConsoleRig(std::move(config)) {}
  std::string Archive(const std::string& name) {
    return ReadBytes(state.workingFolder + "ExportXML/" + name);
  }
  static long Count(const Texts& sent, const std::string& command) {
    return std::count(sent.begin(), sent.end(), command);
  }
};

TEST_F(XmlExportTest, RefusedFieldsAreToldAndNothingIsSent) {
  struct Case {
    std::string year;
    std::string month;
    std::string message;
    DialogField focus;
  };
  for (const Case& c : {Case{"2017", " 5", "Anul exportului este eronat", DialogField::Year},
                        Case{"", " 5", "Anul exportului este eronat", DialogField::Year},
                        Case{"99999", " 5", "Anul exportului este eronat", DialogField::Year},
                        Case{"2026", "13", "Luna exportului este eronata", DialogField::Month}}) {
    SCOPED_TRACE(c.year + "/" + c.month);
    op.boxes.clear();
    const ExportXmlRequest request = Request(c.year, c.month, ExportType::R, false);
    EXPECT_EQ(CheckExportXmlInput(request).focus, c.focus);
    EXPECT_FALSE(ExportXml(Context(), request));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, c.message);
    EXPECT_EQ(op.boxes[0].caption, "Eroare ");
    EXPECT_EQ(op.boxes[0].kind, MsgKind::Error);
  }
  EXPECT_EQ(ports.made, 0);
  EXPECT_TRUE(CheckExportXmlInput(Request("2018", " 1", ExportType::R, false)).ok);
}

TEST_F(XmlExportTest, HexTransferSavesTheEcrsArchiveSilentlyAndLogsInTheWorkingFolder) {
  state.settings.logFile = true;
  state.settings.mesajLaListareItem = true;  // the diagnostics belong to the binary transfer only
  EXPECT_TRUE(ExportXml(Context(), Request("2026", " 9", ExportType::R, false)));
  const Texts sent = Sent();
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[0], "6416202609R");
  EXPECT_EQ(sent[1], "1008");
  EXPECT_EQ(sent[2], "1111");
  EXPECT_EQ(Count(sent, "74000401"), 1);
  EXPECT_GE(Count(sent, "7403060"), 2);
  EXPECT_EQ(Count(sent, "7404"), 0);
  EXPECT_EQ(sent.back(), "7408");
  EXPECT_EQ(Archive("202609_" + kSeries + ".ZIP"),
            xruvo_sim::MakeExportArchive("2026", 9, 'R', kSeries));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(op.beeps, 0);
  EXPECT_TRUE(Files("", "wait*.txt").empty());
  EXPECT_EQ(Files("", "Log_ExportXML_*.TXT").size(), 1u);
  EXPECT_EQ(ports.open, 0);
}

TEST_F(XmlExportTest, BinaryTransferOfTypeXTellsEachStepWhenDiagnosticsAreOn) {
  state.settings.mesajLaListareItem = true;
  EXPECT_TRUE(ExportXml(Context(), Request("2026", "11", ExportType::X, true)));
  const Texts sent = Sent();
  EXPECT_EQ(sent[0], "6416202611X");
  EXPECT_EQ(Count(sent, "74000701"), 1);
  EXPECT_EQ(Count(sent, "7404"), 1);
  EXPECT_EQ(Count(sent, "7403060"), 0);
  EXPECT_EQ(sent.back(), "7408");
  const std::string expected = xruvo_sim::MakeExportArchive("2026", 11, 'X', kSeries);
  EXPECT_EQ(Archive("202611_" + kSeries + ".ZIP"), expected);
  EXPECT_EQ(op.BoxTexts(),
            (Texts{"Comanda 7400", "Comanda 7404",
                   "Salvez fisier ZIP. Total bytes : " + std::to_string(expected.size()),
                   "Comanda 7408"}));
  for (const auto& box : op.boxes) {
    EXPECT_EQ(box.caption, "Ruvo_Drv");
    EXPECT_EQ(box.kind, MsgKind::Information);
  }

  op.boxes.clear();
  state.settings.mesajLaListareItem = false;
  EXPECT_TRUE(ExportXml(Context(), Request("2026", "11", ExportType::X, true)));
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(XmlExportTest, ExportLeftOpenIsClosedAndAskedForOnceMore) {
  Fault("export-87");
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_TRUE(ExportXml(Context(), Request("2026", " 3", ExportType::R, false)));
  const Texts sent = Sent();
  ASSERT_GE(sent.size(), 4u);
  EXPECT_EQ((Texts{sent[0], sent[1], sent[2], sent[3]}),
            (Texts{"6416202603R", "7408", "6416202603R", "1008"}));
  EXPECT_GE(clock.MonotonicMs() - start, 200 + 7000);
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(XmlExportTest, RefusedRequestIsToldWithTheErrorAndNothingFollows) {
  state.settings.logFile = true;
  Fault("err 6416 3 once");
  EXPECT_FALSE(ExportXml(Context(), Request("2026", " 3", ExportType::R, false)));
  EXPECT_EQ(Sent(), Texts{"6416202603R"});
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.rfind("Eroare la efectuarea exportului !\r3;", 0), 0u);
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
  EXPECT_EQ(Files("", "Log_ExportXML_*.TXT").size(), 1u);
}

TEST_F(XmlExportTest, ArchiveThatCannotBeSavedIsToldAndTheEcrsExportIsClosed) {
  WriteBytes(state.workingFolder + "ExportXML", "a file where the folder should be");
  EXPECT_FALSE(ExportXml(Context(), Request("2026", " 4", ExportType::R, true)));
  EXPECT_EQ(Sent().back(), "7408");
  EXPECT_EQ(op.errors, Texts{"Nu pot salva fisierul " + state.workingFolder + "ExportXML/202604_" +
                             kSeries + ".ZIP"});
  EXPECT_TRUE(op.boxes.empty());
}

// The seven seconds before the first readiness poll, and the polls' pauses, keep the
// window and the control socket served: something asked at 3 s is taken at 3 s.
TEST_F(XmlExportTest, TheWaitsBeforeTheArchiveServeTheEventLoop) {
  testing::ScriptedPump script(clock, 100);
  std::int64_t servedAt = -1;
  const std::int64_t start = clock.MonotonicMs();
  script.At(start + 3'000, [&] { servedAt = clock.MonotonicMs() - start; });
  const ConsoleContext context{DriverContext{clock, script, op, ports}, state};
  EXPECT_TRUE(ExportXml(context, Request("2026", "09", ExportType::R, false)));
  ASSERT_GE(servedAt, 3'000);
  EXPECT_LT(servedAt, 3'200);
}

class XmlExportNeverReadyTest : public XmlExportTest {
 protected:
  static xruvo_sim::SimConfig NeverReady() {
    xruvo_sim::SimConfig config;
    config.exportPrepareMs = 100'000'000;
    return config;
  }
  XmlExportNeverReadyTest() : XmlExportTest(NeverReady()) {}
};

TEST_F(XmlExportNeverReadyTest,
       ReadinessThatNeverComesEndsAfterAbout120SecondsWithoutFileOrMessage) {
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(ExportXml(Context(), Request("2026", " 6", ExportType::R, false)));
  const std::int64_t elapsed = clock.MonotonicMs() - start;
  EXPECT_GE(elapsed, 7000 + 120000);
  EXPECT_LE(elapsed, 7000 + 125000);
  const Texts sent = Sent();
  EXPECT_GE(Count(sent, "1111"), 119);
  EXPECT_EQ(Count(sent, "74000401"), 0);
  EXPECT_EQ(Count(sent, "7408"), 0);
  EXPECT_FALSE(FolderExists(state.workingFolder + "ExportXML"));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_TRUE(op.errors.empty());
}

// An archive longer than the link can take: announced whole, it can never arrive, so the
// answer runs out of room and times out. The operator (and `ctl export`, through the same
// messages) learns why nothing was saved; the ECR's export is closed.
class XmlExportTooLargeTest : public XmlExportTest {
 protected:
  static xruvo_sim::SimConfig Huge() {
    xruvo_sim::SimConfig config;
    config.exportArchive = std::string(kMaxExportBytes + 1, 'Z');
    return config;
  }
  XmlExportTooLargeTest() : XmlExportTest(Huge()) {}
};

TEST_F(XmlExportTooLargeTest, BinaryTransferOfAnArchiveOverTheLimitTellsWhyNothingWasSaved) {
  EXPECT_FALSE(ExportXml(Context(), Request("2026", " 6", ExportType::R, true)));
  EXPECT_EQ(Sent().back(), "7408");
  EXPECT_TRUE(Files("ExportXML", "*.ZIP").empty());
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, "Arhiva exportului depaseste " + std::to_string(kMaxExportBytes) +
                                  " bytes si nu a fost salvata !");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
}

}  // namespace
}  // namespace ruvo
