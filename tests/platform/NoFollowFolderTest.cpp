// A folder opened without following a link in its place.
#include <filesystem>

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/Files.h"
#include "platform/NoFollowFolder.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

// What is deleted is what was listed in the folder that was opened, even when the name
// of the folder points somewhere else by the time the files go.
TEST(NoFollowFolder, StaysInTheFolderItOpened) {
  TempFolder first;
  TempFolder second;
  const std::string named = first / "sub";
  std::filesystem::create_directory(named);
  WriteBytes(named + "/Log_1.TXT", "a");
  WriteBytes(second / "Log_1.TXT", "b");
  std::filesystem::create_symlink(second / "Log_2.TXT", named + "/Log_2.TXT");

  const NoFollowFolder folder(named);
  ASSERT_TRUE(folder.IsOpen());
  EXPECT_EQ(folder.ListMatching("log*.txt"), std::vector<std::string>{"Log_1.TXT"});
  std::filesystem::rename(named, first / "moved");
  std::filesystem::create_directory_symlink(second.Path(), named);
  EXPECT_TRUE(folder.Delete("Log_1.TXT"));
  EXPECT_FALSE(FileExists(first / "moved/Log_1.TXT"));
  EXPECT_TRUE(FileExists(second / "Log_1.TXT"));

  const NoFollowFolder link(named);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(link.IsLink());
  EXPECT_TRUE(link.ListMatching("*").empty());
  EXPECT_FALSE(link.Delete("Log_1.TXT"));
  EXPECT_TRUE(FileExists(second / "Log_1.TXT"));
}

}  // namespace
}  // namespace ruvo
