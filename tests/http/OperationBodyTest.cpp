// The JSON body of a manual operation over HTTP and the control command it becomes.
#include <gtest/gtest.h>

#include "http/OperationBody.h"

namespace ruvo::http {
namespace {

using Arguments = std::vector<std::string>;

Arguments ArgumentsOf(const std::string& name, const std::string& body) {
  const OperationParse parse = ParseOperation(name, "application/json", body);
  EXPECT_TRUE(parse.call) << name << " " << body << ": " << parse.refusal.detail;
  return parse.call ? parse.call->arguments : Arguments{};
}

TEST(OperationBody, EachOperationBecomesItsControlCommand) {
  EXPECT_EQ(ArgumentsOf("z-report", "{}"), Arguments{"z-report"});
  EXPECT_EQ(ArgumentsOf("x-report", ""), Arguments{"x-report"});
  EXPECT_EQ(ArgumentsOf("stop-report", "{}"), Arguments{"stop-report"});
  EXPECT_EQ(ArgumentsOf("cancel-receipt", "{}"), Arguments{"cancel-receipt"});
  EXPECT_EQ(ArgumentsOf("close-receipt", " { } "), Arguments{"close-receipt"});
  EXPECT_EQ(ArgumentsOf("stop-processing", "{}"), Arguments{"stop"});
  EXPECT_EQ(ArgumentsOf("start-processing", "{}"), Arguments{"start"});

  EXPECT_EQ(ArgumentsOf("cash-in", R"({"amount":"12.50"})"), (Arguments{"cash-in", "12.50"}));
  // The reason reaches the ECR in the till's code page.
  EXPECT_EQ(ArgumentsOf("cash-out", R"({"amount":"3,5","reason":"plat\u0103 furnizor"})"),
            (Arguments{"cash-out", "3,5", "plat\xE3 furnizor"}));

  EXPECT_EQ(ArgumentsOf("mf-report", R"({"by":"z","start":"1","end":"20"})"),
            (Arguments{"mf-report", "--by-z", "1", "20"}));
  EXPECT_EQ(ArgumentsOf("mf-report", R"({"by":"z","start":"1","end":"2","je":true})"),
            (Arguments{"mf-report", "--by-z", "1", "2", "--je"}));
  EXPECT_EQ(ArgumentsOf("mf-report",
                        R"({"by":"date","start":"01.11.26","end":"30.11.26","summary":true})"),
            (Arguments{"mf-report", "--by-date", "01.11.26", "30.11.26", "--summary"}));

  EXPECT_EQ(ArgumentsOf("export", R"({"year":"2026","month":"11","type":"R"})"),
            (Arguments{"export", "2026", "11", "R"}));
  EXPECT_EQ(ArgumentsOf("export", R"({"year":"2026","month":"1","type":"X","binary":true})"),
            (Arguments{"export", "2026", "1", "X", "--binary"}));
  EXPECT_EQ(ArgumentsOf("export", R"({"year":"2026","month":"1","type":"X","binary":false})"),
            (Arguments{"export", "2026", "1", "X"}));
}

TEST(OperationBody, BadBodiesAreRefusedNamingTheMember) {
  struct Case {
    std::string name;
    std::string body;
    int status;
    std::string field;
  };
  const Case cases[] = {
      {"z-report", R"({"force":true})", 422, "force"},
      {"cash-in", R"({"amount":12.5})", 422, "amount"},
      {"cash-in", R"({"reason":"x"})", 422, "amount"},
      {"cash-in", R"({"amount":"1","reason":null})", 422, "reason"},
      {"cash-in", R"({"amount":"1","reason":"\u0219"})", 422, "reason"},
      {"cash-out", R"({"amount":"1","Amount":"2"})", 422, "Amount"},
      {"mf-report", R"({"by":"week","start":"1","end":"2"})", 422, "by"},
      {"mf-report", R"({"by":"z","start":"1"})", 422, "end"},
      {"mf-report", R"({"by":"z","start":"1","end":"2","je":"yes"})", 422, "je"},
      {"mf-report", R"({"by":"z","start":"1","end":"2","summary":true})", 422, "summary"},
      {"mf-report", R"({"by":"date","start":"1","end":"2","je":true,"summary":true})", 422,
       "summary"},
      {"export", R"({"year":"2026","month":"11","type":"r"})", 422, "type"},
      {"export", R"({"year":2026,"month":"11","type":"R"})", 422, "year"},
      {"export", R"({"year":"2026","month":"11","type":"R","binary":1})", 422, "binary"},
      {"x-report", "[]", 422, ""},
      {"x-report", "{", 400, ""},
      {"x-report", "\"z\"", 422, ""},
      // Named twice, at any depth: the amount would be whichever a reader kept.
      {"cash-in", R"({"amount":"1","amount":"2"})", 400, ""},
      {"cash-in", R"({"amount":"1","reason":"x","x":{"a":1,"a":2}})", 400, ""},
  };
  for (const Case& c : cases) {
    const OperationParse parse = ParseOperation(c.name, "application/json", c.body);
    EXPECT_FALSE(parse.call) << c.body;
    EXPECT_EQ(parse.refusal.status, c.status) << c.body;
    EXPECT_EQ(parse.field, c.field) << c.body;
    if (!c.field.empty()) {
      EXPECT_NE(parse.refusal.detail.find(c.field), std::string::npos) << c.body;
    }
  }
}

TEST(OperationBody, OnlyTheOfferedOperationsAndOnlyJson) {
  EXPECT_EQ(ParseOperation("logo", "application/json", "{}").refusal.status, 404);
  EXPECT_EQ(ParseOperation("status", "application/json", "{}").refusal.status, 404);
  EXPECT_EQ(ParseOperation("stop", "application/json", "{}").refusal.status, 404);
  EXPECT_EQ(ParseOperation("z-report/x", "application/json", "{}").refusal.status, 404);
  EXPECT_EQ(ParseOperation("z-report", "text/plain", "{}").refusal.status, 415);
  EXPECT_TRUE(ParseOperation("z-report", "Application/JSON; charset=utf-8", "{}").call);
  EXPECT_TRUE(ParseOperation("z-report", "", "").call);
}

}  // namespace
}  // namespace ruvo::http
