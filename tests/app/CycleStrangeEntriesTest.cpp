// Entries under a receipt file's name that are no regular file: links, folders, FIFOs.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "CycleTestSupport.h"
#include "app/ReceiptCycle.h"
#include "platform/Files.h"

namespace ruvo::testing {
namespace {

const std::string kSale = "1;ITEM;PCS;1;1;250;200000\r\n5;500;1\r\n";

std::string CannotOpen(const std::string& name) {
  return "1 ERROR\r\nNu pot deschide fisierului " + name + "\r\n";
}

class CycleStrangeEntries : public ::testing::Test, public CycleFixtureBase {
 protected:
  ReceiptFileCycle cycle{state, op, clock, execution};

  // Every name of the working folder that begins with prefix.
  std::vector<std::string> NamesStartingWith(const std::string& prefix) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
  }
};

TEST_F(CycleStrangeEntries, EachIsAnsweredOnceSetAsideAndNeverOpened) {
  state.settings.history = true;
  // A link to a file its user may read: a sale the sales application never sent.
  const std::string outside = folder / "outside.txt";
  WriteBytes(outside, kSale);
  ASSERT_EQ(::symlink(outside.c_str(), PathOf("ONLINE.TXT").c_str()), 0);
  ASSERT_TRUE(CreateFolders(PathOf("ONLINE2.TXT")));
  ASSERT_EQ(::mkfifo(PathOf("ONLINE3.TXT").c_str(), 0600), 0);
  Drop("ONLINE4.TXT", kSale);

  int pickups = 0;
  while (cycle.PickUpNext() && pickups < 10) ++pickups;
  EXPECT_EQ(pickups, 4);

  EXPECT_EQ(Read("ERROR.TXT"), CannotOpen("ONLINE.TXT"));
  EXPECT_EQ(Read("ERROR2.TXT"), CannotOpen("ONLINE2.TXT"));
  EXPECT_EQ(Read("ERROR3.TXT"), CannotOpen("ONLINE3.TXT"));
  EXPECT_EQ(Read("ERROR4.TXT"), "0 OK\r\n");
  EXPECT_EQ(execution.receipts, 1);  // only the real file ran
  EXPECT_EQ(ReadBytes(outside), kSale);

  // Renamed aside whole (the link stays a link), nothing left under a receipt name.
  EXPECT_TRUE(ListEntriesMatching(folder.Path(), "ONLINE*.TXT").empty());
  const std::vector<std::string> aside = NamesStartingWith("REFUZAT_");
  ASSERT_EQ(aside.size(), 3u);
  for (const std::string& name : aside) {
    struct stat st {};
    ASSERT_EQ(::lstat(PathOf(name).c_str(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode)) << name;
  }
  // No history copy of what the link pointed at.
  for (const auto& entry : std::filesystem::directory_iterator(state.historyFolder)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.rfind("ONLINE4_", 0) == 0 || name.rfind("ERROR", 0) == 0) << name;
  }
}

TEST_F(CycleStrangeEntries, OneThatCannotBeRenamedIsRememberedUntilItChanges) {
  StubbornFileOperations files;
  files.undeletable = {"ONLINE.TXT"};
  files.renameFails = true;
  ReceiptFileCycle stubborn(state, op, clock, execution, files);
  ASSERT_TRUE(CreateFolders(PathOf("ONLINE.TXT")));

  EXPECT_TRUE(stubborn.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), CannotOpen("ONLINE.TXT"));
  ASSERT_TRUE(DeleteFile(PathOf("ERROR.TXT")));
  // Not answered again, and a real file beside it still runs.
  Drop("ONLINE5.TXT", kSale);
  EXPECT_TRUE(stubborn.PickUpNext());
  EXPECT_EQ(Read("ERROR5.TXT"), "0 OK\r\n");
  EXPECT_FALSE(stubborn.PickUpNext());
  EXPECT_FALSE(FileExists(PathOf("ERROR.TXT")));

  // Something else in its place is new, and answered.
  ASSERT_EQ(::rmdir(PathOf("ONLINE.TXT").c_str()), 0);
  ASSERT_EQ(::symlink("/etc/passwd", PathOf("ONLINE.TXT").c_str()), 0);
  EXPECT_TRUE(stubborn.PickUpNext());
  EXPECT_EQ(Read("ERROR.TXT"), CannotOpen("ONLINE.TXT"));
  EXPECT_EQ(execution.receipts, 1);
}

}  // namespace
}  // namespace ruvo::testing
