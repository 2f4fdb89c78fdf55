#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/AnswerKeeper.h"
#include "platform/FolderWatch.h"

namespace ruvo {

// The receipt file cycle as the driver's timers use it.
class IReceiptFiles {
 public:
  virtual ~IReceiptFiles() = default;
  // Finds and processes one waiting receipt file, setting and clearing the busy flag around
  // it; false when none was waiting. Must not throw.
  virtual bool PickUpNext() = 0;
  // The clean-up of old files at each start of processing. Must not throw.
  virtual void CleanOldFiles() = 0;
  // What the folder watch saw, before a pickup: how each file came into the folder.
  virtual void Heard(const FolderNews&) {}
  // When (clock ms) a waiting file that PickUpNext passed over will be ready to be taken;
  // nullopt when none is waiting for time.
  virtual std::optional<std::int64_t> NextLookMs() const { return std::nullopt; }
  // The suffix ("ONLINE<suffix>.TXT") of the file being run now; empty between files.
  virtual std::string RunningSuffix() const { return {}; }
  // True when the file the last PickUpNext found was left waiting as it was: it is not
  // taken again before the next tick.
  virtual bool LastFileWaits() const { return false; }
  // Who is told of every answer before its file goes (see IAnswerKeeper); null for none.
  virtual void KeepAnswersWith(IAnswerKeeper* /*keeper*/) {}
};

// A driver without a cycle: never finds a file, cleans nothing.
class NoReceiptFiles final : public IReceiptFiles {
 public:
  bool PickUpNext() override { return false; }
  void CleanOldFiles() override {}
};

// Plugs any object with PickUpNext(), CleanOldFiles(), Heard(), NextLookMs(),
// RunningSuffix(), LastFileWaits() and KeepAnswersWith() (the receipt file cycle) into the driver
// without either knowing the other.
template <typename Cycle>
class ReceiptFilesOf final : public IReceiptFiles {
 public:
  explicit ReceiptFilesOf(Cycle& cycle) : cycle_(cycle) {}
  bool PickUpNext() override { return cycle_.PickUpNext(); }
  void CleanOldFiles() override { cycle_.CleanOldFiles(); }
  void Heard(const FolderNews& news) override { cycle_.Heard(news); }
  std::optional<std::int64_t> NextLookMs() const override { return cycle_.NextLookMs(); }
  std::string RunningSuffix() const override { return cycle_.RunningSuffix(); }
  bool LastFileWaits() const override { return cycle_.LastFileWaits(); }
  void KeepAnswersWith(IAnswerKeeper* keeper) override { cycle_.KeepAnswersWith(keeper); }

 private:
  Cycle& cycle_;
};

}  // namespace ruvo
