// The driver against the in-process simulated ECR, in virtual time: the status file at
// every transition, the connection check with its JE warnings, the retry timer, the idle
// check, the busy and re-entry guards, and the close sequence.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "DriverTestSupport.h"
#include "app/JeWarnings.h"
#include "app/ReceiptFileReader.h"

namespace ruvo::testing {
namespace {

TEST(DriverStatusFile, EveryTransitionIsWritten) {
  DriverBench bench;
  bench.WriteSettings("[Configurari]\r\nPort=3\r\n");
  WriteBytes(bench.driver.StatusPath(),
             "[INFO]\r\nStare=VECHE\r\nAltceva=pastrat\r\n[Casa]\r\nNr=1\r\n");

  bench.driver.Start();
  EXPECT_EQ(bench.Status("Versiune"), "2.3.3.0");
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "DA");
  EXPECT_EQ(bench.driver.ConnectedLabel(), "Conectat la casa : COM 3");

  bench.driver.SetProcessing(false);
  EXPECT_EQ(bench.Status("Stare"), "STOP PROCESARE");
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "DA");

  bench.SetEcrSilent(true);
  bench.driver.SetProcessing(true);
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "NU");
  EXPECT_EQ(bench.driver.ConnectedLabel(), "Neconectat la casa");

  bench.driver.Close();
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
  EXPECT_EQ(bench.Status("Versiune"), "2.3.3.0");
  EXPECT_EQ(bench.Status("Altceva"), "pastrat");
  EXPECT_NE(ReadBytes(bench.driver.StatusPath()).find("[Casa]\r\nNr=1\r\n"), std::string::npos);
  EXPECT_TRUE(bench.op.errors.empty());
}

TEST(DriverStatusFile, TheLivenessKeysFollowTheOldOnesAndEveryTickMovesTheTime) {
  DriverBench bench;
  WriteBytes(bench.driver.StatusPath(),
             "; the sales application's note\r\n[INFO]\r\nAltceva=1\r\n");
  bench.driver.Start();
  std::string content = ReadBytes(bench.driver.StatusPath());
  // Readers of the three old keys find them where they were; the new ones come after.
  const std::size_t state = content.find("Stare=START PROCESARE\r\nConectatLaCasa=DA\r\n");
  const std::size_t pid = content.find("IdProces=" + std::to_string(::getpid()) + "\r\n");
  const std::size_t tick = content.find("UltimaActivitate=15.01.2026 12:00:00\r\n");
  ASSERT_NE(state, std::string::npos) << content;
  ASSERT_NE(pid, std::string::npos) << content;
  ASSERT_NE(tick, std::string::npos) << content;
  EXPECT_LT(state, pid);
  EXPECT_LT(pid, tick);
  EXPECT_NE(content.find("; the sales application's note\r\n"), std::string::npos);
  EXPECT_NE(content.find("Altceva=1\r\n"), std::string::npos);

  // Idle, stopped, busy: each tick tells the time, written over the old one in place.
  for (int k = 1; k <= 3; ++k) {
    if (k == 2) bench.driver.SetProcessing(false);
    if (k == 3) bench.driver.State().busy = true;
    content = ReadBytes(bench.driver.StatusPath());
    const std::optional<FileIdentity> before = IdentityOf(bench.driver.StatusPath());
    bench.Tick();
    const std::string expected = "UltimaActivitate=15.01.2026 12:00:0" + std::to_string(k);
    EXPECT_EQ(bench.Status("UltimaActivitate"), expected.substr(17)) << k;
    content.replace(content.find("UltimaActivitate="), expected.size(), expected);
    EXPECT_EQ(ReadBytes(bench.driver.StatusPath()), content) << k;
    EXPECT_EQ(IdentityOf(bench.driver.StatusPath())->inode, before->inode) << k;
  }
  bench.driver.State().busy = false;

  // A change of state is still written whole and renamed into place.
  bench.driver.SetProcessing(true);
  const std::optional<FileIdentity> first = IdentityOf(bench.driver.StatusPath());
  bench.SetEcrSilent(true);
  bench.Tick();
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "NU");
  EXPECT_NE(IdentityOf(bench.driver.StatusPath())->inode, first->inode);
  EXPECT_EQ(bench.Status("Altceva"), "1");
}

