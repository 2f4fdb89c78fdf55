// The ECR state check on a link to the simulated ECR: faults in their order, the operator's
// part, the display, the response and the clearing of receipts left open.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Control.h"
#include "Engine.h"
#include "SimSerialPort.h"
#include "execution/EcrStateCheck.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "support/RecordingOperator.h"

namespace ruvo {
namespace {

class RecordingResponse final : public IResponseWriter {
 public:
  void WriteResponse(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class EcrStateCheckTest : public ::testing::Test {
 protected:
  EcrStateCheckTest()
      : link(std::make_unique<xruvo_sim::SimSerialPort>(engine, clock), clock, pump) {
    link.SetLongTimeOut(5);
    EXPECT_TRUE(link.Engine().OpenPort(1));
  }

  EcrCheckResult Check(EcrCheckKind kind, int tratareEroareStare = 0) {
    before = engine.ReceivedCommands().size();
    return CheckEcrState(link, kind, EcrCheckContext{tratareEroareStare, op, response});
  }
  void Fault(const std::string& command) {
    ASSERT_EQ(xruvo_sim::ApplyControlCommand(engine, command), "") << command;
  }
  std::vector<std::string> Sent() const {
    const auto& all = engine.ReceivedCommands();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }
  // A fiscal receipt in the ECR: selling (2 after a subtotal) or fully paid (5).
  void OpenReceipt(bool paid) {
    ASSERT_TRUE(link.SellItem("PAINE", 1, 2.5, 1, "BUC", 1, 1, false));
    if (paid) {
      ASSERT_TRUE(link.Payment(1, "", 2.5));
    } else {
      ASSERT_TRUE(link.Command3003());
    }
  }

  VirtualClock clock;
  NullEventPump pump;
  xruvo_sim::Engine engine{clock};
  TXruvoLinux link;
  testing::RecordingOperator op;
  RecordingResponse response;
  std::size_t before = 0;
};

using Texts = std::vector<std::string>;

TEST_F(EcrStateCheckTest, HealthyEcrLetsEveryKindButCancelGoOn) {
  for (const EcrCheckKind kind : {EcrCheckKind::Report, EcrCheckKind::ReceiptFileRun}) {
    const EcrCheckResult result = Check(kind);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(Sent(), Texts{"1215"});
  }
  EXPECT_TRUE(response.texts.empty());

  const EcrCheckResult cancel = Check(EcrCheckKind::Cancel);
  EXPECT_FALSE(cancel.ok);
  EXPECT_EQ(cancel.error, "8030;Nu exista nici un bon in derulare ");
  EXPECT_EQ(response.texts, Texts{"8030;Nu exista nici un bon in derulare "});
}

TEST_F(EcrStateCheckTest, FullJournalStopsAllButReportsAndIsShownOnTheDisplay) {
  Fault("je-full");
  Fault("cutter-error");  // skipped for a report together with the journal
  EXPECT_TRUE(Check(EcrCheckKind::Report).ok);
  EXPECT_EQ(Sent(), Texts{"1215"});

  for (const EcrCheckKind kind : {EcrCheckKind::Cancel, EcrCheckKind::ReceiptFileRun}) {
    response.texts.clear();
    const EcrCheckResult result = Check(kind, 1);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.substr(0, 3), "30;");
    EXPECT_EQ(response.texts, Texts{result.error});
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[1].substr(0, 26), "7007Memoria JE este plina ");
    EXPECT_EQ(Sent()[1].size(), 44u);
  }
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(EcrStateCheckTest, HardFaultsAreShownOnTheDisplay) {
  Fault("cutter-error");
  EXPECT_EQ(Check(EcrCheckKind::Report, 1).error.substr(0, 3), "67;");
  EXPECT_EQ(Sent().size(), 2u);
  Fault("cutter-error off");
  Fault("je-absent");
  EXPECT_EQ(Check(EcrCheckKind::ReceiptFileRun, 1).error.substr(0, 3), "33;");
  EXPECT_EQ(engine.GetDevice().DisplayText().substr(0, 10),
            link.Engine().LastError().substr(3, 10));
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(EcrStateCheckTest, FiscalMemoryComesBeforeThePrinter) {
  Fault("mf-full");
  Fault("cover-open");
  const EcrCheckResult result = Check(EcrCheckKind::Report, 1);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error.substr(0, 3), "51;");
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(Sent(), Texts{"1215"});

  Fault("mf-full off");
  Fault("mf-absent");
  EXPECT_EQ(Check(EcrCheckKind::Report).error.substr(0, 3), "50;");
}

TEST_F(EcrStateCheckTest, PrinterFaultIsPutToTheOperatorOnlyWhenAsked) {
  Fault("cover-open");
  const EcrCheckResult refused = Check(EcrCheckKind::Report, 0);
  EXPECT_EQ(refused.error.substr(0, 3), "37;");
  EXPECT_EQ(response.texts, Texts{refused.error});
  EXPECT_TRUE(op.boxes.empty());

  response.texts.clear();
  op.answer = MsgResult::No;
  EXPECT_FALSE(Check(EcrCheckKind::Report, 1).ok);
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, refused.error + "\r\rAti eliminat eroarea ?");
  EXPECT_EQ(op.boxes[0].caption, "Eroare imprimanta");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Confirmation);
  EXPECT_EQ(response.texts.size(), 1u);

