// The border between the driver's single-byte text and a UTF-8 terminal.
#include <gtest/gtest.h>

#include "platform/Text1250.h"

namespace ruvo {
namespace {

TEST(Text1250, RomanianLettersAndTheDashCrossBothWays) {
  // ă â î ş ţ Ă Â Î Ş Ţ and the en dash of the ECR messages
  const std::string single = "\xE3\xE2\xEE\xBA\xFE \xC3\xC2\xCE\xAA\xDE \x96";
  const std::string utf8 = "ăâîşţ ĂÂÎŞŢ –";
  EXPECT_EQ(Utf8From1250(single), utf8);
  EXPECT_EQ(Utf8To1250(utf8), single);
  EXPECT_EQ(Utf8From1250("16;Eroare lipsa hartie \x96 inlocuiti"),
            "16;Eroare lipsa hartie – inlocuiti");
  EXPECT_EQ(Utf8To1250("plain ASCII\r"), "plain ASCII\r");
}

TEST(Text1250, WhatCannotCrossIsNeverPassedOnSilently) {
  // Bytes the code page leaves undefined show as the replacement character.
  EXPECT_EQ(Utf8From1250("a\x81"
                         "b"),
            "a\xEF\xBF\xBD"
            "b");
  // Characters the code page lacks, and bytes that are no UTF-8, are refused.
  for (const std::string text :
       {"ș", "日本", "\xC3", "a\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x80"}) {
    EXPECT_FALSE(Utf8To1250(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace ruvo
