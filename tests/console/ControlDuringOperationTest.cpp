// The control socket while a manual operation waits for the ECR: the requests that arrive
// meanwhile are answered then, not after the operation. Virtual time; the operation's waits
// serve the socket through the event pump, as the driver's loop and window do.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Driver.h"
#include "console/ControlCommands.h"
#include "console/ControlServer.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"
#include "support/ScriptedPump.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int64_t kReportMs = 30'000;

// One request: sent at once, its answer read when the driver has closed the connection.
class Request {
 public:
  Request(const std::string& instance, const Lines& arguments)
      : fd_(ConnectControlSocket(instance)) {
    const std::string bytes = EncodeRequest(arguments);
    EXPECT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    ::shutdown(fd_, SHUT_WR);
  }
  ~Request() { ::close(fd_); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  // The answer, when the driver has given it by now.
  std::optional<ControlAnswer> AnswerNow() {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, 0) <= 0) return std::nullopt;
    std::string all;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0)
      all.append(buffer, static_cast<std::size_t>(n));
    return ParseAnswer(all);
  }

 private:
  int fd_;
};

class ControlDuringOperationTest : public testing::ConsoleRig {
 protected:
  ControlDuringOperationTest() : ConsoleRig(Config()) {
    testing::WriteBytes(folder / "XRUVODRV.INI", "[Configurari]\r\nPort=1\r\n");
    driver = std::make_unique<Driver>(DriverContext{clock, script, op, ports}, folder.Path());
    server = std::make_unique<ControlServer>(instance, clock, [this](const Lines& arguments) {
      return ServeControlRequest(*driver, arguments);
    });
    driver->Start();
    EXPECT_TRUE(RunControlCommand(*driver, {"stop"}).ok);
    Sent();
  }
  static xruvo_sim::SimConfig Config() {
    xruvo_sim::SimConfig config;
    config.lastZNumber = 10;
    config.reportMs = kReportMs;
    return config;
  }
  // What arrives at the given time of the report's wait, answered then.
  void During(std::int64_t ms, std::function<void()> step) {
    script.At(start + ms, std::move(step));
  }

  std::string instance = ControlSocketPath(folder.Path());  // the control socket
  testing::ScriptedPump script{clock, 100};
  std::unique_ptr<Driver> driver;
  std::unique_ptr<ControlServer> server;
  std::int64_t start = 0;
};

TEST_F(ControlDuringOperationTest, StatusAndRefusalsAreAnsweredWhileTheReportPrints) {
  ASSERT_TRUE(server->Listening()) << server->Problem();
  std::optional<ControlAnswer> status;
  std::optional<ControlAnswer> second;
  std::optional<ControlAnswer> cash;
  start = clock.MonotonicMs();
  During(5'000, [&] {
    Request asking(instance, {"status"});
    Request again(instance, {"z-report"});
    Request other(instance, {"cash-in", "5"});
    for (int k = 0; k < 3; ++k) server->ServeOne();
    status = asking.AnswerNow();
    second = again.AnswerNow();
    cash = other.AnswerNow();
  });
  Request report(instance, {"z-report"});
  server->ServeOne();
  const std::optional<ControlAnswer> printed = report.AnswerNow();

  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->ok);
  ASSERT_GE(status->lines.size(), 3u);
  EXPECT_EQ(status->lines[0], "STOP PROCESARE");
  EXPECT_EQ(status->lines[2].rfind("Operatie in curs: Raport zilnic din ", 0), 0u)
      << status->lines[2];
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->lines, Lines{"O operatie este in curs: Raport zilnic"});
  ASSERT_TRUE(cash.has_value());
  EXPECT_EQ(cash->lines, Lines{"O operatie este in curs: Raport zilnic"});
  ASSERT_TRUE(printed.has_value());
  EXPECT_TRUE(printed->ok);
  EXPECT_EQ(engine.GetDevice().LastZNumber(), 11) << "one Z, not two";
  EXPECT_EQ(Sent(), (Lines{"1215", "2002"}));
}

TEST_F(ControlDuringOperationTest, StopReportReachesTheReportThroughItsLink) {
  std::optional<ControlAnswer> stopped;
  start = clock.MonotonicMs();
  During(5'000, [&] {
    Request stop(instance, {"stop-report"});
    server->ServeOne();
    stopped = stop.AnswerNow();
  });
  Request report(instance, {"z-report"});
  server->ServeOne();
  const std::optional<ControlAnswer> printed = report.AnswerNow();

  ASSERT_TRUE(stopped.has_value());
  EXPECT_TRUE(stopped->ok);
  EXPECT_EQ(stopped->lines, Lines{"Oprire ceruta raportului in curs: Raport zilnic"});
  ASSERT_TRUE(printed.has_value());
  EXPECT_FALSE(printed->ok);
  EXPECT_EQ(printed->lines, (Lines{"[Eroare] Nu pot efectua raportul Z  !",
                                   "26;Operatie intrerupta de utilizator"}))
      << "as the window shows it";
  EXPECT_NE(engine.GetPaper().Text().find("RAPORT INTRERUPT"), std::string::npos);
  EXPECT_EQ(ports.made, 2) << "the start's check and the report; none for the stop";
  EXPECT_LT(clock.MonotonicMs() - start, 10'000);
}

