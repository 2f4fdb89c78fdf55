#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Control.h"
#include "Engine.h"
#include "SimConfig.h"
#include "SimSerialPort.h"
#include "app/DriverContext.h"
#include "app/DriverState.h"
#include "console/OperationFrame.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "support/RecordingOperator.h"

namespace ruvo::testing {

// The simulator's port, counted: how many exist and how many are open right now.
class CountedSimPort final : public ISerialPort {
 public:
  CountedSimPort(xruvo_sim::Engine& engine, VirtualClock& clock, int& alive, int& open)
      : port_(engine, clock), alive_(alive), open_(open) {
    ++alive_;
  }
  ~CountedSimPort() override {
    if (port_.Connected()) --open_;
    --alive_;
  }
  CountedSimPort(const CountedSimPort&) = delete;
  CountedSimPort& operator=(const CountedSimPort&) = delete;

  bool Open(const std::string& name) override {
    const bool wasOpen = port_.Connected();
    const bool opened = port_.Open(name);
    if (!wasOpen && port_.Connected()) ++open_;
    return opened;
  }
  void Close() override {
    if (port_.Connected()) --open_;
    port_.Close();
  }
  bool Connected() const override { return port_.Connected(); }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    return port_.Write(data, count);
  }
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    return port_.Read(buffer, capacity, timeoutMs);
  }

 private:
  xruvo_sim::SimSerialPort port_;
  int& alive_;
  int& open_;
};

class CountedSimPorts final : public IPortFactory {
 public:
  CountedSimPorts(xruvo_sim::Engine& engine, VirtualClock& clock)
      : engine_(engine), clock_(clock) {}
  std::unique_ptr<ISerialPort> MakePort() override {
    ++made;
    return std::make_unique<CountedSimPort>(engine_, clock_, alive, open);
  }
  int made = 0;
  int alive = 0;
  int open = 0;

 private:
  xruvo_sim::Engine& engine_;
  VirtualClock& clock_;
};

// A working folder, the simulated ECR in virtual time and a recording operator: what a
// manual operation needs, as the main window would hand it over.
class ConsoleRig : public ::testing::Test {
 protected:
  explicit ConsoleRig(xruvo_sim::SimConfig config = {})
      : engine(clock, nullptr, std::move(config)) {
    state.workingFolder = folder.Path() + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.settings.port = 1;
    state.settings.longTimeOut = 30;
  }

  ConsoleContext Context() { return ConsoleContext{DriverContext{clock, pump, op, ports}, state}; }

  void Fault(const std::string& command) {
    ASSERT_EQ(xruvo_sim::ApplyControlCommand(engine, command), "") << command;
  }
  // The commands the ECR received since the last call.
  std::vector<std::string> Sent() {
    const auto& all = engine.ReceivedCommands();
    std::vector<std::string> since(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
    seen_ = all.size();
    return since;
  }
  // Brings the ECR into a state through a link of the test's own (a receipt left open...).
  void Prepare(const std::function<void(TXruvoLinux&)>& steps) {
    TXruvoLinux link(std::make_unique<xruvo_sim::SimSerialPort>(engine, clock), clock, pump);
    ASSERT_TRUE(link.Engine().OpenPort(1));
    steps(link);
    Sent();
  }
  // A fiscal receipt open in the ECR, in the receipt state given: 1 sale lines, 2 after a
  // subtotal, 3 after a discount, 4 partly paid, 5 fully paid.
  void OpenReceipt(int receiptState) {
    Prepare([&](TXruvoLinux& link) {
      ASSERT_TRUE(link.SellItem("PAINE", 1, 2.5, 1, "BUC", 1, 1, false));
      bool ok = true;
      if (receiptState == 2) ok = link.Command3003();
      if (receiptState == 3) ok = link.AdjustValueKind1("REDUCERE", 0.5);
      if (receiptState == 4) ok = link.Payment(1, "", 1);
      if (receiptState == 5) ok = link.Payment(1, "", 2.5);
      ASSERT_TRUE(ok) << link.Engine().LastError();
      ASSERT_TRUE(link.ReadReceiptState());
      ASSERT_EQ(link.ReceiptStateText(), std::to_string(receiptState));
    });
  }
  // The files of a folder of the working folder matching mask ("" for the folder itself).
  std::vector<std::string> Files(const std::string& sub, const std::string& mask) const {
    return ListMatching(state.workingFolder + sub, mask);
  }

  TempFolder folder;
  VirtualClock clock;
  NullEventPump pump;
  xruvo_sim::Engine engine;
  CountedSimPorts ports{engine, clock};
  RecordingOperator op;
  DriverState state;

 private:
  std::size_t seen_ = 0;
};

}  // namespace ruvo::testing
