#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LinkFixture.h"
#include "ecr/TXruvoLinux.h"

namespace ruvo::test {
namespace {

// --- Opening and closing ---------------------------------------------------------------

TEST(LinkPort, OpensTheComNameOfTheNumber) {
  VirtualClock clock;
  NullEventPump pump;
  auto scripted = std::make_unique<ScriptedPort>(clock);
  ScriptedPort* port = scripted.get();
  TXruvoLinux link(std::move(scripted), clock, pump);
  EXPECT_FALSE(link.Engine().Connected());
  EXPECT_TRUE(link.Engine().OpenPort(12));
  EXPECT_TRUE(link.Engine().Connected());
  EXPECT_EQ(port->openedNames, std::vector<std::string>{"COM12"});
  link.Engine().ClosePort();
  EXPECT_EQ(port->closeCount, 1);
  EXPECT_FALSE(link.Engine().IsReady());
  EXPECT_FALSE(link.Engine().OpenPort(0));
  EXPECT_EQ(port->openedNames.size(), 1u);
}

TEST(LinkPort, NullPortNeverConnects) {
  VirtualClock clock;
  NullEventPump pump;
  TXruvoLinux link(nullptr, clock, pump);
  EXPECT_FALSE(link.Engine().OpenPort(1));
  EXPECT_EQ(link.Engine().SendCommand("1001"), FrameLink::kErrTimeOut);
  EXPECT_FALSE(link.ProbeStatus());
}

class UnopenedLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    port->openSucceeds = false;
    ASSERT_FALSE(link->Engine().OpenPort(3));
  }
};

TEST_F(UnopenedLinkTest, CommandsAreRefusedWithoutWritingOrLogging) {
  EXPECT_FALSE(link->ProbeStatus());
  EXPECT_EQ(link->Engine().LastError(), "8001;Eroare la deschiderea portului serial");
  EXPECT_FALSE(link->ReadJEFreeLines());
  EXPECT_FALSE(link->Engine().ReadExtendedError());
  EXPECT_TRUE(port->written.empty());
  EXPECT_TRUE(link->Engine().ExchangeLog().empty());
  // Commands that skip the ready check fail at once instead of waiting on a dead port.
  EXPECT_EQ(link->Engine().SendCommand("3002"), FrameLink::kErrTimeOut);
  EXPECT_EQ(Elapsed(), 0);
}

// --- Connection probe ------------------------------------------------------------------

TEST_F(LinkTest, ProbeKeepsTwentyStatusCharacters) {
  port->QueueAnswer(Answer("01234567890123456789"), 5);
  EXPECT_TRUE(link->ProbeStatus());
  EXPECT_EQ(link->StatusText(), "01234567890123456789");
  EXPECT_EQ(port->written, std::vector<std::string>{Frame("1215")});
  EXPECT_EQ(link->Engine().ExchangeLog().back(), "14:03:07:130-Ecr result : 0");
}

TEST_F(LinkTest, ProbeWithAShortStatusFailsAndZeroesIt) {
  port->QueueAnswer(Answer("01234567890123456789"), 5);
  ASSERT_TRUE(link->ProbeStatus());
  port->QueueAnswer(Answer("0123456789012345678"), 5);
  EXPECT_FALSE(link->ProbeStatus());
  EXPECT_EQ(link->StatusText(), std::string(20, '\0'));
  EXPECT_EQ(link->Engine().LastError(),
            "8002;Numar invalid de caractere returnate fata de cel asteptat");
}

TEST_F(LinkTest, ProbeWaitsTwoSecondsOnly) {
  EXPECT_FALSE(link->ProbeStatus());
  EXPECT_EQ(Elapsed(), 2000);
  EXPECT_EQ(link->Engine().LastError(), "8048;TIME OUT");
  EXPECT_EQ(port->written.size(), 1u);
}

// --- Free journal lines ----------------------------------------------------------------

std::string JEAnswer(const std::string& freeLines, const std::string& tail = "") {
  return Answer(std::string(27, '0') + freeLines + tail);
}

TEST_F(LinkTest, FreeJournalLinesAreReadFromTheirField) {
  port->QueueAnswer(JEAnswer("000012345"), 5);
  EXPECT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), 12345);
  EXPECT_EQ(port->written, std::vector<std::string>{Frame("8006000000000000")});

  port->QueueAnswer(JEAnswer("000000042", "999"), 5);
  EXPECT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), 42);
}

TEST_F(LinkTest, FreeJournalLinesUnknownForOddAnswers) {
  port->QueueAnswer(JEAnswer("00001234"), 5);  // 35 characters
  EXPECT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), -1);

  port->QueueAnswer(JEAnswer("0000A2345"), 5);  // not numeric
  EXPECT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), -1);

  port->QueueAnswer(Answer("+" + std::string(26, '0') + "000012345"), 5);  // sign is fine
  EXPECT_TRUE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), 12345);
}

TEST_F(LinkTest, FreeJournalLinesFailedQuery) {
  port->QueueAnswer(JEAnswer("000012345"), 5);
  ASSERT_TRUE(link->ReadJEFreeLines());
  port->QueueAnswer(ErrorAnswer("30"), 5);
  EXPECT_FALSE(link->ReadJEFreeLines());
  EXPECT_EQ(link->JEFreeLines(), -1);
  EXPECT_EQ(link->Engine().LastError().substr(0, 3), "30;");
}

}  // namespace
}  // namespace ruvo::test
