// First come, first printed: waiting receipt files are taken in the order they arrived,
// not in the order the folder lists them.
#include "app/ArrivalOrder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/TempFolder.h"

namespace ruvo {
namespace {

using Names = std::vector<std::string>;

class ArrivalOrderTest : public ::testing::Test {
 protected:
  void Drop(const std::string& name) {
    std::ofstream(folder / name) << "1;A;U;1;1;100;100000\r\n";
    // A step of the file system's clock, so that change times differ.
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  static FolderNews News(const Names& names) {
    FolderNews news;
    for (const std::string& name : names) news.changes.push_back({name, FolderChangeKind::MovedIn});
    return news;
  }

  testing::TempFolder folder;
  ArrivalOrder order;
};

TEST_F(ArrivalOrderTest, FilesFoundByALookGoByChangeTimeThenName) {
  Drop("ONLINE_Z.TXT");
  Drop("ONLINE.TXT");
  Drop("ONLINE_A.TXT");
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE.TXT", "ONLINE_A.TXT", "ONLINE_Z.TXT"}),
            (Names{"ONLINE_Z.TXT", "ONLINE.TXT", "ONLINE_A.TXT"}));
  // A name keeps its place from one look to the next, whatever the listing says.
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_A.TXT", "ONLINE.TXT", "ONLINE_Z.TXT"}),
            (Names{"ONLINE_Z.TXT", "ONLINE.TXT", "ONLINE_A.TXT"}));
}

TEST_F(ArrivalOrderTest, TheWatchsEventsDecideAndLaterFindsGoBehind) {
  Drop("ONLINE_B.TXT");
  Drop("ONLINE_A.TXT");
  order.Heard(News({"ONLINE_A.TXT", "ONLINE_B.TXT"}), folder.Path());
  Drop("ONLINE_0.TXT");  // no event told of it: found by the look, after those heard
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_0.TXT", "ONLINE_B.TXT", "ONLINE_A.TXT"}),
            (Names{"ONLINE_A.TXT", "ONLINE_B.TXT", "ONLINE_0.TXT"}));
  // Written on in place, a file keeps the place of its creation.
  order.Heard(News({"ONLINE_A.TXT"}), folder.Path());
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_0.TXT", "ONLINE_B.TXT", "ONLINE_A.TXT"}).front(),
            "ONLINE_A.TXT");
}

TEST_F(ArrivalOrderTest, TheNextFileOfAChannelIsANewArrival) {
  Drop("ONLINE_A.TXT");
  Drop("ONLINE_B.TXT");
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_A.TXT", "ONLINE_B.TXT"}).front(), "ONLINE_A.TXT");
  // A's file was taken and the till renamed its next one into place before the next look.
  Drop("ONLINE_A.TXT.tmp");
  std::rename((folder / "ONLINE_A.TXT.tmp").c_str(), (folder / "ONLINE_A.TXT").c_str());
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_A.TXT", "ONLINE_B.TXT"}),
            (Names{"ONLINE_B.TXT", "ONLINE_A.TXT"}));
  // A name no longer listed is forgotten.
  EXPECT_EQ(order.Order(folder.Path(), {"ONLINE_B.TXT"}), Names{"ONLINE_B.TXT"});
}

}  // namespace
}  // namespace ruvo
