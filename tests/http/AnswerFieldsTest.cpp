// The fields an HTTP client reads from a response file's lines.
#include <gtest/gtest.h>

#include "http/AnswerFields.h"

namespace ruvo::http {
namespace {

TEST(AnswerFieldsTest, ASaleWithWarningsGivesItsNumberAndWarnings) {
  const std::vector<std::string> lines = {"0 OK", "BON FISCAL NR. 0042",
                                          "8024;ATENTIE ! SE TERMINA HARTIA"};
  const AnswerFields fields = ParseAnswer(lines);
  EXPECT_TRUE(fields.ok);
  EXPECT_EQ(fields.code, 0);
  EXPECT_EQ(fields.receiptKind, "fiscal");
  EXPECT_EQ(fields.receiptNumber, "0042");
  EXPECT_EQ(fields.warnings, (std::vector<std::string>{"ATENTIE ! SE TERMINA HARTIA"}));

  const nlohmann::json json = AnswerJson(lines);
  EXPECT_EQ(json["lines"],
            nlohmann::json({"0 OK", "BON FISCAL NR. 0042", "8024;ATENTIE ! SE TERMINA HARTIA"}));
  EXPECT_EQ(json["receipt"]["number"], "0042");
  EXPECT_EQ(json["receipt"]["kind"], "fiscal");
  EXPECT_FALSE(json.contains("message"));

  const AnswerFields nonFiscal = ParseAnswer({"0 OK", "BON NEFISCAL NR. 7"});
  EXPECT_EQ(nonFiscal.receiptKind, "nefiscal");
  EXPECT_EQ(nonFiscal.receiptNumber, "7");
}

TEST(AnswerFieldsTest, FailuresGiveTheDriversCodeAndTextInUtf8) {
  const AnswerFields refused =
      ParseAnswer({"1 ERROR", "8007;Comada nu contine numarul asteptat de date : 31"});
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.code, 8007);
  EXPECT_EQ(refused.message, "Comada nu contine numarul asteptat de date : 31");
  EXPECT_TRUE(refused.receiptKind.empty());

  // The ECR's dash (0x96) reaches JSON as U+2013.
  const nlohmann::json ecr = AnswerJson({"1 ERROR", "12;Hartie \x96 lipsa"});
  EXPECT_EQ(ecr["code"], 12);
  EXPECT_EQ(ecr["message"], "Hartie \xE2\x80\x93 lipsa");
  EXPECT_EQ(ecr["lines"][1], "12;Hartie \xE2\x80\x93 lipsa");

  // No code at all.
  const AnswerFields silent = ParseAnswer({" NU POT COMUNICA CU CASA DE MARCAT"});
  EXPECT_FALSE(silent.ok);
  EXPECT_FALSE(silent.code);
  EXPECT_EQ(silent.message, " NU POT COMUNICA CU CASA DE MARCAT");
  EXPECT_TRUE(AnswerJson({" NU POT COMUNICA CU CASA DE MARCAT"})["code"].is_null());

  // Digits too many for a code: no code, the line is all text.
  const std::string huge = "99999999999999999999;Eroare";
  const AnswerFields overflow = ParseAnswer({"1 ERROR", huge});
  EXPECT_FALSE(overflow.ok);
  EXPECT_FALSE(overflow.code);
  EXPECT_EQ(overflow.message, huge);
  EXPECT_TRUE(AnswerJson({"1 ERROR", huge})["code"].is_null());
  EXPECT_EQ(ParseAnswer({"1 ERROR", "2147483647;Max"}).code, 2147483647);

  // A receipt closed, then its follow-up failed: closed all the same.
  const AnswerFields closed = ParseAnswer({"0 OK", "BON FISCAL NR. 0003", "Eroare la taiere"});
  EXPECT_TRUE(closed.ok);
  EXPECT_EQ(closed.receiptNumber, "0003");
  EXPECT_FALSE(ParseAnswer({}).ok);
}

}  // namespace
}  // namespace ruvo::http
