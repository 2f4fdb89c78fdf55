#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "platform/FileMask.h"
#include "platform/Files.h"

namespace ruvo::testing {
namespace {

const std::string kSale = "1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n";

class CycleNeverTwice : public ::testing::Test, public CycleFixtureBase {
 protected:
  StubbornFileOperations files;
  ReceiptFileCycle cycle{state, op, clock, execution, files};
};

TEST(CycleAsideName, MatchesNoneOfTheMasksOfTheDriverOrTheSalesApplication) {
  const std::string aside = AsideName("online7.txt", "2026_01_15_12_00_00", 0);
  EXPECT_EQ(aside, "EXECUTAT_2026_01_15_12_00_00_online7.txt");
  for (const char* mask : {"ONLINE*.TXT", "ERROR*.TXT", "log*.txt", "wait*.txt"}) {
    EXPECT_FALSE(MatchesMask(aside, mask)) << mask;
    EXPECT_FALSE(MatchesMask(AsideName("ONLINE.TXT", "s", 3), mask)) << mask;
  }
}

TEST_F(CycleNeverTwice, AFileThatWillNotGoIsRenamedAsideAndRunOnce) {
  files.undeletable = {"ONLINE.TXT"};
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 1);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_EQ(ReadBytes(PathOf("EXECUTAT_2026_01_15_12_00_00_ONLINE.TXT")), kSale);
  EXPECT_EQ(Read("ERROR.TXT"), "0 OK\r\n");
  EXPECT_TRUE(state.warningBox.empty());
}

TEST_F(CycleNeverTwice, DeletionIsRetriedForTwoSecondsFirst) {
  files.undeletable = {"ONLINE.TXT"};
  Drop("ONLINE.TXT", kSale);
  cycle.PickUpNext();
  EXPECT_GT(files.deleteCalls, 10);
  // 2 seconds of retries, the pause of one second.
  EXPECT_GE(clock.MonotonicMs(), 3000);
  EXPECT_LE(clock.MonotonicMs(), 3000 + ReceiptFileGuard::kDeleteRetryPauseMs);
}

TEST_F(CycleNeverTwice, AFileThatCanNeitherGoNorMoveIsSkippedUntilItChanges) {
  files.undeletable = {"ONLINE.TXT"};
  files.renameFails = true;
  Drop("ONLINE.TXT", kSale);
  Drop("ONLINE2.TXT", kSale);
  int ticksWithFile = 0;
  for (int tick = 0; tick < 4; ++tick) ticksWithFile += cycle.PickUpNext() ? 1 : 0;
  // ONLINE.TXT once and ONLINE2.TXT once, in whatever order the folder lists them.
  EXPECT_EQ(ticksWithFile, 2);
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_TRUE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_FALSE(Exists(PathOf("ONLINE2.TXT")));
  const std::string warning =
      "Atentie ! Fisierul ONLINE.TXT a fost executat dar nu poate fi sters !";
  EXPECT_EQ(state.warningBox, std::vector<std::string>{warning});
  EXPECT_TRUE(state.windowVisible);
  EXPECT_EQ(cycle.Guard().WarningLines(), std::vector<std::string>{warning});

  // The warning survives later rebuilds of the box.
  Drop("ONLINE2.TXT", "");
  cycle.PickUpNext();
  EXPECT_EQ(state.warningBox, std::vector<std::string>{warning});

  // A new receipt under the same name is a new file.
  Drop("ONLINE.TXT", kSale + kSale);
  files.undeletable.clear();
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 3);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_TRUE(cycle.Guard().WarningLines().empty());
}

// A sales application that writes its next receipt as soon as it has read the answer
// must not lose it to the deletion of the previous one.
TEST_F(CycleNeverTwice, AReceiptWrittenOverTheOneThatRanIsKeptForTheNextTick) {
  Drop("ONLINE.TXT", kSale);
  execution.onPrepare = [&](ReceiptRun&) { Drop("ONLINE.TXT", "\r\n" + kSale); };
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ONLINE.TXT"), "\r\n" + kSale);
  execution.onPrepare = nullptr;
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
}

