// The frame every manual operation runs in: the link's port, the time-out, the log files
// and their places, and the release of the port on every way out.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "console/OperationFrame.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

class OperationFrameTest : public testing::ConsoleRig {
 protected:
  // A body that asks the ECR for its status and answers as told.
  bool Run(const OperationKind& kind, bool result = true) {
    return RunOperation(Context(), kind, [&](TXruvoLinux& link) {
      bodyRan = true;
      link.ReadStatus();
      return result;
    });
  }
  bool bodyRan = false;
  // A body that reads the last receipt's number, which waits the long time-out when one
  // is set: the seconds it waited for, 5 by default.
  std::int64_t TimeOutOf(const OperationKind& kind) {
    std::int64_t seconds = -1;
    RunOperation(Context(), kind, [&](TXruvoLinux& link) {
      std::string answer;
      link.ReadLastReceiptNumber(answer);
      seconds = link.Engine().TimeOutMs() / 1000;
      return true;
    });
    return seconds;
  }

  // The journal's record of a receipt file whose run reached `phase` when it was cut short.
  void Interrupted(const std::string& name, RunPhase phase) {
    InFlightRecord record;
    record.name = name;
    record.delivery.sha256 = std::string(64, 'a');  // the journal keeps only whole records
    record.delivery.token = NewDeliveryToken();     // a record names its delivery
    record.kind = FileKind::Sale;
    record.phase = phase;
    ASSERT_TRUE(InFlightJournal(folder.Path()).Put(record));
  }
};

TEST_F(OperationFrameTest, BodyRunsOnTheSelectedPortAndThePortIsReleased) {
  state.settings.port = 3;
  EXPECT_TRUE(Run(kMfReportOperation));
  EXPECT_FALSE(Run(kMfReportOperation, false));
  EXPECT_EQ(Sent(), (Texts{"1215", "1215"}));
  EXPECT_EQ(ports.made, 2);
  EXPECT_EQ(ports.alive, 0);
  EXPECT_EQ(ports.open, 0);
  EXPECT_TRUE(op.boxes.empty());
}

TEST_F(OperationFrameTest, LongTimeOutOnlyWhereTheKindAsksForIt) {
  state.settings.longTimeOut = 77;
  EXPECT_EQ(TimeOutOf(kZReportOperation), 77);
  EXPECT_EQ(TimeOutOf(kCancelOperation), 77);
  EXPECT_EQ(TimeOutOf(kCloseOperation), 77);
  EXPECT_EQ(TimeOutOf(kCashOperation), 5);
  EXPECT_EQ(TimeOutOf(kLogoOperation), 5);
}

TEST_F(OperationFrameTest, PortThatDoesNotOpenIsToldAndTheBodyNeverRuns) {
  state.settings.logFile = true;
  for (const int port : {0, 17}) {
    state.settings.port = port;  // 0: nothing chosen in the list; manual operations do not use COM1
    op.boxes.clear();
    bool ran = false;
    EXPECT_FALSE(RunOperation(Context(), kZReportOperation, [&](TXruvoLinux&) {
      ran = true;
      return true;
    }));
    EXPECT_FALSE(ran);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text,
              "Nu pot deschide portul serial !\r8001;Eroare la deschiderea portului serial");
    EXPECT_EQ(op.boxes[0].caption, "Eroare");
    EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
    EXPECT_EQ(op.boxes[0].buttons, MsgButtons::Ok);
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(ports.alive, 0);
  // The log is saved all the same.
  EXPECT_EQ(Files("Log", "Log_RapZ_*.TXT").size(), 1u);
}

TEST_F(OperationFrameTest, ExceptionInTheBodyIsShownAndReleasesEverything) {
  state.settings.logFile = true;
  EXPECT_FALSE(RunOperation(Context(), kCancelOperation, [&](TXruvoLinux& link) -> bool {
    link.ReadStatus();
    throw std::runtime_error("ceva s-a stricat");
  }));
  EXPECT_EQ(op.errors, Texts{"ceva s-a stricat"});
  EXPECT_EQ(ports.open, 0);
  EXPECT_EQ(ports.alive, 0);
  EXPECT_EQ(Files("Log", "Log_ANULARE_*.TXT").size(), 1u);
}