// The rewrite after a check relies on the file being as the driver left it; what another
// program wrote meanwhile, even in place and with the same length, must survive it.
TEST(DriverStatusFile, WhatAnotherProgramWroteBetweenTwoChecksIsKept) {
  DriverBench bench;
  const std::string path = bench.driver.StatusPath();
  WriteBytes(path, "[INFO]\r\nAltceva=1\r\n");
  bench.driver.Start();
  bench.Tick();

  std::string content = ReadBytes(path);
  content.replace(content.find("Altceva=1"), 9, "Altceva=2");
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, content.data(), content.size(), 0), static_cast<ssize_t>(content.size()));
  ::close(fd);
  const timespec later[2] = {{::time(nullptr) + 5, 0}, {::time(nullptr) + 5, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
  bench.Tick();
  EXPECT_EQ(bench.Status("Altceva"), "2");

  WriteBytes(path, ReadBytes(path) + "[Casa]\r\nNr=7\r\n");
  bench.Tick();
  EXPECT_EQ(bench.Status("Altceva"), "2");
  EXPECT_NE(ReadBytes(path).find("[Casa]\r\nNr=7\r\n"), std::string::npos);
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");
}

// What needs a person stands in the warning box, ctl status and the status file until it
// is dealt with: the cycle's own warnings and a service's outlive the JE count's news.
TEST(DriverStatusFile, WarningsThatNeedThePersonStandUntilDealtWith) {
  DriverBench bench;
  bench.driver.Start();
  EXPECT_EQ(bench.Status("Atentionari"), "");
  const std::string damaged = "Atentie ! Inregistrarea HTTP deteriorata x.key !\r\nVerificati";
  bench.driver.SetServiceWarnings({damaged});
  EXPECT_EQ(bench.Status("Atentionari"),
            "Atentie ! Inregistrarea HTTP deteriorata x.key !  Verificati");
  bench.driver.State().standingWarnings = {"Atentie ! Jurnal deteriorat"};

  // A new start of processing reads the JE count again, which takes the box.
  bench.driver.SetProcessing(false);
  bench.driver.SetProcessing(true);
  const std::vector<std::string>& box = bench.driver.State().warningBox;
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(box[0].rfind(kJeFreeLinesLine, 0), 0u);
  EXPECT_NE(std::find(box.begin(), box.end(), damaged), box.end());
  EXPECT_NE(std::find(box.begin(), box.end(), "Atentie ! Jurnal deteriorat"), box.end());
  bench.Tick();
  const std::string written = bench.Status("Atentionari");
  EXPECT_EQ(written.find(kJeFreeLinesLine), std::string::npos) << written;
  EXPECT_NE(written.find(" | "), std::string::npos) << written;

  bench.driver.SetServiceWarnings({});
  EXPECT_EQ(std::find(box.begin(), box.end(), damaged), box.end());
}

TEST(DriverClose, SavesTheSettingsAndStopsBothTimers) {
  DriverBench bench;
  bench.WriteSettings("[Configurari]\r\nDelay=7\r\nTratareBonInDerulare=0\r\n");
  bench.driver.Start();
  bench.driver.Close();
  IniFile ini;
  ASSERT_TRUE(ini.Load(bench.driver.SettingsPath()));
  EXPECT_EQ(ini.ReadString("Configurari", "TratareBonInDerulare"), "2");
  EXPECT_EQ(ini.ReadString("Configurari", "Delay"), "7");
  EXPECT_FALSE(bench.driver.State().processorEnabled);
  EXPECT_FALSE(bench.driver.State().checkComEnabled);
  // Timers that still fire after the close find nothing to do.
  const int made = bench.ports.made;
  bench.Tick();
  EXPECT_EQ(bench.ports.made, made);
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
}

TEST(DriverStart, StartsProcessingCleansUpAndChecksOnce) {
  DriverBench bench;
  bench.driver.Start();
  const DriverState& state = bench.driver.State();
  EXPECT_TRUE(state.processing);
  EXPECT_TRUE(state.processorEnabled);
  EXPECT_TRUE(state.connected);
  EXPECT_FALSE(state.checkComEnabled);
  EXPECT_FALSE(state.busy);
  EXPECT_EQ(bench.files.cleanUps, 1);
  EXPECT_EQ(bench.ports.made, 1);
  EXPECT_EQ(state.jeFreeLines, 150000);
}

TEST(DriverStart, StoppingForgetsTheJeLinesAndTheRetry) {
  DriverBench bench;
  bench.SetEcrSilent(true);
  bench.driver.Start();
  EXPECT_TRUE(bench.driver.State().checkComEnabled);
  bench.driver.SetProcessing(false);
  EXPECT_FALSE(bench.driver.State().checkComEnabled);
  EXPECT_FALSE(bench.driver.State().processorEnabled);
  EXPECT_EQ(bench.driver.State().jeFreeLines, -1);
  const int made = bench.ports.made;
  for (int k = 0; k < 3; ++k) bench.Tick();
  EXPECT_EQ(bench.ports.made, made);  // no timer runs while stopped
  EXPECT_EQ(bench.files.pickUps, 0);
}

TEST(DriverConnection, PortZeroOpensComOneWhileTheLabelShowsZero) {
  DriverBench bench;
  bench.ports.lastPort = 1;  // only COM1 exists
  bench.WriteSettings("[Configurari]\r\nPort=0\r\n");
  bench.driver.Start();
  EXPECT_TRUE(bench.driver.State().connected);
  EXPECT_EQ(bench.driver.ConnectedLabel(), "Conectat la casa : COM 0");
}

TEST(DriverConnection, PortSeventeenStaysOnComOne) {
  DriverBench bench;
  bench.ports.lastPort = 1;
  bench.WriteSettings("[Configurari]\r\nPort=17\r\n");
  bench.driver.Start();
  EXPECT_TRUE(bench.driver.State().connected);
  EXPECT_EQ(bench.driver.ConnectedLabel(), "Conectat la casa : COM 1");
}

TEST(DriverConnection, APortThatDoesNotOpenLeavesTheDriverNotConnectedWithoutAMessage) {
  DriverBench bench;
  bench.ports.lastPort = 1;
  bench.WriteSettings("[Configurari]\r\nPort=2\r\n");
  bench.driver.Start();
  EXPECT_FALSE(bench.driver.State().connected);
  EXPECT_TRUE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "NU");
  EXPECT_TRUE(bench.op.errors.empty());
  EXPECT_TRUE(bench.op.boxes.empty());
  EXPECT_EQ(bench.CommandsReceived("1215"), 0);
}

