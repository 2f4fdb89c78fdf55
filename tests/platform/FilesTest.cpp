#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/AtomicFile.h"
#include "platform/FileMask.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace ruvo {
namespace {

using ruvo::testing::TempFolder;

std::vector<std::string> AllEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileMask, WildcardsAndCase) {
  EXPECT_TRUE(MatchesMask("ONLINE.TXT", "ONLINE*.TXT"));
  EXPECT_TRUE(MatchesMask("online7.txt", "ONLINE*.TXT"));
  EXPECT_TRUE(MatchesMask("ONLINE_POS1.TXT", "ONLINE*.TXT"));
  EXPECT_TRUE(MatchesMask("Log_2026_01_15.TXT", "log*.txt"));
  EXPECT_TRUE(MatchesMask("ERROR12.TXT", "ERROR??.TXT"));
  EXPECT_FALSE(MatchesMask("ERROR1.TXT", "ERROR??.TXT"));
  EXPECT_FALSE(MatchesMask("ONLINE.TXT.bak", "ONLINE*.TXT"));
  EXPECT_FALSE(MatchesMask("XONLINE.TXT", "ONLINE*.TXT"));
  EXPECT_FALSE(MatchesMask("ONLINE.TX", "ONLINE*.TXT"));
  EXPECT_TRUE(MatchesMask("a.txt.txt", "*.txt"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_FALSE(MatchesMask("", "?"));
  EXPECT_FALSE(MatchesMask("\x96.TXT", "\x86.TXT")) << "only ASCII letters fold";
  // Back-tracking masks stay fast.
  EXPECT_FALSE(MatchesMask(std::string(5000, 'a'), "*a*a*a*a*a*a*b"));
}

TEST(FileMask, TemporaryNamesNeverLookLikeDriverFiles) {
  for (const char* target :
       {"/w/ONLINE.TXT", "/w/ERROR7.TXT", "/w/Log_x.TXT", "/w/log.txt", "ONLINE.TXT"}) {
    const std::string temporary = TemporaryNameFor(target, 42);
    const std::string name = temporary.substr(temporary.find_last_of('/') + 1);
    for (const char* mask : {"ONLINE*.TXT", "ERROR*.TXT", "log*.txt", "*.TXT", "wait*.txt"}) {
      EXPECT_FALSE(MatchesMask(name, mask)) << name << " vs " << mask;
    }
  }
  EXPECT_EQ(TemporaryNameFor("ONLINE.TXT", 1).find('/'), std::string::npos);
}

TEST(Files, FindsOnlyRegularFilesMatchingTheMask) {
  TempFolder folder;
  ASSERT_TRUE(CreateFolders(folder / "ONLINE1.TXT"));  // a folder is never a receipt file
  EXPECT_EQ(FindFirstMatching(folder.Path(), "ONLINE*.TXT"), std::nullopt);
  ASSERT_TRUE(WriteLines(folder / "online7.txt", {"1;x"}));
  ASSERT_TRUE(WriteLines(folder / "ERROR7.TXT", {"0 OK"}));
  EXPECT_EQ(FindFirstMatching(folder.Path(), "ONLINE*.TXT"), "online7.txt");
  EXPECT_EQ(FindFirstMatching(folder.Path() + "/", "error*.txt"), "ERROR7.TXT");
  ASSERT_TRUE(WriteLines(folder / "ONLINE.TXT", {}));
  std::vector<std::string> all = ListMatching(folder.Path(), "ONLINE*.TXT");
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{"ONLINE.TXT", "online7.txt"}));
  EXPECT_TRUE(ListMatching(folder / "missing", "*").empty());
  EXPECT_EQ(FindFirstMatching(folder / "missing", "*"), std::nullopt);
}

TEST(Files, LinesSplitAtEveryKindOfLineEnd) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitLines("\n\r"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitLines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines(std::string("x\0y\x96", 4)),
            (std::vector<std::string>{std::string("x\0y\x96", 4)}));

  TempFolder folder;
  const std::string path = folder / "ONLINE.TXT";
  ASSERT_TRUE(WriteFileAtomic(path, "1;\"PAINE\"\r\n2;x\n\n3;y"));
  EXPECT_EQ(ReadLines(path), (std::vector<std::string>{"1;\"PAINE\"", "2;x", "", "3;y"}));
  ASSERT_TRUE(WriteFileAtomic(path, ""));
  ASSERT_TRUE(ReadLines(path).has_value());
  EXPECT_TRUE(ReadLines(path)->empty());
  EXPECT_EQ(ReadLines(folder / "missing.txt"), std::nullopt);
  EXPECT_EQ(ReadLines(folder.Path()), std::nullopt);

  // A FIFO where a file is expected must fail at once, not hang the driver.
  ASSERT_EQ(::mkfifo((folder / "fifo.txt").c_str(), 0600), 0);
  EXPECT_EQ(ReadLines(folder / "fifo.txt"), std::nullopt);
}