TEST_F(OperationFrameTest, LogNameAndPlaceFollowTheKind) {
  state.settings.logFile = true;
  clock.Advance(((22 * 60 + 43) * 60 + 5) * 1000LL - 12 * 3600 * 1000LL);  // 15.01.26 22:43:05
  Run(kXReportOperation);
  EXPECT_EQ(Files("Log", "*"), Texts{"Log_RapX_150126_22_43_05.TXT"});

  // The dialogs' logs go to the working folder itself, never to Log/.
  for (const OperationKind* kind : {&kMfReportOperation, &kCashOperation, &kExportOperation}) {
    clock.Advance(1000);
    Run(*kind);
    EXPECT_EQ(Files("", "Log_" + kind->word + "_*.TXT").size(), 1u) << kind->word;
  }
  EXPECT_EQ(Files("Log", "*").size(), 1u);

  const std::string log = testing::ReadBytes(state.workingFolder + Files("", "Log_RapMF_*")[0]);
  EXPECT_NE(log.find("-Calculator : 1215\r\n"), std::string::npos);
}

TEST_F(OperationFrameTest, TwoOperationsInOneSecondKeepBothLogs) {
  state.settings.logFile = true;
  Run(kCashOperation);
  Run(kCashOperation);
  const Texts logs = Files("", "Log_InOutNumerar_*.TXT");
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = testing::ReadBytes(state.workingFolder + logs[0]);
  EXPECT_NE(log.find("1215"), log.rfind("1215"));
}

TEST_F(OperationFrameTest, NoLogWithoutTheSettingAndHistoryCopiesOnlyWhereMarked) {
  state.settings.history = true;
  Run(kCancelOperation);
  Run(kCashOperation);
  EXPECT_TRUE(Files("", "Log_*").empty());
  EXPECT_FALSE(FolderExists(state.logFolder));
  EXPECT_FALSE(FolderExists(state.historyFolder));

  state.settings.logFile = true;
  Run(kCancelOperation);
  clock.Advance(1000);
  Run(kZReportOperation);
  const Texts history = Files("History", "*");
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].substr(0, 12), "Log_ANULARE_");
  EXPECT_EQ(testing::ReadBytes(state.historyFolder + history[0]),
            testing::ReadBytes(state.logFolder + history[0]));
  EXPECT_EQ(Files("Log", "*").size(), 2u);
}

TEST_F(OperationFrameTest, LogThatCannotBeWrittenIsToldWithTheSystemsReason) {
  state.settings.logFile = true;
  testing::WriteBytes(state.workingFolder + "Log", "a file where the folder should be");
  EXPECT_TRUE(Run(kZReportOperation));
  ASSERT_EQ(op.errors.size(), 1u);
  EXPECT_EQ(op.errors[0].substr(0, 22), "Nu pot salva fisierul ");
  EXPECT_EQ(ports.open, 0);
}

TEST_F(OperationFrameTest, AnInterruptedReceiptFileThatWaitsHoldsBackEveryOperation) {
  testing::WriteBytes(folder / "ONLINE2.TXT", "1;A;U;1;1;250;100000\r\n5;250;1\r\n");
  Interrupted("ONLINE2.TXT", RunPhase::Lines);
  ::testing::internal::CaptureStderr();
  for (const OperationKind* kind :
       {&kZReportOperation, &kXReportOperation, &kMfReportOperation, &kCancelOperation,
        &kCloseOperation, &kCashOperation, &kLogoOperation, &kExportOperation}) {
    op.boxes.clear();
    EXPECT_FALSE(Run(*kind)) << kind->word;
    ASSERT_EQ(op.boxes.size(), 1u) << kind->word;
    EXPECT_EQ(op.boxes[0].text,
              "Operatie refuzata : executia fisierului ONLINE2.TXT a fost intrerupta si nu este "
              "inca incheiata.\rPorniti procesarea (Start procesare, sau ruvo_drv ctl start) ca "
              "driverul sa termine fisierul si verificati casa de marcat; reluati operatia dupa "
              "ce fisierul are raspuns.");
    EXPECT_EQ(op.boxes[0].caption, "Eroare");
  }
  const std::string logged = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(logged.find("manual operation refused: the interrupted run of ONLINE2.TXT"),
            std::string::npos)
      << logged;
  EXPECT_EQ(ports.made, 0);
  EXPECT_FALSE(bodyRan) << "no body ran";
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(Run(kStopReportOperation));
}

TEST_F(OperationFrameTest, OnlyARecordThatReachedTheEcrAndStillHasItsFileHoldsBack) {
  // Nothing of the file was sent: its run starts again from the beginning, no matter what.
  testing::WriteBytes(folder / "ONLINE.TXT", "1;A;U;1;1;250;100000\r\n5;250;1\r\n");
  Interrupted("ONLINE.TXT", RunPhase::Preparing);
  EXPECT_TRUE(Run(kZReportOperation));
  // The file is gone: nobody waits for its answer.
  Interrupted("ONLINE3.TXT", RunPhase::Closed);
  EXPECT_TRUE(Run(kCloseOperation));
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_EQ(Sent(), (Texts{"1215", "1215"}));
}

}  // namespace
}  // namespace ruvo