struct JeCase {
  int freeLines;
  std::vector<std::string> warningBox;
};

// What ctest's test names show of a case: without it, the case's bytes, which change from
// run to run.
void PrintTo(const JeCase& jeCase, std::ostream* out) { *out << jeCase.freeLines << " free"; }

class DriverJeWarnings : public ::testing::TestWithParam<JeCase> {};

TEST_P(DriverJeWarnings, ShowTheCountAndTheWarningOfItsRange) {
  xruvo_sim::SimConfig config;
  config.jeFreeLines = GetParam().freeLines;
  DriverBench bench(config);
  bench.driver.State().warningBox = {"old line"};
  bench.driver.Start();
  EXPECT_EQ(bench.driver.State().jeFreeLines, GetParam().freeLines);
  EXPECT_EQ(bench.driver.State().warningBox, GetParam().warningBox);
}

const std::string kCount = "Linii libere in memoria JE :";
const std::string kZ =
    "EFECTUATI RAPORTUL FISCAL Z/CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE MEMORIE JE";
const std::string kTech = "CHEMATI TEHNICIANUL AUTORIZAT PENTRU INLOCUIRE MEMORIE JE";

INSTANTIATE_TEST_SUITE_P(Thresholds, DriverJeWarnings,
                         ::testing::Values(JeCase{0, {kCount + "0"}}, JeCase{1, {kCount + "1", kZ}},
                                           JeCase{499, {kCount + "499", kZ}},
                                           JeCase{500, {kCount + "500", kTech}},
                                           JeCase{99999, {kCount + "99999", kTech}},
                                           JeCase{100000, {kCount + "100000"}}),
                         // Named by the free lines: ctest's names stay the same from run to run.
                         [](const ::testing::TestParamInfo<JeCase>& jeCase) {
                           return "Free" + std::to_string(jeCase.param.freeLines);
                         });

