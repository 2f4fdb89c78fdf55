// The framing of control requests and answers: whole, cut off, over-long and foreign bytes.
#include <gtest/gtest.h>

#include "console/ControlProtocol.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

TEST(ControlProtocol, ARequestIsCompleteOnlyWithItsLastLine) {
  const Lines arguments = {"cash-in", "150.50", "", "SOLD INITIAL"};
  const std::string request = EncodeRequest(arguments);
  EXPECT_EQ(request, "RUVOCTL 1 4\ncash-in\n150.50\n\nSOLD INITIAL\n");
  for (std::size_t cut = 0; cut < request.size(); ++cut) {
    EXPECT_EQ(ParseRequest(request.substr(0, cut)).status, RequestStatus::Incomplete) << cut;
  }
  const RequestParse whole = ParseRequest(request);
  ASSERT_EQ(whole.status, RequestStatus::Complete);
  EXPECT_EQ(whole.arguments, arguments);
}

TEST(ControlProtocol, MalformedRequestsAreToldAsSoonAsTheyShow) {
  for (const std::string& bad :
       {std::string("GET / HTTP/1.1\r\n"), std::string("\x01\x02"), std::string("RUVOCTL 2 1\n"),
        std::string("RUVOCTL 1 0\n"), std::string("RUVOCTL 1 17\n"), std::string("RUVOCTL 1 -1\n"),
        std::string("RUVOCTL 1 x\n"), std::string("RUVOCTL 1 1\nstatus\nmore\n"),
        std::string("RUVOCTL 1 1\nstatus\ntrailing"), std::string("RUVOCTL 1 1\nsta\0tus\n", 21),
        std::string("RUVOCTL 1 0000000000001\n"), std::string("RUVOCTL\n"),
        std::string("RUVOCTL 1\n"), std::string("RUVOCTL 1 \n"), std::string("R\n")}) {
    const RequestParse parse = ParseRequest(bad);
    EXPECT_EQ(parse.status, RequestStatus::Malformed) << bad;
    EXPECT_FALSE(parse.error.empty()) << bad;
  }
}

TEST(ControlProtocol, AnswerLinesFollowTheMessageBoxLineBreaks) {
  const ControlAnswer answer =
      Failed({"[Eroare] Nu pot deschide portul serial !\r8000;Eroare", "a\r\nb\nc"});
  const std::string encoded = EncodeAnswer(answer);
  EXPECT_EQ(encoded,
            "RUVOCTL 1 FAIL 5\n[Eroare] Nu pot deschide portul serial !\n8000;Eroare\na\nb\nc\n");
  const std::optional<ControlAnswer> parsed = ParseAnswer(encoded);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_FALSE(parsed->ok);
  EXPECT_EQ(parsed->lines.size(), 5U);

  EXPECT_EQ(ParseAnswer(EncodeAnswer(Succeeded()))->ok, true);
  // A cut-off answer is not taken for a shorter one.
  EXPECT_FALSE(ParseAnswer(encoded.substr(0, encoded.size() - 2)).has_value());
  EXPECT_FALSE(ParseAnswer(encoded + "x\n").has_value());
  EXPECT_FALSE(ParseAnswer("RUVOCTL 1 MAYBE 0\n").has_value());
  EXPECT_FALSE(ParseAnswer("").has_value());
}

}  // namespace
}  // namespace ruvo
