// A receipt's body over HTTP: UTF-8 text or JSON lines into the Windows-1250 lines of a
// receipt file, or a refusal that names what could not be taken.
#include <gtest/gtest.h>

#include "http/ReceiptBody.h"

namespace ruvo::http {
namespace {

TEST(ReceiptBodyTest, TextAndJsonGiveTheSameReceiptFile) {
  const BodyParse text = ParseReceiptBody("text/plain; charset=UTF-8",
                                          "1;P\xC3\x82INE;BUC;1;1;250;100000\r\n5;250;1\n");
  const BodyParse json =
      ParseReceiptBody("application/json",
                       R"({"lines": ["1;P\u00c2INE;BUC;1;1;250;100000", "5;250;1"]})");
  ASSERT_TRUE(text.body) << text.refusal.detail;
  ASSERT_TRUE(json.body) << json.refusal.detail;
  EXPECT_EQ(text.body->lines,
            (std::vector<std::string>{"1;P\xC2INE;BUC;1;1;250;100000", "5;250;1"}));
  EXPECT_EQ(text.body->FileBytes(), json.body->FileBytes());
  EXPECT_EQ(json.body->FileBytes(), "1;P\xC2INE;BUC;1;1;250;100000\r\n5;250;1\r\n");

  // Without a charset, text is UTF-8; an empty body is a receipt file with no lines, which
  // the driver answers itself.
  const BodyParse bare = ParseReceiptBody("Text/Plain", "");
  ASSERT_TRUE(bare.body);
  EXPECT_TRUE(bare.body->lines.empty());
}

TEST(ReceiptBodyTest, ACharacterTheCodePageLacksIsNamedNeverReplaced) {
  // "ș" with a comma below (U+0219), on the second line: refused with the hint.
  const BodyParse comma =
      ParseReceiptBody("text/plain", "2;TEXT\n1;MU\xC8\x99TAR;BUC;1;1;250;100000\n");
  ASSERT_FALSE(comma.body);
  EXPECT_EQ(comma.refusal.status, 422);
  EXPECT_EQ(comma.refusal.slug, "unconvertible-text");
  EXPECT_NE(comma.refusal.detail.find("U+0219"), std::string::npos) << comma.refusal.detail;
  EXPECT_NE(comma.refusal.detail.find("\xC8\x99"), std::string::npos);
  EXPECT_NE(comma.refusal.detail.find("(linia 2)"), std::string::npos);
  EXPECT_NE(comma.refusal.detail.find("sedila"), std::string::npos);

  // The euro sign is in Windows-1250; a snowman and an emoji are not.
  EXPECT_TRUE(ParseReceiptBody("text/plain", "2;\xE2\x82\xAC").body);
  const BodyParse emoji = ConvertLines({"ok", "x\xF0\x9F\x98\x80y"});
  ASSERT_FALSE(emoji.body);
  EXPECT_NE(emoji.refusal.detail.find("U+1F600"), std::string::npos) << emoji.refusal.detail;
  EXPECT_EQ(emoji.refusal.detail.find("sedila"), std::string::npos);
}

TEST(ReceiptBodyTest, AControlCharacterIsRefusedWithItsLineFieldAndPosition) {
  const BodyParse text = ParseReceiptBody("text/plain", "5;250;1\n1;PAINE\x1b[2J;BUC;1;1;250;1\n");
  ASSERT_FALSE(text.body);
  EXPECT_EQ(text.refusal.status, 422);
  EXPECT_EQ(text.refusal.slug, "control-character");
  EXPECT_EQ(text.refusal.detail,
            "Linia 2 are un caracter de control (cod 27) in campul 1, la pozitia 8 a liniei");
  const BodyParse json = ParseReceiptBody("application/json", R"({"lines":["2;1;A\u0000B"]})");
  ASSERT_FALSE(json.body);
  EXPECT_EQ(json.refusal.slug, "control-character");
  // A tab is a control character too; the code page's letters are not.
  EXPECT_FALSE(ParseReceiptBody("text/plain", "2;1;A\tB\n").body);
  EXPECT_TRUE(ParseReceiptBody("text/plain", "2;1;\xC5\x9F\xC4\x83\n").body);
}

TEST(ReceiptBodyTest, BytesThatAreNoUtf8AreRefusedWithTheirPlace) {
  // A Windows-1250 byte sent as it is, a cut sequence, an overlong form, a surrogate.
  for (const std::string& line : {std::string("P\xC2INE"), std::string("AB\xC3"),
                                  std::string("\xC0\xAF"), std::string("\xED\xA0\x80")}) {
    const BodyParse parse = ParseReceiptBody("text/plain", line);
    ASSERT_FALSE(parse.body) << line;
    EXPECT_EQ(parse.refusal.status, 400) << line;
    EXPECT_EQ(parse.refusal.slug, "invalid-utf8");
    EXPECT_NE(parse.refusal.detail.find("(linia 1)"), std::string::npos);
  }
  EXPECT_NE(ParseReceiptBody("text/plain", "P\xC2INE").refusal.detail.find("Octetul 2"),
            std::string::npos);
}

TEST(ReceiptBodyTest, OtherMediaTypesCharsetsAndJsonShapesAreRefused) {
  EXPECT_EQ(ParseReceiptBody("application/xml", "<x/>").refusal.status, 415);
  EXPECT_EQ(ParseReceiptBody("", "1;A").refusal.status, 415);
  EXPECT_EQ(ParseReceiptBody("text/plain; charset=windows-1250", "1;A").refusal.status, 415);
  for (const std::string body :
       {"", "not json", "[]", R"({"line": []})", R"({"lines": "1;A"})", R"({"lines": [1]})",
        R"({"lines": ["1;A\r\n5;1;1"]})", R"({"lines": ["a\n"]})",
        R"({"lines": ["1;A;BUC;1;1;100;100000"], "lines": ["5;100;1"]})"}) {
    const BodyParse parse = ParseReceiptBody("application/json; charset=utf-8", body);
    ASSERT_FALSE(parse.body) << body;
    EXPECT_EQ(parse.refusal.status, 400) << body;
  }
  EXPECT_EQ(MediaType(" Application/JSON ; charset=utf-8"), "application/json");
  // Which of two "lines" a reader keeps is up to the reader: neither is printed.
  EXPECT_EQ(ParseReceiptBody("application/json", R"({"lines": [], "lines": ["5;1;1"]})")
                .refusal.detail,
            "Membrul \"lines\" apare de doua ori in acelasi obiect");
}

}  // namespace
}  // namespace ruvo::http
