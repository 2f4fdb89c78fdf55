// The folder watch behind immediate pickup and the stop signals the headless loop sleeps
// on: both are descriptors that wake a ppoll.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/FolderWatch.h"
#include "platform/StopSignals.h"
#include "platform/WaitReadable.h"

namespace ruvo::testing {
namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FolderWatch, TellsOfMatchingFilesOnceTheyAreComplete) {
  TempFolder folder;
  FolderWatch watch;
  ASSERT_GE(watch.Fd(), 0);
  ASSERT_TRUE(watch.Watch(folder.Path(), "ONLINE*.TXT"));
  EXPECT_FALSE(watch.TakeArrivals());

  // Other names, and a receipt file still open for writing, are no news.
  Write(folder / "ERROR.TXT", "0 OK\r\n");
  Write(folder / "ONLINE.TMP", "1;X\r\n");
  const int open = ::open((folder / "ONLINE2.TXT").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(open, 0);
  EXPECT_FALSE(watch.TakeArrivals());
  // Closed after writing: news, in any case of the name.
  ::close(open);
  EXPECT_TRUE(WaitReadable({watch.Fd()}, 1000));
  EXPECT_TRUE(watch.TakeArrivals());
  EXPECT_FALSE(watch.TakeArrivals());
  // Renamed into place: news.
  ASSERT_EQ(std::rename((folder / "ONLINE.TMP").c_str(), (folder / "online7.txt").c_str()), 0);
  EXPECT_TRUE(watch.TakeArrivals());

  // Unwatched, and watching another folder: the old folder's events are gone.
  Write(folder / "ONLINE3.TXT", "x");
  TempFolder other;
  ASSERT_TRUE(watch.Watch(other.Path(), "ONLINE*.TXT"));
  EXPECT_FALSE(watch.TakeArrivals());
  Write(folder / "ONLINE4.TXT", "x");
  EXPECT_FALSE(watch.TakeArrivals());
  watch.Unwatch();
  EXPECT_FALSE(watch.Watching());
  Write(other / "ONLINE.TXT", "x");
  EXPECT_FALSE(watch.TakeArrivals());

  // A folder that is not there (or is a file) cannot be watched.
  EXPECT_FALSE(watch.Watch(folder / "missing", "ONLINE*.TXT"));
  EXPECT_FALSE(watch.Watch(folder / "ERROR.TXT", "ONLINE*.TXT"));
}

TEST(StopSignals, ASignalWakesTheSleepAndIsRemembered) {
  StopSignals signals;
  EXPECT_FALSE(signals.Requested());
  EXPECT_FALSE(WaitReadable({signals.Fd()}, 0));
  ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
  EXPECT_TRUE(WaitReadable({signals.Fd()}, 5000));
  EXPECT_TRUE(signals.Requested());
  EXPECT_TRUE(signals.Requested());
}

}  // namespace
}  // namespace ruvo::testing
