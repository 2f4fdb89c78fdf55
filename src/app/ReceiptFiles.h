#pragma once

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
};

// A driver without a cycle: never finds a file, cleans nothing.
class NoReceiptFiles final : public IReceiptFiles {
 public:
  bool PickUpNext() override { return false; }
  void CleanOldFiles() override {}
};

// Plugs any object with PickUpNext() and CleanOldFiles() (the receipt file cycle) into the
// driver without either knowing the other.
template <typename Cycle>
class ReceiptFilesOf final : public IReceiptFiles {
 public:
  explicit ReceiptFilesOf(Cycle& cycle) : cycle_(cycle) {}
  bool PickUpNext() override { return cycle_.PickUpNext(); }
  void CleanOldFiles() override { cycle_.CleanOldFiles(); }

 private:
  Cycle& cycle_;
};

}  // namespace ruvo
