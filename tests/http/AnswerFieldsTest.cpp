// The answer as an HTTP client reads it.
#include <gtest/gtest.h>

#include "http/AnswerFields.h"

namespace ruvo::http {
namespace {

TEST(AnswerFieldsTest, TheJsonCarriesTheFieldsAndTheLinesInUtf8AndTheStatusTheOutcome) {
  ReceiptAnswer sale;
  sale.outcome = AnswerOutcome::Done;
  sale.code = 0;
  sale.fiscalNumber = "0042";
  sale.warnings = {"ATENTIE ! SE TERMINA HARTIA"};
  sale.lines = {"0 OK", "BON FISCAL NR. 0042", "8024;ATENTIE ! SE TERMINA HARTIA"};
  const nlohmann::json json = AnswerJson(sale);
  EXPECT_EQ(json["ok"], true);
  EXPECT_EQ(json["code"], 0);
  EXPECT_EQ(json["lines"], nlohmann::json(sale.lines));
  EXPECT_EQ(json["receipt"], nlohmann::json({{"kind", "fiscal"}, {"number", "0042"}}));
  EXPECT_EQ(json["warnings"], nlohmann::json({"ATENTIE ! SE TERMINA HARTIA"}));
  EXPECT_FALSE(json.contains("message"));
  EXPECT_EQ(AnswerStatus(sale), 200);

  ReceiptAnswer ecr;
  ecr.code = 12;
  ecr.message = "Hartie \x96 lipsa";
  ecr.nonFiscalNumber = "7";
  ecr.lines = {"1 ERROR", "12;Hartie \x96 lipsa"};
  // The ECR's dash (0x96) reaches JSON as U+2013.
  const nlohmann::json failed = AnswerJson(ecr);
  EXPECT_EQ(failed["message"], "Hartie \xE2\x80\x93 lipsa");
  EXPECT_EQ(failed["lines"][1], "12;Hartie \xE2\x80\x93 lipsa");
  EXPECT_EQ(failed["receipt"]["kind"], "nefiscal");
  EXPECT_EQ(AnswerStatus(ecr), 502);
  ecr.code.reset();
  EXPECT_TRUE(AnswerJson(ecr)["code"].is_null());
  ecr.outcome = AnswerOutcome::Refused;
  EXPECT_EQ(AnswerStatus(ecr), 422);
}

}  // namespace
}  // namespace ruvo::http
