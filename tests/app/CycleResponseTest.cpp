#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "app/DrawerCash.h"
#include "app/ResponseFile.h"
#include "app/ResponseWarnings.h"
#include "platform/Files.h"

namespace ruvo::testing {
namespace {

TEST(CycleDrawerCash, FormatsTheEcrsTenCharacters) {
  EXPECT_EQ(FormatDrawerCash("+000123456"), "1234.56");
  EXPECT_EQ(FormatDrawerCash("-000000050"), "-0.50");
  EXPECT_EQ(FormatDrawerCash("+000000000"), "0.00");
  EXPECT_EQ(FormatDrawerCash("+999999999"), "9999999.99");
  EXPECT_EQ(FormatDrawerCash(" 000000100"), " 1.00");
}

TEST(CycleDrawerCash, OtherLengthsPassUnchanged) {
  EXPECT_EQ(FormatDrawerCash(""), "");
  EXPECT_EQ(FormatDrawerCash("+00012345"), "+00012345");
  EXPECT_EQ(FormatDrawerCash("+0001234567"), "+0001234567");
}

class CycleResponse : public ::testing::Test, public CycleFixtureBase {
 protected:
  std::vector<std::string> noExtra;
  FileRun file;
  ResponseWriter writer{state, op, noExtra, file};
};

TEST_F(CycleResponse, AllFourteenLinesInTheirOrder) {
  ResponseItems& r = file.response;
  r.fiscalReceiptNumber = "0042";
  state.fiscalSeries = "AB1234";
  r.nonFiscalReceiptNumber = "0043";
  r.extraMessage = "EXTRA";
  r.pendingReceiptState = "STARE BON";
  r.drawerCash = "+000123456";
  r.administrativeAnswer = "RASPUNS";
  r.autoFinishedReceipt = "0041";
  r.extraLines = {"TOTAL 1", "TOTAL 2"};
  state.warnings.paperNearEnd = true;
  state.warnings.journalAlmostFull = true;
  state.jeFreeLines = 501;
  EXPECT_EQ(BuildResponseLines("8007;Eroare : x", file, state),
            (std::vector<std::string>{
                "1 ERROR", "8007;Eroare : x", "BON FISCAL NR. 0042", "Serie Fiscala : AB1234",
                "BON NEFISCAL NR. 0043", "EXTRA", "STARE BON", "NUMERAR SERTAR : 1234.56",
                "RASPUNS", "A FOST FINALIZAT AUTOMAT BONUL 0041", "TOTAL 1", "TOTAL 2",
                "8024;ATENTIE ! SE TERMINA HARTIA", "8024;ATENTIE ! JURNAL APROAPE PLIN",
                "NUMARUL DE LINII LIBERE IN JE = 501/  CHEMATI TEHNICIANUL AUTORIZAT PENTRU "
                "INLOCUIREA MEMORIEI JE"}));
}

TEST_F(CycleResponse, SuccessHasNoErrorLine) {
  file.response.fiscalReceiptNumber = "12";
  EXPECT_EQ(BuildResponseLines("0 OK", file, state),
            (std::vector<std::string>{"0 OK", "BON FISCAL NR. 12"}));
  // Only the exact text counts as success.
  EXPECT_EQ(BuildResponseLines("0 OK ", file, state)[0], "1 ERROR");
}

TEST_F(CycleResponse, FreeJournalLinesAreReportedFrom501To99999) {
  const auto hasJeLine = [&](int freeLines) {
    state.jeFreeLines = freeLines;
    const std::vector<std::string> lines = BuildResponseLines("0 OK", file, state);
    return lines.size() == 2 &&
           lines[1].rfind("NUMARUL DE LINII LIBERE IN JE = " + std::to_string(freeLines) + "/",
                          0) == 0;
  };
  EXPECT_FALSE(hasJeLine(-1));
  EXPECT_FALSE(hasJeLine(500));
  EXPECT_TRUE(hasJeLine(501));
  EXPECT_TRUE(hasJeLine(99999));
  EXPECT_FALSE(hasJeLine(100000));
}

TEST_F(CycleResponse, PendingReceiptStateIsWrittenOnce) {
  file.response.pendingReceiptState = "BON DESCHIS";
  writer.WriteResponse("0 OK");
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\nBON DESCHIS\r\n");
  writer.WriteResponse("0 OK");
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
}

TEST_F(CycleResponse, TheLastWriteWinsAlsoInTheHistoryCopy) {
  state.settings.history = true;
  file.suffix = "3";
  file.stamp = "2026_01_15_12_00_00";
  writer.WriteResponse("8001;Eroare");
  writer.WriteResponse("0 OK");
  EXPECT_EQ(Read("ERROR3.TXT"), "0 OK\r\n");
  EXPECT_EQ(ReadBytes(state.historyFolder + "ERROR3_2026_01_15_12_00_00.TXT"), "0 OK\r\n");
  EXPECT_TRUE(writer.Written());
  EXPECT_TRUE(writer.LastSaveSucceeded());
}

TEST_F(CycleResponse, ErrorDialogOnlyForErrorsAndOnlyWhenAskedFor) {
  writer.WriteResponse("8005;Fisierul de intrare nu contine date");
  EXPECT_TRUE(op.boxes.empty());
  state.settings.dialogMesajEroare = true;
  writer.WriteResponse("0 OK");
  EXPECT_TRUE(op.boxes.empty());
  writer.WriteResponse("8005;Fisierul de intrare nu contine date");
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, "8005;Fisierul de intrare nu contine date");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
  EXPECT_EQ(op.boxes[0].buttons, MsgButtons::Ok);
}

// The error box waits on the operator; the sales application must not: when the box comes
// up the answer is in the folder and the receipt file gone.
TEST(CycleErrorDialog, ComesUpOnlyOnceTheAnswerIsSaved) {
  struct Looking final : IOperator {
    MsgResult RomMessageDlg(const std::string& text, const std::string& caption, MsgKind,
                            MsgButtons) override {
      seen.push_back(caption + ": " + text +
                     (FileExists(answer) ? " (answered)" : " (unanswered)") +
                     (FileExists(receipt) ? " (file there)" : ""));
      return MsgResult::Ok;
    }
    void ShowDefaultError(const std::string&) override {}
    bool AskPaymentForm(int&) override { return false; }
    void Beep() override {}
    std::string answer, receipt;
    std::vector<std::string> seen;
  };
  CycleFixtureBase base;
  base.state.settings.dialogMesajEroare = true;
  Looking op;
  op.answer = base.PathOf("ERROR.TXT");
  op.receipt = base.PathOf("ONLINE.TXT");
  base.execution.answer = "16;Eroare lipsa hartie";
  ReceiptFileCycle cycle(base.state, op, base.clock, base.execution);
  base.Drop("ONLINE.TXT", "1;PAINE;BUC;1;1;250;100000\r\n5;250;1\r\n");
  ASSERT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(op.seen, std::vector<std::string>{"Eroare: 16;Eroare lipsa hartie (answered)"});
}

TEST(CycleWarnings, RebuildTheBoxAndShowTheWindowOnlyWhenThereIsOne) {
  DriverState state;
  state.warningBox = {"old"};
  RefreshWarnings(state);
  EXPECT_TRUE(state.warningBox.empty());
  EXPECT_FALSE(state.windowVisible);

  state.warningBox = {"Linii libere in memoria JE :900"};
  state.warnings.paperNearEnd = true;
  state.warnings.journalAlmostFull = true;
  state.warnings.notFiscalized = true;
  RefreshWarnings(state, {"extra"});
  EXPECT_EQ(state.warningBox,
            (std::vector<std::string>{"Atentie ! Se termina hartia !",
                                      "Atentie ! Jurnal aproape plin!",
                                      "Atentie ! Imprimanta nefiscalizata !", "extra"}));
  EXPECT_TRUE(state.windowVisible);
}

TEST_F(CycleResponse, WritingAResponseRefreshesTheWarnings) {
  state.warnings.notFiscalized = true;
  writer.WriteResponse("0 OK");
  EXPECT_EQ(state.warningBox, std::vector<std::string>{"Atentie ! Imprimanta nefiscalizata !"});
  EXPECT_TRUE(state.windowVisible);
}

// A sales application polls for its answer and reads it the moment it appears; it must
// only ever see one of the whole answers, never a part of one.
TEST_F(CycleResponse, APollingReaderNeverSeesHalfAResponse) {
  // Two answers of different sizes, written in turn: about 250 and 500 KB.
  const auto fillExtraLines = [&](std::size_t n) {
    file.response.extraLines.assign(4000 * (n + 1), std::string(60, static_cast<char>('A' + n)));
  };
  std::vector<std::string> wholeAnswers;
  for (std::size_t n : {0u, 1u}) {
    fillExtraLines(n);
    std::string bytes;
    for (const std::string& line : BuildResponseLines("0 OK", file, state)) bytes += line + "\r\n";
    wholeAnswers.push_back(bytes);
  }

  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      if (!Exists(PathOf("ERROR.TXT"))) continue;
      const std::string seen = Read("ERROR.TXT");
      if (seen.empty() && !Exists(PathOf("ERROR.TXT"))) continue;  // deleted meanwhile
      ++reads;
      if (seen != wholeAnswers[0] && seen != wholeAnswers[1]) ++torn;
    }
  });
  for (int i = 0; i < 60; ++i) {
    fillExtraLines(static_cast<std::size_t>(i % 2));
    writer.WriteResponse("0 OK");
    if (i % 10 == 9) ::unlink(PathOf("ERROR.TXT").c_str());
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

class CycleRefusedLine : public ::testing::Test, public CycleFixtureBase {
 protected:
  ReceiptFileCycle cycle{state, op, clock, execution};
};

// A sales application that loses its line ends sends one endless line: the answer repeats
// a kilobyte of it and says how long it was, in ERROR.TXT and in its history copy alike.
TEST_F(CycleRefusedLine, ATenMegabyteLineIsEchoedCutToAKilobyte) {
  state.settings.history = true;
  const std::string line = "1;" + std::string(10 * 1024 * 1024, 'A') + ";U;1;1;2.50;100000";
  Drop("ONLINE.TXT", line + "\r\n5;250;1\r\n");
  ASSERT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.prepares, 0);

  const std::string expected = "1 ERROR\r\n8011;Pret eronat : " + line.substr(0, 1024) + " [... " +
                               std::to_string(line.size()) + " caractere]\r\n";
  EXPECT_EQ(Read("ERROR.TXT"), expected);
  const std::vector<std::string> copies = ListMatching(state.historyFolder, "ERROR_*.TXT");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadBytes(state.historyFolder + copies[0]), expected);
}

}  // namespace
}  // namespace ruvo::testing
