// Control commands run in the driver as the window runs its operations: the same commands
// reach the ECR, nothing is sent while processing runs, and a bad request changes nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Driver.h"
#include "app/InFlightJournal.h"
#include "app/ReceiptDelivery.h"
#include "app/ReceiptFileGuard.h"
#include "console/ControlCommands.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

class ControlCommandsTest : public testing::ConsoleRig {
 protected:
  ControlCommandsTest() : ConsoleRig(Config()) {
    testing::WriteBytes(folder / "XRUVODRV.INI", "[Configurari]\r\nPort=1\r\n");
    driver = std::make_unique<Driver>(DriverContext{clock, pump, op, ports}, folder.Path());
    driver->Start();
    Sent();
  }
  static xruvo_sim::SimConfig Config() {
    xruvo_sim::SimConfig config;
    config.lastZNumber = 10;
    config.jeFreeLines = 300;
    return config;
  }
  ControlAnswer Run(const Lines& arguments) { return RunControlCommand(*driver, arguments); }
  // Stops processing and forgets the commands that took.
  void Stopped() {
    ASSERT_TRUE(Run({"stop"}).ok);
    Sent();
  }

  std::unique_ptr<Driver> driver;
};

TEST_F(ControlCommandsTest, StatusStopAndStartFollowTheDriversState) {
  ControlAnswer status = Run({"status"});
  ASSERT_TRUE(status.ok);
  EXPECT_EQ(status.lines,
            (Lines{"START PROCESARE", "Conectat la casa : COM 1", "Linii libere in memoria JE :300",
                   "Mesaje avertizare:",
                   "EFECTUATI RAPORTUL FISCAL Z/CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE "
                   "MEMORIE JE"}));

  EXPECT_EQ(Run({"stop"}).lines, Lines{"STOP PROCESARE"});
  EXPECT_FALSE(driver->State().processing);
  EXPECT_EQ(Run({"stop"}).lines, Lines{"STOP PROCESARE"}) << "a second stop is no error";
  // The stop forgets the count so that the next start reads it again; the status keeps
  // telling the one the window shows until then.
  EXPECT_EQ(driver->State().jeFreeLines, -1);
  EXPECT_EQ(Run({"status"}).lines.at(2), "Linii libere in memoria JE :300");

  const ControlAnswer started = Run({"start"});
  EXPECT_TRUE(started.ok);
  EXPECT_EQ(started.lines, (Lines{"START PROCESARE", "Conectat la casa : COM 1"}));
  EXPECT_TRUE(driver->State().processing);
  EXPECT_TRUE(op.boxes.empty()) << "the driver's own operator saw nothing";
}

