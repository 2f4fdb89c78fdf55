// What the commands keep from the ECR's answers, the shape checks, the repeats, the close
// with its payment of what is due, and the export retry, against a scripted ECR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinkFixture.h"

namespace ruvo::test {
namespace {

using Texts = std::vector<std::string>;

class AnswerTest : public LinkTest {
 protected:
  std::vector<std::string> Sent() const {
    std::vector<std::string> texts;
    for (const std::string& frame : port->written)
      texts.push_back(frame.substr(4, frame.size() - 7));
    return texts;
  }
  void Ok(const std::string& data = std::string()) { port->QueueAnswer(Answer(data)); }
  void Err(const std::string& code) { port->QueueAnswer(ErrorAnswer(code)); }
  std::string ErrorCode() const {
    return link->Engine().LastError().substr(0, link->Engine().LastError().find(';'));
  }
};

// --- Status ------------------------------------------------------------------------------

TEST_F(AnswerTest, StatusOfNineteenCharactersIsZeroedAndFails) {
  Ok("00010011010010000000");
  ASSERT_TRUE(link->ReadStatus());
  Ok("0001001101001000000");
  EXPECT_FALSE(link->ReadStatus());
  EXPECT_EQ(link->StatusText(), std::string(20, '\0'));
  EXPECT_EQ(ErrorCode(), "8002");
  // Zero bytes test as nothing at all, also for the positions that matter when "0".
  EXPECT_FALSE(link->StatusCoverOpen());
  EXPECT_FALSE(link->StatusFiscalMemoryAbsent());
  EXPECT_FALSE(link->StatusPaperOut());
}

TEST_F(AnswerTest, StatusAccessorsTestTheirPositions) {
  Ok("00010011010010000000");  // healthy, fiscalized, nothing open
  ASSERT_TRUE(link->ReadStatus());
  EXPECT_FALSE(link->StatusPaperOut() || link->StatusPaperNearEnd() || link->StatusCoverOpen() ||
               link->StatusCutterError() || link->StatusFiscalMemoryAbsent() ||
               link->StatusNotFiscalized() || link->StatusFiscalMemoryFull() ||
               link->StatusJournalAbsent() || link->StatusJournalFull() ||
               link->StatusDisplayAbsent() || link->StatusJournalAlmostFull() ||
               link->StatusFiscalReceiptOpen() || link->StatusNonFiscalReceiptOpen());
  //   position:  12345678901234567890
  Ok("01101000101101101000");
  ASSERT_TRUE(link->ReadStatus());
  EXPECT_TRUE(link->StatusPaperOut());
  EXPECT_TRUE(link->StatusPaperNearEnd());
  EXPECT_TRUE(link->StatusCoverOpen());
  EXPECT_TRUE(link->StatusCutterError());
  EXPECT_TRUE(link->StatusFiscalMemoryAbsent());
  EXPECT_TRUE(link->StatusNotFiscalized());
  EXPECT_TRUE(link->StatusFiscalMemoryFull());
  EXPECT_TRUE(link->StatusJournalAbsent());
  EXPECT_TRUE(link->StatusJournalFull());
  EXPECT_TRUE(link->StatusDisplayAbsent());
  EXPECT_TRUE(link->StatusJournalAlmostFull());
  EXPECT_TRUE(link->StatusFiscalReceiptOpen());
  EXPECT_TRUE(link->StatusNonFiscalReceiptOpen());
}

// --- Repeats -----------------------------------------------------------------------------

TEST_F(AnswerTest, StateQueriesAreSentUpToThreeTimes) {
  Err("16");
  Err("37");
  Ok("00010011010010000000");
  EXPECT_TRUE(link->ReadStatus());
  EXPECT_EQ(Sent(), (Texts{"1215", "1215", "1215"}));

  port->written.clear();
  Err("16");
  port->QueueSilence();
  Err("37");
  EXPECT_FALSE(link->ReadReceiptState());
  EXPECT_EQ(Sent(), (Texts{"1012", "1012", "1012"}));
  EXPECT_EQ(ErrorCode(), "37");  // the last failure counts

  port->written.clear();
  Err("16");
  Ok("01000000");
  std::string answer;
  EXPECT_TRUE(link->ReadPrinterState(answer));
  EXPECT_EQ(Sent(), (Texts{"1309", "1309"}));
  EXPECT_TRUE(link->PrinterStateError());
}

TEST_F(AnswerTest, DocumentStateIsSentUpToFourTimes) {
  for (int k = 0; k < 4; ++k) Err("21");
  std::string answer;
  EXPECT_FALSE(link->ReadDocumentState(answer));
  EXPECT_EQ(Sent(), (Texts{"1111", "1111", "1111", "1111"}));
  port->written.clear();
  Err("21");
  Ok("100123");
  EXPECT_TRUE(link->ReadDocumentState(answer));
  EXPECT_EQ(Sent().size(), 2u);
  EXPECT_EQ(answer, "100123");
  EXPECT_EQ(link->DocumentNumberText(), "0123");
}

TEST_F(AnswerTest, SetDateTimeWantsTheAnswerZero) {
  Ok("1");
  Ok("0");
  EXPECT_TRUE(link->SetDateTime(5, 3, 26, 9, 7));
  EXPECT_EQ(Sent(), (Texts{"20010503260907", "20010503260907"}));

  port->written.clear();
  Ok("1");
  Ok("");
  Ok("X");
  EXPECT_FALSE(link->SetDateTime(5, 3, 26, 9, 7));
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_EQ(link->Engine().LastError(),
            "0;Eroare necunoscuta \x96 contactati tehnicianul autorizat");

  port->written.clear();
  Err("12");
  EXPECT_FALSE(link->SetDateTime(31, 2, 26, 9, 7));
  EXPECT_EQ(ErrorCode(), "12");
  EXPECT_EQ(Sent().size(), 1u);  // an ECR error is not repeated
}

// --- Answer shapes -----------------------------------------------------------------------

TEST_F(AnswerTest, PrinterStateShape) {
  std::string answer;
  Ok("0100000");
  EXPECT_FALSE(link->ReadPrinterState(answer));
  EXPECT_EQ(ErrorCode(), "8002");
  EXPECT_FALSE(link->PrinterStateError());
  Ok("01x00000");
  EXPECT_FALSE(link->ReadPrinterState(answer));
  EXPECT_EQ(link->Engine().LastError(), "8031;Valoarea returnata nu este numerica ");
  EXPECT_FALSE(link->PrinterStateError());
}

TEST_F(AnswerTest, DocumentStateShape) {
  std::string answer;
  Ok("11012");
  EXPECT_FALSE(link->ReadDocumentState(answer));
  EXPECT_EQ(ErrorCode(), "8002");
  Ok("11A012");
  EXPECT_FALSE(link->ReadDocumentState(answer));
  EXPECT_EQ(ErrorCode(), "8031");
  EXPECT_EQ(link->DocumentNumberText(), "");
}

TEST_F(AnswerTest, LastReceiptNumberKeepsTypeFlagsAndNumber) {
  link->SetLongTimeOut(9);
  std::string answer;
  Ok("20042");
  ASSERT_TRUE(link->ReadLastReceiptNumber(answer));
  EXPECT_EQ(link->Engine().TimeOutMs(), 9000);
  EXPECT_TRUE(link->ReceiptOpen());
  EXPECT_FALSE(link->ReceiptPaid());
  EXPECT_EQ(link->ReceiptNumberText(), "0042");
  Ok("60043");
  ASSERT_TRUE(link->ReadLastReceiptNumber(answer));
  EXPECT_FALSE(link->ReceiptOpen());
  EXPECT_TRUE(link->ReceiptPaid());
  Ok("6004");
  EXPECT_FALSE(link->ReadLastReceiptNumber(answer));
  EXPECT_EQ(ErrorCode(), "8002");
  EXPECT_FALSE(link->ReceiptPaid());
  EXPECT_EQ(link->ReceiptNumberText(), "");
}

TEST_F(AnswerTest, DailyTotalsNeedTheWholeBlock) {
  const std::string block(253, '7');
  Ok(block);
  ASSERT_TRUE(link->ReadDailyTotals());
  EXPECT_EQ(link->DailyTotalsBlock(), block);
  Ok(std::string(252, '7'));
  EXPECT_FALSE(link->ReadDailyTotals());
  EXPECT_EQ(ErrorCode(), "8002");
  EXPECT_EQ(link->DailyTotalsBlock(), std::string(253, '\0'));
}

TEST_F(AnswerTest, TotalizerFiscalSeriesAndJournalAnswer) {
  std::string answer;
  Err("03");
  EXPECT_FALSE(link->ReadTotalizer(3, answer));
  EXPECT_EQ(link->TotalizerNumber(), 3);
  EXPECT_EQ(link->TotalizerText(), "000000000");
  Ok("000012345");
  ASSERT_TRUE(link->ReadTotalizer(4, answer));
  EXPECT_EQ(link->TotalizerText(), "000012345");

  std::string series = "old";
  int result = -1;
  Ok("XR0012345678");
  ASSERT_TRUE(link->ReadFiscalSeries(series, result));
  EXPECT_EQ(series, "XR0012345678");
  EXPECT_EQ(result, 0);
  Err("15");
  EXPECT_FALSE(link->ReadFiscalSeries(series, result));
  EXPECT_EQ(series, "");
  EXPECT_EQ(result, 15);

  Ok("Z 0001 BONURI 0001-0002");
  ASSERT_TRUE(link->PrintJEReceiptsOfZ(1, 1, 2));
  EXPECT_EQ(link->ReportAnswer(), "Z 0001 BONURI 0001-0002");
  Err("03");
  EXPECT_FALSE(link->PrintJEReceiptsOfZ(1, 2, 1));
  EXPECT_EQ(link->ReportAnswer(), "");
  EXPECT_EQ(Sent().back(), "8006000100020001");
}

// --- Close of the receipt ------------------------------------------------------------------

TEST_F(AnswerTest, CloseFirstPaysWhatIsStillDueInCash) {
  Ok("+000001250");
  ASSERT_TRUE(link->Payment(2, "CEC", 20));
  Ok("-000000000");
  Ok();
  ASSERT_TRUE(link->CloseReceipt());
  EXPECT_EQ(Sent(), (Texts{"3007"
                           "02"
                           "00"
                           "03"
                           "CEC"
                           "0000020"
                           "00",
                           "3007"
                           "03"
                           "00"
                           "00"
                           "0000012"
                           "50",
                           "3011"}));
  EXPECT_EQ(link->Engine().TimeOutMs(), 30000);
  // The receipt is closed: a second close pays nothing.
  port->written.clear();
  Ok();
  ASSERT_TRUE(link->CloseReceipt());
  EXPECT_EQ(Sent(), Texts{"3011"});
}

TEST_F(AnswerTest, CloseWithoutDueSendsOnlyTheClose) {
  for (const std::string due : {"-000000000", "+00000125", "+0000012A0", "x000001250"}) {
    port->written.clear();
    Ok(due);
    ASSERT_TRUE(link->Payment(1, "", 1));
    Ok();
    ASSERT_TRUE(link->CloseReceipt()) << due;
    EXPECT_EQ(Sent().back(), "3011") << due;
    EXPECT_EQ(Sent().size(), 2u) << due;
  }
}

TEST_F(AnswerTest, CloseStopsWhenTheDuePaymentFails) {
  Ok("+000001250");
  ASSERT_TRUE(link->Payment(1, "", 1));
  Err("16");
  EXPECT_FALSE(link->CloseReceipt());
  EXPECT_EQ(Sent().back().substr(0, 4), "3007");
  EXPECT_EQ(ErrorCode(), "16");
  EXPECT_TRUE(link->Engine().ErrorPaperOut());
}

TEST_F(AnswerTest, CancelledReceiptOwesNothingToALaterClose) {
  Ok("+000001250");
  ASSERT_TRUE(link->Payment(1, "", 1));
  Ok();
  ASSERT_TRUE(link->CancelReceipt());
  Ok();
  ASSERT_TRUE(link->CloseReceipt());
  EXPECT_EQ(Sent(), (Texts{"3007"
                           "03"
                           "00"
                           "00"
                           "0000001"
                           "00",
                           "33028", "3011"}));
}

TEST_F(AnswerTest, CloseTimedOutAfterAnAckAddsTheHintOnce) {
  port->Queue({Chunk{10, "\x06"}});
  EXPECT_FALSE(link->CloseReceipt());
  EXPECT_EQ(link->Engine().LastError(),
            "8048;TIME OUT; VERIFICATI STAREA IMPRIMANTEI CU COMANDA 9999");
  EXPECT_FALSE(link->Engine().CloseAckTimedOut());
  EXPECT_GE(Elapsed(), 30000);
  port->QueueSilence();
  EXPECT_FALSE(link->CloseReceipt());
  EXPECT_EQ(link->Engine().LastError(), "8048;TIME OUT");
}

// --- Long commands -----------------------------------------------------------------------

TEST_F(AnswerTest, TypedReportPollsTheBusyEcrAndClearsTheFlag) {
  const std::string answer = Answer("");
  port->Queue({Chunk{10, "\x06"}, Chunk{8000, answer.substr(1)}});
  port->QueueAnswer(PollAnswer("100"));
  ASSERT_TRUE(link->PrintTypedReportA(3));
  EXPECT_FALSE(link->Engine().StatusPollEnabled());
  EXPECT_EQ(Sent(), (Texts{"220203", "1010"}));

  port->written.clear();
  port->Queue({Chunk{10, "\x06"}});
  port->QueueSilence();
  EXPECT_FALSE(link->PrintTypedReportB(14));
  EXPECT_EQ(ErrorCode(), "8048");
  EXPECT_FALSE(link->Engine().StatusPollEnabled());
  EXPECT_EQ(Sent(), (Texts{"220314", "1010"}));
}

TEST_F(AnswerTest, ExportDataIsLengthPrefixedOnlyDuringTheCommand) {
  const std::string data = "PK\x03\x04 zip bytes";
  std::string frame = "\x06";
  frame += std::string("\0\0\0", 3) + static_cast<char>(data.size());
  frame += data + std::string(15, '\0');
  port->QueueAnswer(frame);
  ASSERT_TRUE(link->ReadExportData());
  EXPECT_EQ(link->Engine().LengthPrefixedData(), data);
  EXPECT_FALSE(link->Engine().LengthPrefixed());
  port->QueueSilence();
  EXPECT_FALSE(link->ReadExportData());
  EXPECT_FALSE(link->Engine().LengthPrefixed());
}

TEST_F(AnswerTest, ExportRequestRetriedOnceAfterError87) {
  Err("87");
  Ok();
  Ok();
  ASSERT_TRUE(link->StartXmlExport("2026", 3, "X"));
  EXPECT_EQ(Sent(), (Texts{"641620260"
                           "3X",
                           "7408",
                           "641620260"
                           "3X"}));
  // The pause comes between the close of the old transfer and the new request.
  std::vector<std::string> requests;
  for (const std::string& line : link->Engine().ExchangeLog()) {
    if (line.find("-Calculator : 6416") != std::string::npos) requests.push_back(line);
  }
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(Elapsed(), 200);

  port->written.clear();
  Err("87");
  Ok();
  Err("87");
  EXPECT_FALSE(link->StartXmlExport("2026", 3, "X"));
  EXPECT_EQ(Sent().size(), 3u);  // once more only
  EXPECT_EQ(ErrorCode(), "87");
}

TEST_F(AnswerTest, NonFiscalCloseGoesOnWhateverTheDocumentQuerySays) {
  for (int k = 0; k < 4; ++k) Err("05");
  Ok("0001");
  EXPECT_TRUE(link->CloseNonFiscalReceipt());
  EXPECT_EQ(Sent(), (Texts{"1111", "1111", "1111", "1111", "4004"}));
}

}  // namespace
}  // namespace ruvo::test