TEST(DriverConnection, JeLinesAreReadOncePerStartOfProcessing) {
  DriverBench bench;
  bench.driver.Start();
  for (int k = 0; k < 3; ++k) bench.Tick();  // idle checks
  EXPECT_EQ(bench.CommandsReceived("8006"), 1);
  EXPECT_GE(bench.CommandsReceived("1215"), 4);
  bench.driver.SetProcessing(false);
  bench.driver.SetProcessing(true);
  EXPECT_EQ(bench.CommandsReceived("8006"), 2);
}

TEST(DriverConnection, AFailedJeQueryIsAskedAgainAtTheNextCheck) {
  DriverBench bench;
  bench.engine.Faults().errorRules.push_back({"8006", 12, 0, true});
  bench.driver.State().warningBox = {"kept"};
  bench.driver.Start();
  EXPECT_TRUE(bench.driver.State().connected);
  EXPECT_EQ(bench.driver.State().jeFreeLines, -1);
  EXPECT_EQ(bench.driver.State().warningBox, std::vector<std::string>{"kept"});
  bench.Tick();
  EXPECT_EQ(bench.driver.State().jeFreeLines, 150000);
  EXPECT_EQ(bench.CommandsReceived("8006"), 2);
}

TEST(DriverRetry, WhileTheEcrIsSilentTcheckComRetriesEachTickAndNoFileIsPickedUp) {
  DriverBench bench;
  bench.SetEcrSilent(true);
  bench.files.waitingFiles = 1;
  bench.driver.Start();
  ASSERT_TRUE(bench.driver.State().checkComEnabled);
  for (int tick = 1; tick <= 5; ++tick) {
    bench.Tick();
    EXPECT_EQ(bench.ports.made, 1 + tick);
    EXPECT_TRUE(bench.driver.State().checkComEnabled);
    EXPECT_FALSE(bench.driver.State().busy);
  }
  EXPECT_EQ(bench.files.pickUps, 0);
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "NU");

  bench.SetEcrSilent(false);
  bench.clock.Advance(Driver::kTimerIntervalMs);
  bench.driver.TcheckComTick();
  EXPECT_TRUE(bench.driver.State().connected);
  EXPECT_FALSE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "DA");
  bench.driver.TprocessorTick();
  EXPECT_EQ(bench.files.pickUps, 1);
  EXPECT_EQ(bench.files.waitingFiles, 0);
}

TEST(DriverIdle, WithoutAFileEachTickChecksTheConnection) {
  DriverBench bench;
  bench.driver.Start();
  bench.Tick();
  bench.Tick();
  EXPECT_EQ(bench.ports.made, 3);
  EXPECT_EQ(bench.files.pickUps, 2);

  bench.SetEcrSilent(true);  // the ECR is switched off
  bench.Tick();
  EXPECT_FALSE(bench.driver.State().connected);
  EXPECT_TRUE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.Status("ConectatLaCasa"), "NU");
}

TEST(DriverIdle, AFileTakesTheTickInsteadOfTheCheck) {
  DriverBench bench;
  bench.driver.Start();
  bench.files.waitingFiles = 2;
  bench.Tick();
  bench.Tick();
  EXPECT_EQ(bench.ports.made, 1);
  EXPECT_EQ(bench.files.pickUps, 2);
  bench.Tick();
  EXPECT_EQ(bench.ports.made, 2);
}

TEST(DriverIdle, FaraVerificareConexiuneSkipsTheIdleCheck) {
  DriverBench bench;
  bench.WriteSettings("[Configurari]\r\nFaraVerificareConexiune=DA\r\n");
  bench.driver.Start();
  for (int k = 0; k < 3; ++k) bench.Tick();
  EXPECT_EQ(bench.ports.made, 1);  // only the check of the start
  EXPECT_EQ(bench.files.pickUps, 3);
}