TEST_F(ControlCommandsTest, OperationsWaitUntilProcessingIsStopped) {
  for (const Lines& command :
       {Lines{"z-report"}, Lines{"x-report"}, Lines{"cancel-receipt"}, Lines{"close-receipt"},
        Lines{"stop-report"}, Lines{"mf-report", "--by-z", "7", "7"}, Lines{"cash-in", "5"},
        Lines{"logo", "/tmp/none.bmp"}}) {
    const ControlAnswer answer = Run(command);
    EXPECT_FALSE(answer.ok) << command[0];
    EXPECT_EQ(answer.lines, Lines{"Opriti procesarea: ruvo_drv ctl stop"}) << command[0];
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(driver->State().processing);
}

// A sale whose run was cut short waits for the processing to ask the ECR what became of its
// receipt; a close, a cancel or a report in between would make it misjudge.
TEST_F(ControlCommandsTest, NoOperationTouchesTheEcrWhileAnInterruptedSaleWaits) {
  Stopped();
  testing::WriteBytes(folder / "ONLINE.TXT", "1;PAINE;BUC;1;1;250;100000\r\n5;250;1\r\n");
  testing::WriteBytes(folder / "LOGO.BMP", "BM not really a picture");
  InFlightRecord record;
  record.name = "ONLINE.TXT";
  record.delivery.sha256 = FileSha256(folder / "ONLINE.TXT").value_or("");
  record.delivery.token = NewDeliveryToken();  // a record names its delivery
  record.kind = FileKind::Sale;
  record.phase = RunPhase::Closing;
  ASSERT_TRUE(InFlightJournal(folder.Path()).Put(record));
  const int portsBefore = ports.made;

  ::testing::internal::CaptureStderr();
  for (const Lines& command :
       {Lines{"z-report"}, Lines{"x-report"}, Lines{"cancel-receipt"}, Lines{"close-receipt"},
        Lines{"mf-report", "--by-z", "7", "7"}, Lines{"cash-in", "5"}, Lines{"cash-out", "5"},
        Lines{"export", "2026", "1", "R"}, Lines{"logo", folder / "LOGO.BMP"}}) {
    const ControlAnswer answer = Run(command);
    EXPECT_FALSE(answer.ok) << command[0];
    ASSERT_EQ(answer.lines.size(), 1u) << command[0];
    EXPECT_NE(answer.lines[0].find("executia fisierului ONLINE.TXT a fost intrerupta"),
              std::string::npos)
        << answer.lines[0];
    EXPECT_NE(answer.lines[0].find("ruvo_drv ctl start"), std::string::npos) << answer.lines[0];
  }
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(ports.made, portsBefore) << "no port was even opened";
  EXPECT_TRUE(op.boxes.empty()) << "the answers went to the caller";

  // Stopping a report in print starts nothing, so it is not held back.
  EXPECT_TRUE(Run({"stop-report"}).ok);
  Sent();

  // Once the processing has answered the file, its record goes and the operations are free.
  ASSERT_TRUE(InFlightJournal(folder.Path()).Remove("ONLINE.TXT"));
  EXPECT_TRUE(Run({"x-report"}).ok);
  EXPECT_EQ(Sent().back(), "2003");
}

TEST_F(ControlCommandsTest, OperationsSendWhatTheWindowSends) {
  Stopped();
  EXPECT_TRUE(Run({"mf-report", "--by-z", "7", "7"}).ok);
  EXPECT_EQ(Sent(), Lines{"500100070007"});
  EXPECT_TRUE(Run({"mf-report", "--by-date", "01.03.26", "31.03.26", "--summary"}).ok);
  EXPECT_EQ(Sent(), Lines{"5003010326310326"});
  EXPECT_TRUE(Run({"cash-in", "150.50"}).ok);
  EXPECT_EQ(Sent().back(), "7106D000015050");
  EXPECT_TRUE(Run({"cash-out", "20,00", "PLATA"}).ok);
  EXPECT_EQ(Sent().back(), "7106P000002000");
  EXPECT_TRUE(Run({"z-report"}).ok);
  EXPECT_EQ(engine.GetDevice().LastZNumber(), 11);
}

TEST_F(ControlCommandsTest, ABadRequestIsAnsweredWithTheReasonAndSendsNothing) {
  Stopped();
  struct Case {
    Lines command;
    std::string firstLine;
  };
  for (const Case& c : std::vector<Case>{
           {{"frobnicate"}, "unknown command: frobnicate"},
           {{""}, "unknown command: "},
           {{"z-report", "now"}, "z-report takes no arguments"},
           {{"status", "x"}, "status takes no arguments"},
           {{"mf-report"}, "mf-report: --by-z START END or --by-date DD.MM.YY DD.MM.YY"},
           {{"mf-report", "--by-z", "7"}, "mf-report: --by-z needs two values"},
           {{"mf-report", "--by-z", "7", "7", "--by-z", "1", "2"},
            "mf-report: give --by-z or --by-date once"},
           {{"mf-report", "--by-z", "7", "7", "--je", "--je"},
            "mf-report: unexpected argument --je"},
           {{"mf-report", "--by-z", "7", "7", "--summary"},
            "mf-report: --summary is for MF reports --by-date only"},
           {{"mf-report", "--by-z", "7", "x"}, "[Eroare ] "},
           {{"mf-report", "--by-z", "-7", "7"}, "[Eroare ] "},
           {{"mf-report", "--by-date", "32.13.26", "01.01.26"}, "[Eroare ] "},
           {{"cash-in"}, "cash-in: AMOUNT [REASON]"},
           {{"cash-in", "abc"}, "[Eroare] Suma eronata !"},
           {{"cash-in", "-5"}, "[Eroare] Suma eronata !"},
           {{"cash-in", "1.000,50"}, "[Eroare] Suma eronata !"},
           {{"cash-out", "5", std::string(33, 'x')}, "[Eroare"},
           {{"export", "2026", "3"}, "export: YEAR MONTH R|X [--binary]"},
           {{"export", "2026", "3", "Z"}, "export: YEAR MONTH R|X [--binary]"},
           {{"export", "2017", "3", "R"}, "[Eroare ] Anul exportului este eronat"},
           {{"export", "2026", "13", "R"}, "[Eroare ] Luna exportului este eronata"},
           {{"logo"}, "logo: FILE"},
           {{"--dir"}, "--dir needs a value"},
           {{"--dir", "/elsewhere", "status"}, "This driver works in "},
           {{}, "no command"},
       }) {
    const ControlAnswer answer = Run(c.command);
    EXPECT_FALSE(answer.ok) << c.firstLine;
    EXPECT_TRUE(answer.refused) << c.firstLine;
    ASSERT_FALSE(answer.lines.empty()) << c.firstLine;
    EXPECT_EQ(answer.lines[0].rfind(c.firstLine, 0), 0U) << answer.lines[0];
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(op.boxes.empty());
  EXPECT_TRUE(Run({"--dir", folder.Path(), "status"}).ok);
}

TEST_F(ControlCommandsTest, AFailedOperationAnswersWithTheWindowsMessages) {
  Stopped();
  Fault("err 2002 16 once");
  const ControlAnswer answer = Run({"z-report"});
  EXPECT_FALSE(answer.ok);
  EXPECT_FALSE(answer.refused) << "it ran, and the ECR did not carry it out";
  ASSERT_FALSE(answer.lines.empty());
  EXPECT_EQ(answer.lines[0].rfind("[Eroare] Nu pot efectua raportul Z  !\r16;", 0), 0U)
      << answer.lines[0];
}

}  // namespace
}  // namespace ruvo