TEST(Files, WrittenLinesEndInCrLfAndCopyDeleteWork) {
  TempFolder folder;
  const std::string path = folder / "ERROR.TXT";
  ASSERT_TRUE(WriteLines(path, {"1 ERROR", "8005;Fisierul de intrare nu contine date"}));
  EXPECT_EQ(ReadFileBytes(path), "1 ERROR\r\n8005;Fisierul de intrare nu contine date\r\n");
  ASSERT_TRUE(WriteLines(path, {}));
  EXPECT_EQ(ReadFileBytes(path), "");

  ASSERT_TRUE(WriteFileAtomic(path, std::string("a\0\x96\r\n", 5)));
  ASSERT_TRUE(CopyFile(path, folder / "copy.txt"));
  EXPECT_EQ(ReadFileBytes(folder / "copy.txt"), std::string("a\0\x96\r\n", 5));
  EXPECT_FALSE(CopyFile(folder / "missing", folder / "copy2.txt"));
  EXPECT_FALSE(FileExists(folder / "copy2.txt"));

  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(DeleteFile(path)) << "already gone counts as deleted";
  ASSERT_TRUE(CreateFolders(folder / "sub"));
  EXPECT_FALSE(DeleteFile(folder / "sub"));
}

TEST(Files, FoldersAreCreatedAndFoundWithoutCase) {
  TempFolder folder;
  EXPECT_TRUE(CreateFolders(folder / "History/2026/01"));
  EXPECT_TRUE(CreateFolders(folder / "History/2026/01"));
  EXPECT_TRUE(FolderExists(folder / "History/2026/01"));
  ASSERT_TRUE(WriteLines(folder / "plain", {}));
  EXPECT_FALSE(CreateFolders(folder / "plain/sub"));

  ASSERT_TRUE(CreateFolders(folder / "Log"));
  EXPECT_EQ(ResolveSubfolder(folder.Path(), "log"), folder / "Log");
  EXPECT_EQ(ResolveSubfolder(folder.Path(), "HISTORY"), folder / "History");
  EXPECT_EQ(ResolveSubfolder(folder.Path(), "Plain"), std::nullopt) << "a file is no folder";
  EXPECT_EQ(ResolveSubfolder(folder.Path(), "ExportXML"), std::nullopt);
}

TEST(Files, ExecutableFolderHoldsThisTest) {
  const std::optional<std::string> folder = ExecutableFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(folder->back(), '/');
  EXPECT_TRUE(FileExists(*folder + "test_platform"));
}

TEST(Files, LastWriteTimeIsLocalTime) {
  TempFolder folder;
  const std::string path = folder / "log1.txt";
  ASSERT_TRUE(WriteLines(path, {"x"}));
  std::tm tm{};
  tm.tm_year = 2025 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 24;
  tm.tm_hour = 13;
  tm.tm_min = 5;
  tm.tm_sec = 9;
  tm.tm_isdst = -1;
  const timespec times[2] = {{::mktime(&tm), 250000000}, {::mktime(&tm), 250000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  const std::optional<LocalDateTime> dt = LastWriteTime(path);
  ASSERT_TRUE(dt.has_value());
  EXPECT_EQ(dt->year, 2025);
  EXPECT_EQ(dt->month, 12);
  EXPECT_EQ(dt->day, 24);
  EXPECT_EQ(dt->hour, 13);
  EXPECT_EQ(dt->minute, 5);
  EXPECT_EQ(dt->second, 9);
  EXPECT_EQ(dt->millisecond, 250);
  EXPECT_EQ(LastWriteTime(folder / "missing"), std::nullopt);
}

TEST(AtomicWrite, LeavesOnlyTheTargetBehind) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileAtomic(folder / "RUVODRV.INFO", "[INFO]\r\n"));
  ASSERT_TRUE(WriteFileAtomic(folder / "RUVODRV.INFO", "[INFO]\r\nStare=STOP PROCESARE\r\n"));
  EXPECT_EQ(AllEntries(folder.Path()), std::vector<std::string>{"RUVODRV.INFO"});
  EXPECT_EQ(ReadFileBytes(folder / "RUVODRV.INFO"), "[INFO]\r\nStare=STOP PROCESARE\r\n");
}

TEST(AtomicWrite, FailureKeepsTheOldStateAndNoTemporaryFile) {
  TempFolder folder;
  // The rename cannot replace a folder: the write fails after the data was written.
  ASSERT_TRUE(CreateFolders(folder / "ERROR.TXT"));
  ASSERT_TRUE(WriteLines(folder / "ERROR.TXT/keep", {"k"}));
  EXPECT_FALSE(WriteLines(folder / "ERROR.TXT", {"0 OK"}));
  EXPECT_EQ(AllEntries(folder.Path()), std::vector<std::string>{"ERROR.TXT"});
  EXPECT_EQ(ReadLines(folder / "ERROR.TXT/keep"), std::vector<std::string>{"k"});

  EXPECT_FALSE(WriteLines(folder / "missing/ERROR.TXT", {"0 OK"}));
  EXPECT_FALSE(WriteFileAtomic("", "x"));
  EXPECT_FALSE(WriteFileAtomic(folder.Path() + "/", "x"));
}

