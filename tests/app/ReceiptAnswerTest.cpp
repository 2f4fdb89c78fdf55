// The structured answer: its own durable form, and the reading of an answer that only a
// response file holds.
#include <gtest/gtest.h>

#include "app/ReceiptAnswer.h"
#include "app/ResponseFile.h"

namespace ruvo {
namespace {

TEST(ReceiptAnswer, ItsDurableFormGivesItBackWholeAndRefusesAnythingElse) {
  FileRun run;
  run.response.fiscalReceiptNumber = "0042";
  DriverState state;
  state.warnings.paperNearEnd = true;
  const ReceiptAnswer sale = BuildAnswer(kResponseOk, AnswerOutcome::Failed, run, state);
  EXPECT_TRUE(sale.Ok());
  EXPECT_EQ(sale.code, 0);
  EXPECT_EQ(sale.fiscalNumber, "0042");
  EXPECT_EQ(sale.warnings, std::vector<std::string>{"ATENTIE ! SE TERMINA HARTIA"});
  EXPECT_EQ(sale.lines, (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0042",
                                                  "8024;ATENTIE ! SE TERMINA HARTIA"}));
  EXPECT_EQ(DecodeAnswer(EncodeAnswer(sale)), sale);

  // Any byte in a text, the ECR's dash included, survives.
  const ReceiptAnswer refused = BuildAnswer("8046;Cod \x96 nenumeric : 31;X\n",
                                            AnswerOutcome::Refused, FileRun{}, DriverState{});
  EXPECT_EQ(refused.outcome, AnswerOutcome::Refused);
  EXPECT_EQ(refused.code, 8046);
  EXPECT_EQ(refused.message, "Cod \x96 nenumeric : 31;X\n");
  const std::string encoded = EncodeAnswer(refused);
  EXPECT_EQ(encoded.find('\x96'), std::string::npos);
  // Kept whole or not at all: a text cut anywhere, or a line end taken off, is no answer.
  for (std::size_t length = 0; length < encoded.size(); ++length) {
    EXPECT_FALSE(DecodeAnswer(encoded.substr(0, length))) << length;
  }
  EXPECT_FALSE(
      DecodeAnswer("outcome done\ncode 8046\nmessage \nfiscal \nnonfiscal \nline 30\nend\n"));
  EXPECT_FALSE(DecodeAnswer(encoded + "line 30\n"));
  EXPECT_FALSE(
      DecodeAnswer("outcome maybe\ncode -\nmessage \nfiscal \nnonfiscal \nline 30\nend\n"));
  EXPECT_TRUE(
      DecodeAnswer("outcome failed\ncode -\nmessage \nfiscal \nnonfiscal \nline 30\nend\n"));
  EXPECT_FALSE(DecodeAnswer("0 OK\r\n"));
}

TEST(ReceiptAnswer, OnlyTheOkLineIsSuccessAndCodesAreNumbersThatFit) {
  const ReceiptAnswer silent = AnswerOfLines({" NU POT COMUNICA CU CASA DE MARCAT"});
  EXPECT_FALSE(silent.Ok());
  EXPECT_FALSE(silent.code);
  EXPECT_EQ(silent.message, " NU POT COMUNICA CU CASA DE MARCAT");

  const ReceiptAnswer huge = AnswerOfLines({"1 ERROR", "99999999999999999999;Eroare"});
  EXPECT_FALSE(huge.code);
  EXPECT_EQ(huge.message, "99999999999999999999;Eroare");
  EXPECT_EQ(AnswerOfLines({"1 ERROR", "2147483647;Max"}).code, 2147483647);
  EXPECT_FALSE(AnswerOfLines({"1 ERROR", "0;Nimic"}).code);

  // A receipt closed, then its follow-up failed: done all the same, with its number.
  const ReceiptAnswer closed = AnswerOfLines({"0 OK", "BON FISCAL NR. 0003", "Eroare la taiere"});
  EXPECT_TRUE(closed.Ok());
  EXPECT_EQ(closed.fiscalNumber, "0003");
  EXPECT_EQ(AnswerOfLines({"0 OK", "BON NEFISCAL NR. 7"}).nonFiscalNumber, "7");
  EXPECT_FALSE(AnswerOfLines({}).Ok());
  // A text that only looks like success is a failure, whatever the caller said.
  EXPECT_EQ(BuildAnswer("0 OK ", AnswerOutcome::Done, FileRun{}, DriverState{}).outcome,
            AnswerOutcome::Failed);
}

}  // namespace
}  // namespace ruvo
