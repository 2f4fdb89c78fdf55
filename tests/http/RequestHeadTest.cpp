// What a request's head alone refuses, before its body is read; bytes of a JSON body that
// are not UTF-8.
#include <gtest/gtest.h>

#include "http/JsonBody.h"
#include "http/OperationBody.h"
#include "http/ReceiptBody.h"
#include "http/RequestHead.h"

namespace ruvo::http {
namespace {

constexpr std::size_t kLimit = 1024 * 1024;

HttpRequest Head(std::map<std::string, std::string> headers) {
  HttpRequest request;
  request.method = "POST";
  request.path = "/v1/receipts";
  request.headers = std::move(headers);
  return request;
}

std::string SlugOf(const std::optional<HttpResponse>& refusal) {
  if (!refusal) return "";
  const std::string marker = "urn:ruvo-drv:problem:";
  const std::size_t at = refusal->body.find(marker);
  if (at == std::string::npos) return "?";
  const std::size_t start = at + marker.size();
  return refusal->body.substr(start, refusal->body.find('"', start) - start);
}

TEST(RequestHeadTest, TheHeadDecidesHostLengthAndRepeatsBeforeAnyBody) {
  EXPECT_FALSE(HeadRefusal(Head({{"host", "127.0.0.1:8765"}}), kLimit));
  EXPECT_FALSE(
      HeadRefusal(Head({{"host", "h"}, {"content-length", std::to_string(kLimit)}}), kLimit));

  const auto hostless = HeadRefusal(Head({{"content-length", "5"}}), kLimit);
  ASSERT_TRUE(hostless);
  EXPECT_EQ(hostless->status, 400);
  EXPECT_EQ(SlugOf(hostless), "host-missing");
  EXPECT_EQ(hostless->Header("Content-Type"), "application/problem+json");

  for (const std::string& length :
       {std::to_string(kLimit + 1), std::string("99999999999999999999999")}) {
    const auto large = HeadRefusal(Head({{"host", "h"}, {"content-length", length}}), kLimit);
    ASSERT_TRUE(large) << length;
    EXPECT_EQ(large->status, 413) << length;
  }
  for (const std::string length : {"abc", "", "-1", "+5", "5 "}) {
    const auto bad = HeadRefusal(Head({{"host", "h"}, {"content-length", length}}), kLimit);
    EXPECT_EQ(SlugOf(bad), "bad-length") << "'" << length << "'";
  }

  const auto both =
      HeadRefusal(Head({{"host", "h"}, {"content-length", "5"}, {"transfer-encoding", "chunked"}}),
                  kLimit);
  EXPECT_EQ(SlugOf(both), "length-and-chunks");

  HttpRequest repeated = Head({{"host", "h"}, {"content-length", "5"}});
  repeated.repeatedHeader = "content-length";
  const auto twice = HeadRefusal(repeated, kLimit);
  EXPECT_EQ(SlugOf(twice), "repeated-header");
  EXPECT_NE(twice->body.find("content-length"), std::string::npos);
}

TEST(RequestHeadTest, TheFirstByteThatIsNotUtf8IsNamed) {
  EXPECT_FALSE(FirstNonUtf8Byte("{\"lines\":[\"P\xC4\x82INE \xE2\x82\xAC \xF0\x9F\x98\x80\"]}"));
  EXPECT_EQ(FirstNonUtf8Byte("ab\xFF"), 3u);
  EXPECT_EQ(FirstNonUtf8Byte("\xC0\xAF"), 1u);            // overlong
  EXPECT_EQ(FirstNonUtf8Byte("x\xED\xA0\x80"), 2u);       // a surrogate
  EXPECT_EQ(FirstNonUtf8Byte("xy\xF4\x90\x80\x80"), 3u);  // beyond U+10FFFF
  EXPECT_EQ(FirstNonUtf8Byte("\xC4"), 1u);                // cut short
  EXPECT_EQ(FirstNonUtf8Byte("\xE2\x82"), 1u);

  // Inside a JSON body they are what is wrong with it, not the JSON.
  const BodyParse receipt = ParseReceiptBody("application/json", "{\"lines\":[\"P\xE2INE\"]}");
  EXPECT_EQ(receipt.refusal.slug, "invalid-utf8");
  EXPECT_EQ(receipt.refusal.status, 400);
  const OperationParse cash =
      ParseOperation("cash-in", "application/json", "{\"amount\":\"1\",\"reason\":\"\xFF\"}");
  EXPECT_EQ(cash.refusal.slug, "invalid-utf8");
}

}  // namespace
}  // namespace ruvo::http
