#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <ostream>
#include <string>

#include "Device.h"
#include "Faults.h"
#include "FrameCodec.h"
#include "Paper.h"
#include "SimConfig.h"
#include "platform/Clock.h"

namespace xruvo_sim {

// The ECR's side of the serial protocol: takes the driver's bytes one by one, runs each
// complete request on the device model and schedules the answer bytes on the clock
// (a delay before answering, pacing per byte, long commands that keep the ECR busy).
// It does no I/O itself: SimSerialPort pulls the bytes in-process, the xruvo_sim program
// writes them to a pseudo-terminal.
class Engine {
 public:
  explicit Engine(ruvo::IClock& clock, std::ostream* paperOut = nullptr, SimConfig config = {});

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Bytes from the driver, arriving now.
  void Receive(const std::uint8_t* data, std::size_t count);
  void Receive(const std::string& bytes);

  // Answer bytes that are due now, at most capacity of them.
  std::size_t TakeDue(std::uint8_t* buffer, std::size_t capacity);
  std::string TakeDue();
  // When the next answer byte is due, in microseconds on the clock's monotonic scale.
  std::optional<std::int64_t> NextDueUs() const;
  // Drops answer bytes not yet delivered (a port that was closed meanwhile).
  void DropPendingOutput();

  // A long command is still running: "1010" answers busy.
  bool Busy() const { return deferred_.has_value(); }
  // After the vanish fault the device takes no more bytes and sends none.
  bool Vanished() const { return vanished_; }
  void Revive();

  void SetAnswerDelayMs(std::int64_t ms) { answerDelayMs_ = ms < 0 ? 0 : ms; }
  void SetByteTimeUs(std::int64_t us) { byteTimeUs_ = us < 0 ? 0 : us; }

  LineFaults& Faults() { return faults_; }
  // Where the engine says that a lost-answer rule bit ("xruvo_sim: lost CMD ..."); none
  // in-process.
  void SetMessages(std::ostream* messages) { messages_ = messages; }
  Device& GetDevice() { return device_; }
  const Device& GetDevice() const { return device_; }
  Paper& GetPaper() { return paper_; }
  // Command texts received, oldest first (the last 10000).
  const std::deque<std::string>& ReceivedCommands() const { return received_; }
  std::size_t BadFrames() const { return badFrames_; }

 private:
  struct Deferred {
    std::int64_t dueUs = 0;
    std::string bytes;
    bool ackSent = false;
  };

  std::int64_t NowUs() const { return clock_.MonotonicUs(); }
  // When the answer to the frame just received may start: after the answer delay, and with
  // pacing on, not before the request itself would have crossed the wire.
  std::int64_t AnswerStartUs() const;
  std::int64_t ByteTimeUs() const;
  void OnFrame(const RequestFrame& frame);
  void AnswerWhileBusy(const std::string& text);
  void LoseAnswer(const std::string& text, const LostAnswerRule& rule);
  void Emit(const std::string& text, const Answer& answer);
  void Schedule(const std::string& bytes, std::int64_t startUs);
  void PromoteDeferred();

  ruvo::IClock& clock_;
  Paper paper_;
  Device device_;
  LineFaults faults_;
  std::ostream* messages_ = nullptr;
  FrameParser parser_;
  std::deque<std::pair<std::int64_t, std::uint8_t>> output_;
  std::int64_t nextFreeUs_ = 0;
  // With pacing on: when the last received byte would have arrived on a real line.
  std::int64_t rxWireUs_ = 0;
  std::optional<Deferred> deferred_;
  bool vanished_ = false;
  std::int64_t answerDelayMs_;
  std::int64_t byteTimeUs_;
  std::deque<std::string> received_;
  std::size_t badFrames_ = 0;
};

}  // namespace xruvo_sim
