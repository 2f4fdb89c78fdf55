#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Control.h"
#include "Engine.h"
#include "SimSerialPort.h"
#include "app/DriverState.h"
#include "app/ReceiptExecution.h"
#include "app/ResponseFile.h"
#include "ecr/TXruvoLinux.h"
#include "execution/AdminExecutor.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/TempFolder.h"
#include "receipt/ReceiptValidator.h"
#include "support/RecordingOperator.h"

namespace ruvo::testing {

// Keeps every response text and the lines the response file would get for the last one.
class RecordingResponse final : public IResponseWriter {
 public:
  RecordingResponse(DriverState& state, FileRun& file) : state_(state), file_(file) {}
  void WriteResponse(const std::string& text) override {
    texts.push_back(text);
    lines = BuildResponseLines(text, file_, state_);
  }
  std::vector<std::string> texts;
  std::vector<std::string> lines;

 private:
  DriverState& state_;
  FileRun& file_;
};

// The simulator's port with a look at every request frame before the ECR gets it, so a
// test can break the line or look at the folder in the middle of an operation.
class WatchedSimPort final : public ISerialPort {
 public:
  WatchedSimPort(xruvo_sim::Engine& engine, VirtualClock& clock) : port_(engine, clock) {}
  bool Open(const std::string& name) override { return port_.Open(name); }
  void Close() override { port_.Close(); }
  bool Connected() const override { return port_.Connected(); }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    if (onRequest) onRequest(std::string(reinterpret_cast<const char*>(data), count));
    return port_.Write(data, count);
  }
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    return port_.Read(buffer, capacity, timeoutMs);
  }

  // Called with the whole request frame (STX "000" text checksum ETX).
  std::function<void(const std::string&)> onRequest;

 private:
  xruvo_sim::SimSerialPort port_;
};

// A working folder, the driver state, the simulated ECR in virtual time and a link on it,
// as the non-fiscal and report executor gets them from the receipt file cycle. Set
// `config` before the first Ecr() or Run().
class AdminRunFixture : public ::testing::Test {
 protected:
  AdminRunFixture() : response(state, file) {
    state.workingFolder = folder.Path() + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.connected = true;
  }

  xruvo_sim::Engine& Ecr() {
    if (!engine) {
      engine = std::make_unique<xruvo_sim::Engine>(clock, nullptr, config);
      auto made = std::make_unique<WatchedSimPort>(*engine, clock);
      port = made.get();
      link = std::make_unique<TXruvoLinux>(std::move(made), clock, pump);
    }
    return *engine;
  }
  void OpenLink() {
    Ecr();
    ASSERT_TRUE(link->Engine().OpenPort(1));
  }
  void Control(const std::string& command) {
    ASSERT_EQ(xruvo_sim::ApplyControlCommand(Ecr(), command), "");
  }

  // Validates the lines (they must pass) and runs them on the open link.
  void Run(const std::vector<std::string>& lines) {
    if (!link || !link->Engine().Connected()) OpenLink();
    fileLines = lines;
    validation = ValidateReceiptLines(fileLines, ValidationOptions{true});
    ASSERT_TRUE(validation.ok) << validation.errorText;
    ASSERT_FALSE(validation.flags.fiscalGroup);
    firstCommand = Ecr().ReceivedCommands().size();
    ReceiptRun run{state, file, op, clock, response, fileLines, validation, log};
    ExecuteNonFiscalAndReports(run, *link);
  }

  // The command texts the ECR received during the last Run.
  std::vector<std::string> Sent() const {
    const auto& all = engine->ReceivedCommands();
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(firstCommand),
                                    all.end());
  }
  bool WasSent(const std::string& prefix) const {
    const std::vector<std::string> sent = Sent();
    return std::any_of(sent.begin(), sent.end(),
                       [&](const std::string& text) { return text.rfind(prefix, 0) == 0; });
  }
  long CountSent(const std::string& text) const {
    const std::vector<std::string> sent = Sent();
    return std::count(sent.begin(), sent.end(), text);
  }
  std::string Paper() { return Ecr().GetPaper().Text(); }

  TempFolder folder;
  DriverState state;
  FileRun file;  // what the runs of a test answer with
  VirtualClock clock;
  NullEventPump pump;
  RecordingOperator op;
  RecordingResponse response;
  xruvo_sim::SimConfig config;
  std::unique_ptr<xruvo_sim::Engine> engine;
  WatchedSimPort* port = nullptr;
  std::unique_ptr<TXruvoLinux> link;
  std::vector<std::string> fileLines;
  ValidationResult validation;
  std::vector<std::string> log;
  std::size_t firstCommand = 0;
};

}  // namespace ruvo::testing
