// Headless, the driver has no operator to ask: every question gets the answer of an
// absent one and the file is answered at once instead of waiting for a click.
#include <gtest/gtest.h>

#include "DriverRig.h"
#include "E2eFiles.h"
#include "platform/Text1250.h"

namespace ruvo::e2e {
namespace {

RigOptions AskingTheOperator() {
  RigOptions options;
  options.settings = {"TratareEroareStare=1", "DialogMesajEroare=DA"};
  return options;
}

class OperatorQuestionsTest : public DriverTest {
 protected:
  OperatorQuestionsTest() : DriverTest(AskingTheOperator()) {}
};

TEST_F(OperatorQuestionsTest, APrinterErrorQuestionGetsNoAndTheErrorIsAnsweredAndShown) {
  ASSERT_TRUE(rig.Start()) << rig.DriverMessages();
  const std::vector<std::string> sale = {"1;PAINE ALBA;BUC;1;1;250;100000", "5;250;1"};
  EXPECT_EQ(rig.Run("ONLINE.TXT", sale), (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
  EXPECT_EQ(rig.DriverMessages().find("[Eroare]"), std::string::npos)
      << "a good file shows no error box\n"
      << rig.DriverMessages();

  ASSERT_TRUE(rig.Ecr().Control("paper-out"));
  const std::string paperOut = "16;Eroare lipsa hartie \x96 inlocuiti rola de hartie";
  EXPECT_EQ(rig.Run("ONLINE.TXT", sale), (std::vector<std::string>{"1 ERROR", paperOut}));
  // The error box comes once the answer is saved: the sales application never waits on it.
  const std::string shown = "[Eroare] " + Utf8From1250(paperOut);
  EXPECT_TRUE(WaitUntil([&] { return rig.DriverMessages().find(shown) != std::string::npos; },
                        DriverRig::kAnswerMs));
  const std::string messages = rig.DriverMessages();
  EXPECT_NE(messages.find("[Eroare imprimanta]"), std::string::npos) << messages;
  EXPECT_NE(messages.find("Ati eliminat eroarea ?"), std::string::npos) << messages;
  // Standard error shows the text as UTF-8, the response file keeps its bytes.
  EXPECT_NE(messages.find(shown), std::string::npos) << messages;
  EXPECT_EQ(CountOf(rig.Ecr().Paper(), "PAINE ALBA"), 1) << rig.Ecr().Paper();
}

}  // namespace
}  // namespace ruvo::e2e
