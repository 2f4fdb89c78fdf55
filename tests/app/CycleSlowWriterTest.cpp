#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "CycleTestSupport.h"
#include "app/PickupReadiness.h"
#include "app/ReceiptFileReader.h"
#include "platform/Files.h"

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

// Sets the file's last-write time to secondsAgo before now, with a fraction of a second, as
// a file written then has.
void MakeOld(const std::string& path, int secondsAgo = 600) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec old{now.tv_sec - secondsAgo, 123456789};
  const timespec times[2] = {old, old};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void ExpectRanWhole(CycleFixtureBase& f) {
  ASSERT_EQ(f.execution.executedLines.size(), 1u);
  EXPECT_EQ(f.execution.executedLines[0],
            (std::vector<std::string>{"1;ITEM;PCS;1;1;250;200000", "5;500;1"}));
  EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_FALSE(Exists(f.PathOf("ONLINE.TXT")));
}

TEST(CycleSlowWriter, AFileWrittenInPlaceIsReadOnceClosedAndQuiet) {
  CycleFixtureBase f;
  f.state.settings.pauzaFisierScris = 500;
  HookedClock clock;
  ReceiptFileCycle cycle(f.state, f.op, clock, f.execution);
  SlowWriter writer(f.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(writer.Started());
  // Held open for writing: however long it waits, it is not read.
  for (int k = 0; k < 8; ++k) {
    EXPECT_FALSE(cycle.PickUpNext());
    clock.SleepMs(1000);
  }
  writer.Finish();
  // Changed since the last look: the quiet time starts again.
  EXPECT_FALSE(cycle.PickUpNext());
  ASSERT_TRUE(cycle.NextLookMs().has_value());
  EXPECT_EQ(*cycle.NextLookMs() - clock.MonotonicMs(), 500);
  clock.SleepMs(499);
  EXPECT_FALSE(cycle.PickUpNext());
  clock.SleepMs(1);
  EXPECT_TRUE(cycle.PickUpNext());
  ExpectRanWhole(f);
}

// The sales application writes the same receipt again into its file late in the run
// (truncated, the same bytes a moment later): still the same delivery, answered and
// removed once, never run a second time.
TEST(CycleSlowWriter, TheSameBytesWrittenAgainInPlaceDuringTheRunAreTheSameReceipt) {
  CycleFixtureBase f;
  HookedClock clock;
  ReceiptFileCycle cycle(f.state, f.op, clock, f.execution);
  const std::string sale = "1;PAINE;BUC;1;1;250;100000\r\n5;250;1\r\n";
  f.Drop("ONLINE.TXT", sale);
  f.execution.onExecute = [&](ReceiptRun&) {
    const int fd = ::open(f.PathOf("ONLINE.TXT").c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const int from = clock.sleeps;
    clock.onSleep = [&, from](int sleeps) {
      if (sleeps != from + 3) return;
      const int again = ::open(f.PathOf("ONLINE.TXT").c_str(), O_WRONLY | O_APPEND);
      ASSERT_GE(again, 0);
      ASSERT_EQ(::write(again, sale.data(), sale.size()), static_cast<ssize_t>(sale.size()));
      ::close(again);
    };
  };
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(f.Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_FALSE(ruvo::FileExists(f.PathOf("ONLINE.TXT")));
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_EQ(f.execution.Executions(), 1);
}

TEST(CycleSlowWriter, AnOldTimeDoesNotLetAFileStillOpenForWritingBeRead) {
  CycleFixtureBase f;
  HookedClock clock;
  clock.realFileTimes = true;
  ReceiptFileCycle cycle(f.state, f.op, clock, f.execution);
  SlowWriter writer(f.PathOf("ONLINE.TXT"));
  ASSERT_TRUE(writer.Started());
  MakeOld(f.PathOf("ONLINE.TXT"));
  EXPECT_FALSE(ReadCompleteReceipt(f.PathOf("ONLINE.TXT")).has_value());
  EXPECT_FALSE(cycle.PickUpNext());
  writer.Finish();
  EXPECT_TRUE(cycle.PickUpNext());
  ExpectRanWhole(f);
}

TEST(CycleWriterDetection, SeesWritersButNotReaders) {
  TempFolder folder;
  const std::string path = folder / "ONLINE.TXT";
  WriteBytes(path, kFirstHalf);
  // The kernel's answer (a lease) and the search of /proc, which stands in where no lease
  // can be taken, agree.
  auto writing = [&] {
    const bool byLease = IsOpenForWriting(path);
    EXPECT_EQ(byLease, IsOpenForWritingPerProc(path));
    return byLease;
  };
  EXPECT_FALSE(writing());
  const int reader = ::open(path.c_str(), O_RDONLY);
  EXPECT_FALSE(writing());
  const int writer = ::open(path.c_str(), O_RDWR);
  EXPECT_TRUE(writing());
  const int appender = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ::close(writer);
  EXPECT_TRUE(writing());
  EXPECT_FALSE(ReadCompleteReceipt(path).has_value());
  ::close(appender);
  EXPECT_FALSE(writing());
  const auto content = ReadCompleteReceipt(path);
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->lines, std::vector<std::string>{"1;ITEM;PCS;1;1;250;200000"});
  EXPECT_EQ(content->identity, IdentityOf(path));
  ::close(reader);
  EXPECT_FALSE(IsOpenForWriting(folder / "missing.txt"));
  EXPECT_FALSE(IsOpenForWritingPerProc(folder / "missing.txt"));
}

// The readiness decision on its own, on a real folder.
struct Readiness : ::testing::Test {
  std::string Path() const { return folder / "ONLINE.TXT"; }
  std::vector<std::string> Listed() const { return {"ONLINE.TXT"}; }
  bool Look(std::int64_t quietMs = 500) {
    readiness.BeginLook(Listed(), clock.FileTimeNowNs());
    return readiness.Ready(folder.Path() + "/", "ONLINE.TXT", quietMs);
  }
  std::int64_t WaitLeft() const { return *readiness.NextLookMs() - clock.MonotonicMs(); }

  TempFolder folder;
  HookedClock clock;
  PickupReadiness readiness{clock};
};

TEST_F(Readiness, WithoutFileTimesAWrittenFileWaitsFromItsLastSeenChange) {
  WriteBytes(Path(), kFirstHalf);
  EXPECT_FALSE(Look());
  EXPECT_EQ(WaitLeft(), 500);
  clock.SleepMs(300);
  WriteBytes(Path(), kFirstHalf + kSecondHalf);  // another line: the quiet time starts again
  EXPECT_FALSE(Look());
  EXPECT_EQ(WaitLeft(), 500);
  clock.SleepMs(499);
  EXPECT_FALSE(Look());
  EXPECT_EQ(WaitLeft(), 1);
  clock.SleepMs(1);
  EXPECT_TRUE(Look());
  EXPECT_FALSE(readiness.NextLookMs().has_value());
  // No quiet time at all: closed is enough.
  PickupReadiness eager{clock};
  eager.BeginLook(Listed(), 0);
  EXPECT_TRUE(eager.Ready(folder.Path(), "ONLINE.TXT", 0));
}

// Sets the file's last-write time to ageMs before now.
void SetAgeMs(const std::string& path, std::int64_t ageMs) {
  const std::int64_t ns = SystemClock().FileTimeNowNs() - ageMs * 1000000;
  const timespec at{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  const timespec times[2] = {at, at};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The file's times come from the writer's clock (a file server's may lag the driver's by
// seconds): however old or new they say it is, the quiet time counts on the driver's own
// clock from when it first saw the file, or saw it change.
TEST_F(Readiness, FileTimesNeitherShortenNorLengthenTheQuietTime) {
  clock.realFileTimes = true;
  for (const std::int64_t ageMs : {600LL * 1000, 2'000LL, -5'000LL}) {
    SCOPED_TRACE(ageMs);
    WriteBytes(Path(), kFirstHalf);
    SetAgeMs(Path(), ageMs);
    PickupReadiness fresh{clock};
    fresh.BeginLook({}, clock.FileTimeNowNs());
    fresh.BeginLook(Listed(), clock.FileTimeNowNs());
    EXPECT_FALSE(fresh.Ready(folder.Path(), "ONLINE.TXT", 500));
    ASSERT_TRUE(fresh.NextLookMs().has_value());
    EXPECT_EQ(*fresh.NextLookMs() - clock.MonotonicMs(), 500);
    clock.SleepMs(500);
    fresh.BeginLook(Listed(), clock.FileTimeNowNs());
    EXPECT_TRUE(fresh.Ready(folder.Path(), "ONLINE.TXT", 500));
  }
  EXPECT_TRUE(CoarseOrFutureTime(2'000'000'000'000'000'000, 1'700'000'000'000'000'000));
  EXPECT_FALSE(CoarseOrFutureTime(1'600'000'000'000'000'001, 1'700'000'000'000'000'000));
}

TEST_F(Readiness, TheWatchTellsARenameFromAWriteInPlace) {
  WriteBytes(Path(), kFirstHalf + kSecondHalf);
  readiness.Heard({{{"ONLINE.TXT", FolderChangeKind::MovedIn}}, false}, folder.Path());
  EXPECT_TRUE(Look());  // whole the moment it appeared
  // Written to after it came: a writer in place after all.
  readiness.Heard({{{"ONLINE.TXT", FolderChangeKind::Written}}, false}, folder.Path());
  EXPECT_FALSE(Look());
  EXPECT_EQ(WaitLeft(), 500);
  // A rename over it makes it whole again; changed behind the watch's back, it waits.
  readiness.Heard({{{"ONLINE.TXT", FolderChangeKind::MovedIn}}, false}, folder.Path());
  EXPECT_TRUE(Look());
  WriteBytes(Path(), kFirstHalf);
  EXPECT_FALSE(Look());
  // Lost events: every known file counts as written just now.
  clock.SleepMs(500);
  readiness.Heard({{}, true}, folder.Path());
  EXPECT_FALSE(Look());
  EXPECT_EQ(WaitLeft(), 500);
  // A renamed file still held open for writing waits for its writer.
  const int writer = ::open(Path().c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(writer, 0);
  readiness.Heard({{{"ONLINE.TXT", FolderChangeKind::MovedIn}}, false}, folder.Path());
  EXPECT_FALSE(Look());
  EXPECT_FALSE(readiness.NextLookMs().has_value());
  ::close(writer);
  EXPECT_TRUE(Look());
}

TEST_F(Readiness, AFileFoundWholeIsReadWithoutAnotherSearchForWritersUnlessItChanged) {
  WriteBytes(Path(), kFirstHalf);
  EXPECT_TRUE(Look(0));
  EXPECT_FALSE(readiness.TakeFoundWhole("ONLINE2.TXT"));  // asked once, for that file only
  EXPECT_FALSE(readiness.TakeFoundWhole("ONLINE.TXT"));
  EXPECT_TRUE(Look(0));
  EXPECT_TRUE(readiness.TakeFoundWhole("ONLINE.TXT"));
  EXPECT_FALSE(readiness.TakeFoundWhole("ONLINE.TXT"));
  EXPECT_TRUE(Look(0));
  WriteBytes(Path(), kFirstHalf + kSecondHalf);
  EXPECT_FALSE(readiness.TakeFoundWhole("ONLINE.TXT"));
}

TEST_F(Readiness, AnEntryThatIsNoFileIsReadyToBeRefusedAndAMissingOneIsNot) {
  EXPECT_FALSE(Look());
  ASSERT_EQ(::symlink("/etc/passwd", Path().c_str()), 0);
  EXPECT_TRUE(Look());
}

}  // namespace
}  // namespace ruvo::testing
