// The folder watch behind immediate pickup and the stop signals the headless loop sleeps
// on: both are descriptors that wake a ppoll.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

// The changes of a batch as "kind name" words, in order.
std::vector<std::string> Words(const FolderNews& news) {
  std::vector<std::string> words;
  for (const FolderChange& change : news.changes) {
    words.push_back((change.kind == FolderChangeKind::MovedIn ? "moved " : "written ") +
                    change.name);
  }
  return words;
}

TEST(FolderWatch, TellsWhetherAMatchingFileWasWrittenInPlaceOrMovedIn) {
  TempFolder folder;
  FolderWatch watch;
  ASSERT_GE(watch.Fd(), 0);
  ASSERT_TRUE(watch.Watch(folder.Path(), "ONLINE*.TXT"));
  EXPECT_FALSE(watch.TakeNews().Any());

  // Other names are no news.
  Write(folder / "ERROR.TXT", "0 OK\r\n");
  Write(folder / "ONLINE.TMP", "1;X\r\n");
  EXPECT_FALSE(watch.TakeNews().Any());
  // Created, written line by line and closed: one word for the lot, since a run of writes
  // says no more than its last; the creation alone is news already.
  const int open = ::open((folder / "ONLINE2.TXT").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(open, 0);
  EXPECT_TRUE(WaitReadable({watch.Fd()}, 1000));
  EXPECT_EQ(Words(watch.TakeNews()), std::vector<std::string>{"written ONLINE2.TXT"});
  ASSERT_EQ(::write(open, "1;X\r\n", 5), 5);
  ASSERT_EQ(::write(open, "5;1\r\n", 5), 5);
  ::close(open);
  EXPECT_EQ(Words(watch.TakeNews()), std::vector<std::string>{"written ONLINE2.TXT"});
  EXPECT_FALSE(watch.TakeNews().Any());
  // Renamed into place, in any case of the name, then written to.
  ASSERT_EQ(std::rename((folder / "ONLINE.TMP").c_str(), (folder / "online7.txt").c_str()), 0);
  Write(folder / "online7.txt", "1;Y\r\n");
  EXPECT_EQ(Words(watch.TakeNews()),
            (std::vector<std::string>{"moved online7.txt", "written online7.txt"}));

  // Unwatched, and watching another folder: the old folder's events are gone.
  Write(folder / "ONLINE3.TXT", "x");
  TempFolder other;
  ASSERT_TRUE(watch.Watch(other.Path(), "ONLINE*.TXT"));
  EXPECT_FALSE(watch.TakeNews().Any());
  Write(folder / "ONLINE4.TXT", "x");
  EXPECT_FALSE(watch.TakeNews().Any());
  watch.Unwatch();
  EXPECT_FALSE(watch.Watching());
  Write(other / "ONLINE.TXT", "x");
  EXPECT_FALSE(watch.TakeNews().Any());

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
