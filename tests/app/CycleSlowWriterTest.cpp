#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "CycleTestSupport.h"
#include "app/ReceiptFileReader.h"

namespace ruvo::testing {
namespace {

const std::string kFirstHalf = "1;ITEM;PCS;1;1;250;200000\r\n";
const std::string kSecondHalf = "5;500;1\r\n";

// Virtual time that lets the test act at a chosen sleep of the code under test.
class HookedClock final : public IClock {
 public:
  LocalDateTime Now() const override { return time_.Now(); }
  std::int64_t MonotonicMs() const override { return time_.MonotonicMs(); }
  void SleepMs(std::int64_t ms) override {
    ++sleeps;
    if (onSleep) onSleep(sleeps);
    time_.SleepMs(ms);
  }
  // Real file times on request: by default, virtual time says no file is old.
  std::int64_t FileTimeNowNs() const override {
    return realFileTimes ? SystemClock().FileTimeNowNs() : 0;
  }
  std::function<void(int)> onSleep;
  int sleeps = 0;
  bool realFileTimes = false;

 private:
  VirtualClock time_;
};

// Another process writing a receipt file in two steps: the first half at once, the rest
// when told through a pipe; it closes the file and ends after the second half.
class SlowWriter {
 public:
  explicit SlowWriter(const std::string& path) {
    int go[2];
    int ready[2];
    if (::pipe(go) != 0 || ::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(go[1]);
      ::close(ready[0]);
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0) ::_exit(1);
      if (::write(fd, kFirstHalf.data(), kFirstHalf.size()) < 0) ::_exit(1);
      char c = 'r';
      if (::write(ready[1], &c, 1) < 0) ::_exit(1);
      if (::read(go[0], &c, 1) != 1) ::_exit(1);  // "sleeps" until told to go on
      if (::write(fd, kSecondHalf.data(), kSecondHalf.size()) < 0) ::_exit(1);
      ::close(fd);
      ::_exit(0);
    }
    ::close(go[0]);
    ::close(ready[1]);
    goFd_ = go[1];
    char c = 0;
    started_ = pid_ > 0 && ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
  }
  ~SlowWriter() { Finish(); }
  SlowWriter(const SlowWriter&) = delete;
  SlowWriter& operator=(const SlowWriter&) = delete;

  bool Started() const { return started_; }

  // Lets the writer write the rest and waits until it has closed the file and ended.
  void Finish() {
    if (goFd_ >= 0) {
      const char c = 'g';
      [[maybe_unused]] const ssize_t sent = ::write(goFd_, &c, 1);  // a dead writer reads nothing
      ::close(goFd_);
      goFd_ = -1;
    }
    if (pid_ > 0) {
      int status = 0;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int goFd_ = -1;
  bool started_ = false;
};

// Picks up the file the writer still holds, lets the writer finish at the given sleep of
// the cycle, and checks that the file ran whole.
void ExpectRunWholeOnceFinished(CycleFixtureBase& f, HookedClock& clock, SlowWriter& writer,
                                int finishAtSleep) {
  ReceiptFileCycle cycle(f.state, f.op, clock, f.execution);
  clock.onSleep = [&](int sleep) {
    if (sleep == finishAtSleep) writer.Finish();
  };
  EXPECT_TRUE(cycle.PickUpNext());
  ASSERT_EQ(f.execution.executedLines.size(), 1u);
  EXPECT_EQ(f.execution.executedLines[0],
            (std::vector<std::string>{"1;ITEM;PCS;1;1;250;200000", "5;500;1"}));
  EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
}

TEST(CycleSlowWriter, AReceiptFileIsReadOnlyOnceItIsWhole) {
  CycleFixtureBase f;
  HookedClock clock;
  SlowWriter writer(f.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(writer.Started());
  ExpectRunWholeOnceFinished(f, clock, writer, 5);
}

TEST(CycleWriterDetection, SeesWritersButNotReaders) {
  TempFolder folder;
  const std::string path = folder / "ONLINE.TXT";
  WriteBytes(path, kFirstHalf);
  EXPECT_FALSE(IsOpenForWriting(path));
  const int reader = ::open(path.c_str(), O_RDONLY);
  EXPECT_FALSE(IsOpenForWriting(path));
  const int writer = ::open(path.c_str(), O_RDWR);
  EXPECT_TRUE(IsOpenForWriting(path));
  ::close(writer);
  EXPECT_FALSE(IsOpenForWriting(path));
  ::close(reader);
  EXPECT_FALSE(IsOpenForWriting(folder / "missing.txt"));
}

TEST(CycleWriterDetection, AFileThatChangesDuringThePauseIsNotRead) {
  TempFolder folder;
  const std::string path = folder / "ONLINE.TXT";
  WriteBytes(path, kFirstHalf);
  HookedClock clock;
  clock.onSleep = [&](int) { WriteBytes(path, kFirstHalf + kSecondHalf); };
  EXPECT_FALSE(ReadCompleteReceipt(path, clock).has_value());
  clock.onSleep = nullptr;
  const auto content = ReadCompleteReceipt(path, clock);
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->lines.size(), 2u);
  EXPECT_EQ(content->identity, IdentityOf(path));
}

// Sets the file's last-write time to a moment long past, with a fraction of a second, as a
// file written minutes ago has.
void MakeOld(const std::string& path) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec old{now.tv_sec - 600, 123456789};
  const timespec times[2] = {old, old};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(CycleWriterDetection, OnlyAFileWrittenWithinTheWindowWaitsForIt) {
  constexpr std::int64_t kMs = 1000000;
  const std::int64_t now = 1'700'000'000'123'000'000;
  EXPECT_EQ(RemainingStablePauseMs(now - 600'000 * kMs, now), 0);    // long ago
  EXPECT_EQ(RemainingStablePauseMs(now - 120 * kMs, now), 0);        // window and margin
  EXPECT_EQ(RemainingStablePauseMs(now - 70 * kMs, now), 50);        // the rest of it
  EXPECT_EQ(RemainingStablePauseMs(now, now), kStablePauseMs);       // just written
  EXPECT_EQ(RemainingStablePauseMs(now + 5000 * kMs, now), kStablePauseMs);  // future
  // Whole seconds: a file system that keeps no finer time says nothing of the last 100 ms.
  EXPECT_EQ(RemainingStablePauseMs(1'699'999'000'000'000'000, now), kStablePauseMs);

  TempFolder folder;
  const std::string path = folder / "ONLINE.TXT";
  WriteBytes(path, kFirstHalf);
  MakeOld(path);
  HookedClock clock;
  clock.realFileTimes = true;
  const auto content = ReadCompleteReceipt(path, clock);
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->lines.size(), 1u);
  EXPECT_EQ(clock.sleeps, 0);  // read at once
}

TEST(CycleSlowWriter, AnOldTimeDoesNotLetAFileStillOpenForWritingBeRead) {
  CycleFixtureBase f;
  HookedClock clock;
  SlowWriter writer(f.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(writer.Started());
  MakeOld(f.PathOf("ONLINE.TXT"));
  clock.realFileTimes = true;
  EXPECT_FALSE(ReadCompleteReceipt(f.PathOf("ONLINE.TXT"), clock).has_value());
  ExpectRunWholeOnceFinished(f, clock, writer, 3);
}

}  // namespace
}  // namespace ruvo::testing