TEST(AtomicWrite, ReplacedFileKeepsItsPermissions) {
  TempFolder folder;
  const std::string path = folder / "XRUVODRV.INI";
  ASSERT_TRUE(WriteFileAtomic(path, "a"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(path, "b"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(NoLinksFollowed, ALinkIsReplacedNeverWrittenThroughAndNeverRead) {
  TempFolder folder;
  ASSERT_TRUE(CreateFolders(folder / "etc"));
  const std::string target = folder / "etc/passwd";
  ASSERT_TRUE(WriteFileAtomic(target, "root:x:0:0\n"));
  for (const char* name : {"ERROR.TXT", "RUVODRV.INFO", "XRUVODRV.INI", "ONLINE.TXT"}) {
    ASSERT_EQ(::symlink(target.c_str(), (folder / name).c_str()), 0);
  }
  ASSERT_EQ(::symlink((folder / "nowhere").c_str(), (folder / "ONLINE2.TXT").c_str()), 0);

  EXPECT_EQ(ReadFileBytes(folder / "ONLINE.TXT"), std::nullopt);
  EXPECT_EQ(ReadLines(folder / "ONLINE.TXT"), std::nullopt);
  EXPECT_FALSE(CopyFile(folder / "ONLINE.TXT", folder / "copy"));
  IniFile settings;
  EXPECT_FALSE(settings.Load(folder / "XRUVODRV.INI"));
  // Listed as entries, but never as files; a dangling link exists as an entry.
  EXPECT_EQ(ListMatching(folder.Path(), "ONLINE*.TXT"), std::vector<std::string>{});
  EXPECT_EQ(ListEntriesMatching(folder.Path(), "ONLINE*.TXT").size(), 2u);
  EXPECT_TRUE(FileExists(folder / "ONLINE2.TXT"));
  EXPECT_FALSE(IsRegularFile(folder / "ONLINE2.TXT"));

  ASSERT_TRUE(WriteLines(folder / "ERROR.TXT", {"0 OK"}));
  EXPECT_TRUE(IsRegularFile(folder / "ERROR.TXT"));
  EXPECT_EQ(ReadFileBytes(folder / "ERROR.TXT"), "0 OK\r\n");
  EXPECT_EQ(ReadFileBytes(target), "root:x:0:0\n");
}

TEST(NoLinksFollowed, AFifoIsNotWaitedFor) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo((folder / "ONLINE.TXT").c_str(), 0600), 0);
  EXPECT_EQ(ReadFileBytes(folder / "ONLINE.TXT"), std::nullopt);
  EXPECT_EQ(ListMatching(folder.Path(), "ONLINE*.TXT"), std::vector<std::string>{});
}

TEST(TemporaryFiles, LeftoversOfAKilledWriterAreRemovedAndNothingElse) {
  TempFolder folder;
  const std::string target = folder / "keep.txt";
  ASSERT_TRUE(WriteFileAtomic(target, "kept"));
  const std::string leftover = TemporaryNameFor(folder / "ERROR.TXT", 7);
  ASSERT_TRUE(WriteFileAtomic(leftover, "half"));
  ASSERT_EQ(::symlink(target.c_str(), (folder / ".~tmp-1-2-x.part").c_str()), 0);
  ASSERT_TRUE(CreateFolders(folder / ".~tmp-1-3-folder.part"));
  ASSERT_TRUE(WriteFileAtomic(folder / ".~tmp-.txt", "not ours"));
  ASSERT_TRUE(WriteFileAtomic(folder / "ERROR.TXT", "0 OK"));

  EXPECT_EQ(RemoveTemporaryFiles(folder.Path()), 2);
  EXPECT_EQ(AllEntries(folder.Path()),
            (std::vector<std::string>{".~tmp-.txt", ".~tmp-1-3-folder.part", "ERROR.TXT",
                                      "keep.txt"}));
  EXPECT_EQ(ReadFileBytes(target), "kept");
  EXPECT_EQ(RemoveTemporaryFiles(folder / "missing"), 0);
}

TEST(AtomicWrite, ReaderNeverSeesHalfAFile) {
  TempFolder folder;
  const std::string path = folder / "ERROR.TXT";
  const std::size_t size = 256 * 1024;
  ASSERT_TRUE(WriteFileAtomic(path, std::string(size, 'A')));

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    while (!done) {
      const std::optional<std::string> bytes = ReadFileBytes(path);
      ++reads;
      if (!bytes || bytes->size() != size ||
          bytes->find_first_not_of((*bytes)[0]) != std::string::npos) {
        ++torn;
      }
    }
  });
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(WriteFileAtomic(path, std::string(size, i % 2 == 0 ? 'B' : 'A')));
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_EQ(AllEntries(folder.Path()), std::vector<std::string>{"ERROR.TXT"});
}

}  // namespace
}  // namespace ruvo
