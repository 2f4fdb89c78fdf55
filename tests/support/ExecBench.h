#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Control.h"
#include "Engine.h"
#include "SimSerialPort.h"
#include "app/DriverState.h"
#include "app/ReceiptCycle.h"
#include "ecr/TXruvoLinux.h"
#include "execution/EcrReceiptExecution.h"
#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "platform/TempFolder.h"
#include "support/RecordingOperator.h"

namespace ruvo::exec_testing {

// A simulator port that tells the bench which port names were opened.
class RecordingSimPort final : public ISerialPort {
 public:
  RecordingSimPort(xruvo_sim::Engine& engine, VirtualClock& clock, std::vector<std::string>& opened)
      : inner_(engine, clock), opened_(opened) {}
  void SetPortRange(int first, int last) { inner_.SetPortRange(first, last); }
  bool Open(const std::string& portName) override {
    opened_.push_back(portName);
    return inner_.Open(portName);
  }
  void Close() override { inner_.Close(); }
  bool Connected() const override { return inner_.Connected(); }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    return inner_.Write(data, count);
  }
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) override {
    return inner_.Read(buffer, capacity, timeoutMs);
  }

 private:
  xruvo_sim::SimSerialPort inner_;
  std::vector<std::string>& opened_;
};

// The real receipt file cycle with the ECR executors on the in-process simulator, in a
// temporary working folder, in virtual time. Connected, processing on, free JE lines not
// read (so the JE re-read is skipped unless a test sets them).
struct ExecBench {
  explicit ExecBench(xruvo_sim::SimConfig config = {})
      : engine(clock, nullptr, std::move(config)),
        execution([this] { return MakeLink(); }),
        cycle(state, op, clock, execution) {
    state.workingFolder = folder.Path() + "/";
    state.logFolder = state.workingFolder + "Log/";
    state.historyFolder = state.workingFolder + "History/";
    state.connected = true;
    state.processing = true;
    // Files are dropped whole; waiting for writers is tested with the pickup.
    state.settings.pauzaFisierScris = 0;
  }

  std::unique_ptr<TXruvoLinux> MakeLink() {
    ++linksMade;
    auto port = std::make_unique<RecordingSimPort>(engine, clock, openedPorts);
    port->SetPortRange(firstPort, lastPort);
    return std::make_unique<TXruvoLinux>(std::move(port), clock, pump);
  }

  // Drops the lines (each ended by CR LF) as ONLINE.TXT, runs the cycle once and returns
  // the lines of ERROR.TXT.
  std::vector<std::string> Run(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    Write("ONLINE.TXT", bytes);
    commandsBefore = engine.ReceivedCommands().size();
    paperBefore = engine.GetPaper().Lines().size();
    cycle.PickUpNext();
    return Response();
  }

  std::vector<std::string> Response() const {
    std::vector<std::string> lines;
    std::string text = Read("ERROR.TXT");
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // The command texts the ECR received during the last Run.
  std::vector<std::string> Commands() const {
    const auto& all = engine.ReceivedCommands();
    return {all.begin() + static_cast<std::ptrdiff_t>(commandsBefore), all.end()};
  }
  // How many of them begin with prefix.
  int Sent(const std::string& prefix) const {
    int count = 0;
    for (const std::string& text : Commands()) count += text.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }
  // The index of the first received command that begins with prefix, -1 when none.
  int IndexOf(const std::string& prefix) const {
    const std::vector<std::string> commands = Commands();
    for (std::size_t i = 0; i < commands.size(); ++i) {
      if (commands[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  // The paper printed during the last Run.
  std::vector<std::string> Paper() const {
    const auto& lines = const_cast<xruvo_sim::Engine&>(engine).GetPaper().Lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(paperBefore), lines.end()};
  }
  int PaperLinesWith(const std::string& text) const {
    int count = 0;
    for (const std::string& line : Paper()) count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
  }

  bool Fault(const std::string& command) {
    return xruvo_sim::ApplyControlCommand(engine, command).empty();
  }

  std::string Path(const std::string& name) const { return state.workingFolder + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing::TempFolder folder;
  VirtualClock clock;
  NullEventPump pump;
  testing::RecordingOperator op;
  DriverState state;
  xruvo_sim::Engine engine;
  EcrReceiptExecution execution;
  ReceiptFileCycle cycle;
  int firstPort = 1;
  int lastPort = 16;
  int linksMade = 0;
  std::size_t commandsBefore = 0;
  std::size_t paperBefore = 0;
  std::vector<std::string> openedPorts;  // every port name a link asked for, in order
};

}  // namespace ruvo::exec_testing