// A file is one delivery: a new time stamp or its own bytes written again do not make it
// another receipt, but a new file with the same bytes (the next customer's same goods) is.
TEST_F(CycleNeverTwice, ATouchOrTheSameBytesWrittenInPlaceIsTheSameReceipt) {
  Drop("ONLINE.TXT", kSale);
  execution.onPrepare = [&](ReceiptRun&) {
    SetLastWrite(PathOf("ONLINE.TXT"), LocalDateTime{2030, 1, 1, 0, 0, 0, 0});
    Drop("ONLINE.TXT", kSale);
  };
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 1);
}

TEST_F(CycleNeverTwice, ANewFileWithTheSameBytesRenamedInDuringTheRunIsKeptAndRunNext) {
  Drop("ONLINE.TXT", kSale);
  execution.onPrepare = [&](ReceiptRun&) {
    execution.onPrepare = nullptr;
    Drop("ONLINE.TMP", kSale);
    ASSERT_EQ(std::rename(PathOf("ONLINE.TMP").c_str(), PathOf("ONLINE.TXT").c_str()), 0);
  };
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(Read("ONLINE.TXT"), kSale);
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_FALSE(Exists(PathOf("ONLINE.TXT")));
  EXPECT_EQ(ListMatching(folder.Path(), ".ruvodrv*"), std::vector<std::string>{});
}

TEST_F(CycleNeverTwice, AFileThatCouldNotBeRemovedStaysSkippedAfterARestart) {
  files.undeletable = {"ONLINE.TXT"};
  files.renameFails = true;
  Drop("ONLINE.TXT", kSale);
  EXPECT_TRUE(cycle.PickUpNext());

  ReceiptFileCycle restarted{state, op, clock, execution, files};
  restarted.CleanOldFiles();
  EXPECT_FALSE(restarted.PickUpNext());
  EXPECT_EQ(execution.Executions(), 1);
  EXPECT_EQ(state.warningBox,
            std::vector<std::string>{
                "Atentie ! Fisierul ONLINE.TXT a fost executat dar nu poate fi sters !"});

  // Until its bytes change.
  Drop("ONLINE.TXT", kSale + kSale);
  files.undeletable.clear();
  EXPECT_TRUE(restarted.PickUpNext());
  EXPECT_EQ(execution.Executions(), 2);
  EXPECT_TRUE(restarted.Guard().WarningLines().empty());
}

// Clears the immutable attribute again, so the temporary folder can be removed.
class ImmutableFile {
 public:
  explicit ImmutableFile(const std::string& path) : path_(path) { ok_ = SetFlag(true); }
  ~ImmutableFile() {
    if (ok_) SetFlag(false);
  }
  ImmutableFile(const ImmutableFile&) = delete;
  ImmutableFile& operator=(const ImmutableFile&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool SetFlag(bool on) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
  }
  std::string path_;
  bool ok_ = false;
};

TEST(CycleNeverTwiceOnDisk, AnImmutableReceiptFileRunsOnce) {
  CycleFixtureBase f;
  ReceiptFileCycle cycle(f.state, f.op, f.clock, f.execution);
  f.Drop("ONLINE.TXT", kSale);
  const ImmutableFile immutable(f.PathOf("ONLINE.TXT"));
  if (!immutable.Ok()) GTEST_SKIP() << "the file system or the user cannot make files immutable";
  EXPECT_TRUE(cycle.PickUpNext());
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_FALSE(cycle.PickUpNext());
  EXPECT_EQ(f.execution.Executions(), 1);
  EXPECT_EQ(cycle.Guard().WarningLines().size(), 1u);
}

}  // namespace
}  // namespace ruvo::testing