TEST(DriverBusy, BothTimersSkipTheirTickWhileBusy) {
  DriverBench bench;
  bench.SetEcrSilent(true);
  bench.files.waitingFiles = 1;
  bench.driver.Start();
  bench.driver.State().busy = true;
  bench.Tick();
  bench.SetEcrSilent(false);
  bench.driver.State().checkComEnabled = false;
  bench.Tick();
  EXPECT_EQ(bench.ports.made, 1);
  EXPECT_EQ(bench.files.pickUps, 0);
  bench.driver.State().busy = false;
  bench.Tick();
  EXPECT_EQ(bench.files.pickUps, 1);
}

TEST(DriverBusy, AStrayErrorFromTheCycleIsReportedAndClearsTheBusyFlag) {
  DriverBench bench;
  bench.driver.Start();
  bench.files.throwOnPickUp = true;
  bench.driver.State().busy = false;
  bench.Tick();
  EXPECT_FALSE(bench.driver.State().busy);
  EXPECT_EQ(bench.op.errors.size(), 1u);
  bench.files.throwOnPickUp = false;
  bench.Tick();
  EXPECT_EQ(bench.files.pickUps, 2);
}

TEST(DriverStopProgram, NoKeepsTheRetryAsItWasAndYesCloses) {
  DriverBench bench;
  bench.SetEcrSilent(true);
  bench.driver.Start();
  ASSERT_TRUE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.driver.ProcessingCaption(), "Stop procesare");
  EXPECT_FALSE(bench.driver.AskAndClose());  // the recording operator answers No
  EXPECT_EQ(bench.op.BoxTexts(), std::vector<std::string>{"Sigur inchizi programul ?"});
  EXPECT_TRUE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.Status("Stare"), "START PROCESARE");

  bench.op.answer = MsgResult::Yes;
  EXPECT_TRUE(bench.driver.AskAndClose());
  EXPECT_TRUE(bench.driver.Closed());
  EXPECT_FALSE(bench.driver.State().checkComEnabled);
  EXPECT_EQ(bench.Status("Stare"), "DRIVER INCHIS");
}

// Ticks and checks that arrive while a check waits for the ECR: what a window's message
// loop hands over during the wait.
class ReentrantPump final : public IEventPump {
 public:
  void Pump() override {
    if (driver == nullptr || !driver->CheckingConnection() || inside) return;
    inside = true;
    ++pumpedDuringCheck;
    driver->CheckConnection();
    driver->TprocessorTick();
    driver->TcheckComTick();
    inside = false;
  }
  Driver* driver = nullptr;
  bool inside = false;
  int pumpedDuringCheck = 0;
};

TEST(DriverReentry, ACheckOrTickDuringACheckReturnsAtOnce) {
  TempFolder folder;
  VirtualClock clock;
  RecordingOperator op;
  xruvo_sim::Engine engine(clock);
  engine.SetAnswerDelayMs(300);
  SimPortFactory ports(engine, clock);
  ReentrantPump pump;
  Driver driver(DriverContext{clock, pump, op, ports}, folder.Path());
  FakeReceiptFiles files;
  files.waitingFiles = 1;
  driver.SetReceiptFiles(files);
  pump.driver = &driver;

  driver.Start();
  EXPECT_GT(pump.pumpedDuringCheck, 0);
  EXPECT_EQ(ports.made, 1);
  EXPECT_EQ(files.pickUps, 0);
  EXPECT_TRUE(driver.State().connected);
  EXPECT_FALSE(driver.CheckingConnection());
  EXPECT_FALSE(driver.State().busy);

  // The idle check of a tick, with the same arrivals.
  files.waitingFiles = 0;
  clock.Advance(Driver::kTimerIntervalMs);
  driver.TprocessorTick();
  EXPECT_EQ(ports.made, 2);
  EXPECT_EQ(files.pickUps, 1);
  EXPECT_FALSE(driver.State().busy);
}

}  // namespace
}  // namespace ruvo::testing