  // Yes: the rest of the printer tests are skipped and the status is not read again.
  response.texts.clear();
  op.answer = MsgResult::Yes;
  Fault("je-absent");
  EXPECT_TRUE(Check(EcrCheckKind::Report, 1).ok);
  EXPECT_EQ(Sent(), Texts{"1215"});
  EXPECT_TRUE(response.texts.empty());
}

TEST_F(EcrStateCheckTest, PaperOutAndMissingDisplayArePrinterFaults) {
  Fault("paper-out");
  Fault("display-absent");
  EXPECT_EQ(Check(EcrCheckKind::ReceiptFileRun).error.substr(0, 3), "16;");
  Fault("paper-out off");
  EXPECT_EQ(Check(EcrCheckKind::ReceiptFileRun).error.substr(0, 3), "56;");
  EXPECT_EQ(Sent(), Texts{"1215"});  // not on the display
}

TEST_F(EcrStateCheckTest, StatusThatCannotBeReadIsTheLinksError) {
  Fault("silence always");
  const EcrCheckResult result = Check(EcrCheckKind::Report);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error.substr(0, 5), "8048;");
  EXPECT_EQ(response.texts, Texts{result.error});
}

TEST_F(EcrStateCheckTest, PaidReceiptIsFinishedAndItsNumberKept) {
  OpenReceipt(true);
  const EcrCheckResult result = Check(EcrCheckKind::ReceiptFileRun);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.autoFinishedReceipt, "0001");
  EXPECT_EQ(Sent(), (Texts{"1215", "1012", "1112", "30140"}));
  EXPECT_FALSE(engine.GetDevice().Receipt().Open());
}

TEST_F(EcrStateCheckTest, UnpaidReceiptIsCancelledAndCut) {
  OpenReceipt(false);
  const EcrCheckResult result = Check(EcrCheckKind::Report);
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(result.autoFinishedReceipt);
  EXPECT_EQ(Sent(), (Texts{"1215", "1012", "33028", "30140"}));
  EXPECT_FALSE(engine.GetDevice().Receipt().Open());
}

TEST_F(EcrStateCheckTest, ReceiptThatCannotBeClearedIsInProgress) {
  OpenReceipt(false);
  Fault("err 33028 5 always");
  const EcrCheckResult result = Check(EcrCheckKind::ReceiptFileRun);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "8020;Bon in derulare ");
  EXPECT_EQ(response.texts, Texts{"8020;Bon in derulare "});
  EXPECT_EQ(Sent(), (Texts{"1215", "1012", "33028"}));
}

TEST_F(EcrStateCheckTest, CancelNeedsTheOpenReceiptAndLeavesItAlone) {
  OpenReceipt(false);
  EXPECT_TRUE(Check(EcrCheckKind::Cancel).ok);
  EXPECT_EQ(Sent(), Texts{"1215"});
  EXPECT_TRUE(engine.GetDevice().Receipt().Open());
}

TEST_F(EcrStateCheckTest, OpenNonFiscalReceiptIsClosed) {
  ASSERT_TRUE(link.OpenNonFiscalReceipt());
  EXPECT_TRUE(Check(EcrCheckKind::ReceiptFileRun).ok);
  EXPECT_EQ(Sent(), (Texts{"1215", "1111", "4004"}));
  EXPECT_FALSE(engine.GetDevice().NonFiscalOpen());
}

}  // namespace
}  // namespace ruvo