TEST_F(ControlDuringOperationTest, StartWaitsForTheOperationAndRunsWhenItEnds) {
  std::unique_ptr<Request> starting;
  bool answeredDuringReport = true;
  start = clock.MonotonicMs();
  During(5'000, [&] {
    starting = std::make_unique<Request>(instance, Lines{"start"});
    server->ServeOne();
    answeredDuringReport = starting->AnswerNow().has_value() || driver->State().processing;
  });
  Request report(instance, {"z-report"});
  server->ServeOne();
  EXPECT_FALSE(answeredDuringReport);
  ASSERT_TRUE(server->HasWaiting());
  server->ServeOne();  // the loop's next turn, the work over
  const std::optional<ControlAnswer> started = starting->AnswerNow();
  ASSERT_TRUE(started.has_value());
  EXPECT_TRUE(started->ok);
  EXPECT_EQ(started->lines.at(0), "START PROCESARE");
  EXPECT_TRUE(driver->State().processing);
  EXPECT_FALSE(server->HasWaiting());
}

// After a report the window waits half a second before it forgets the clicks queued on the
// report's button; the report's port is closed by then, but its run is not over. What is
// asked meanwhile waits for that end instead of running inside it.
TEST_F(ControlDuringOperationTest, WhatIsAskedDuringThePauseAfterAReportWaitsForItsEnd) {
  std::unique_ptr<Request> second;
  std::unique_ptr<Request> starting;
  bool heldInPause = false;
  bool sawReport = false;
  // Looks at every turn of the pump for the pause: the report seen running, then over.
  std::function<void()> watch = [&] {
    if (driver->State().operation.Active()) sawReport = true;
    if (!sawReport || driver->State().operation.Active()) {
      script.At(clock.MonotonicMs() + 1, watch);
      return;
    }
    second = std::make_unique<Request>(instance, Lines{"x-report"});
    starting = std::make_unique<Request>(instance, Lines{"start"});
    for (int k = 0; k < 2; ++k) server->ServeOne();
    heldInPause = !second->AnswerNow().has_value() && !starting->AnswerNow().has_value() &&
                  !driver->State().processing;
  };
  script.At(clock.MonotonicMs(), watch);
  Request report(instance, {"z-report"});
  server->ServeOne();
  ASSERT_TRUE(report.AnswerNow().has_value());
  ASSERT_TRUE(second && starting) << "no pause after the report";
  EXPECT_TRUE(heldInPause);
  EXPECT_EQ(Sent(), (Lines{"1215", "2002"})) << "nothing sent inside the report's run";

  // The loop's next turns, the report over: the X report first, then the start.
  for (int k = 0; k < 2 && server->HasWaiting(); ++k) server->ServeOne();
  const std::optional<ControlAnswer> x = second->AnswerNow();
  const std::optional<ControlAnswer> started = starting->AnswerNow();
  ASSERT_TRUE(x.has_value());
  EXPECT_TRUE(x->ok) << (x->lines.empty() ? "" : x->lines[0]);
  ASSERT_TRUE(started.has_value());
  EXPECT_EQ(started->lines.at(0), "START PROCESARE");
  EXPECT_NE(engine.GetPaper().Text().find("RAPORT X"), std::string::npos);
  EXPECT_FALSE(driver->State().operationEnding);
}

// A start that arrives while a stop lets the loop run waits for the stop to end, and then
// runs: the driver ends started, as the last request asked.
TEST_F(ControlDuringOperationTest, AStartArrivingDuringAStopRunsAfterIt) {
  ASSERT_TRUE(RunControlCommand(*driver, {"start"}).ok);
  std::unique_ptr<Request> starting;
  bool heldDuringStop = false;
  script.At(clock.MonotonicMs(), [&] {
    starting = std::make_unique<Request>(instance, Lines{"start"});
    server->ServeOne();
    heldDuringStop = !starting->AnswerNow().has_value();
  });
  Request stopping(instance, {"stop"});
  server->ServeOne();
  ASSERT_TRUE(starting);
  EXPECT_TRUE(heldDuringStop);
  EXPECT_EQ(stopping.AnswerNow()->lines, Lines{"STOP PROCESARE"});
  server->ServeOne();
  EXPECT_EQ(starting->AnswerNow()->lines.at(0), "START PROCESARE");
  EXPECT_TRUE(driver->State().processing);
}

TEST_F(ControlDuringOperationTest, ProcessingOnRefusesAnOperationBeforeReadingItsArguments) {
  ASSERT_TRUE(RunControlCommand(*driver, {"start"}).ok);
  for (const Lines& command : {Lines{"z-report", "extra"}, Lines{"mf-report", "--nonsense"},
                               Lines{"cash-in"}, Lines{"export", "x"}}) {
    const std::optional<ControlAnswer> answer = ServeControlRequest(*driver, command);
    ASSERT_TRUE(answer.has_value()) << command[0];
    EXPECT_EQ(answer->lines, Lines{"Opriti procesarea: ruvo_drv ctl stop"}) << command[0];
  }
  // Busy with a receipt file: a stop waits for it, a status does not.
  driver->State().busy = true;
  EXPECT_FALSE(ServeControlRequest(*driver, {"stop"}).has_value());
  EXPECT_TRUE(ServeControlRequest(*driver, {"status"}).has_value());
  EXPECT_TRUE(driver->State().processing);
  driver->State().busy = false;
  EXPECT_EQ(ServeControlRequest(*driver, {"stop"})->lines, Lines{"STOP PROCESARE"});
}

}  // namespace
}  // namespace ruvo
