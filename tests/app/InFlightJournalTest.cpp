#include <gtest/gtest.h>

#include "app/InFlightJournal.h"
#include "platform/FileMask.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "platform/WriteProbe.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

const std::string kSha(64, 'a');

DeliveryId Pinned(const std::string& token, const std::string& sha = kSha) {
  return DeliveryId{token, true, FileOrigin{2049, 1234567, 1700000000123456789}, sha};
}

TEST(InFlightJournal, KeepsRecordsAcrossInstancesAndGoesWhenEmpty) {
  testing::TempFolder folder;
  const std::string path = folder.Path() + "/" + InFlightJournal::kFileName;
  {
    InFlightJournal journal(folder.Path());
    // A name with the journal's own separators and line ends in it.
    ASSERT_TRUE(journal.Put({"ONLINE;1\r\n.TXT",
                             Pinned("00000000000000a1"),
                             "2026_01_15_12_00_00",
                             FileKind::Sale,
                             RunPhase::Closing,
                             3,
                             "",
                             {}}));
    ASSERT_TRUE(journal.Put({"ONLINE2.TXT",
                             Pinned("00000000000000a2"),
                             "2026_01_15_12_00_01",
                             FileKind::Other,
                             RunPhase::Lines,
                             1,
                             "",
                             {}}));
    ASSERT_TRUE(
        journal.AddExecuted({"ONLINE3.TXT", Pinned("00000000000000a3", std::string(64, 'b'))}));
    // The same name replaces its record; an answer keeps its lines, separators and all.
    ASSERT_TRUE(journal.Put({"ONLINE2.TXT",
                             Pinned("00000000000000a2"),
                             "2026_01_15_12_00_01",
                             FileKind::Other,
                             RunPhase::Answered,
                             1,
                             "",
                             {"0 OK", "BON NEFISCAL NR. 0042", "F;1;;"}}));
  }
  InFlightJournal reloaded(folder.Path());
  ASSERT_EQ(reloaded.Records().size(), 2u);
  const std::optional<InFlightRecord> first = reloaded.Find("ONLINE;1\r\n.TXT");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->phase, RunPhase::Closing);
  EXPECT_EQ(first->port, 3);
  const std::optional<InFlightRecord> second = reloaded.Find("ONLINE2.TXT");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->phase, RunPhase::Answered);
  EXPECT_EQ(second->answer, (std::vector<std::string>{"0 OK", "BON NEFISCAL NR. 0042", "F;1;;"}));
  EXPECT_EQ(first->delivery, Pinned("00000000000000a1"));
  ASSERT_EQ(reloaded.Executed().size(), 1u);
  EXPECT_EQ(reloaded.Executed()[0].delivery, Pinned("00000000000000a3", std::string(64, 'b')));

  for (const char* mask : {"ONLINE*.TXT", "ERROR*.TXT", "log*.txt", "wait*.txt"}) {
    EXPECT_FALSE(MatchesMask(InFlightJournal::kFileName, mask)) << mask;
    EXPECT_FALSE(MatchesMask(kWriteProbeName, mask)) << mask;
  }

  reloaded.Remove("ONLINE;1\r\n.TXT");
  reloaded.Remove("ONLINE2.TXT");
  EXPECT_TRUE(FileExists(path));
  reloaded.RemoveExecuted("ONLINE3.TXT");
  EXPECT_FALSE(FileExists(path));
}

TEST(InFlightJournal, ADamagedFileLosesOnlyItsUnreadableLines) {
  std::vector<InFlightRecord> records;
  std::vector<ExecutedFile> executed;
  const std::string good = FormatJournal({{"ONLINE.TXT",
                                           Pinned("00000000000000b1"),
                                           "2026_01_15_12_00_00",
                                           FileKind::Sale,
                                           RunPhase::Lines,
                                           1,
                                           "",
                                           {}}},
                                         {{"ONLINE9.TXT", Pinned("00000000000000b2")}});
  const std::string tail = ";00000000000000b3;1;1;2;3;";
  ParseJournal(good + "F;zz;" + kSha + ";1;S;1;1;" + tail + "\nF;41;short;1;S;1;1;" + tail +
                   "\nF;41;" + kSha + ";1;S;9;1;" + tail + "\nF;41;" + kSha + ";1;Q;1;1;" + tail +
                   "\nF;41;" + kSha + ";1;S;1;;" + tail + "\nF;41;" + kSha +
                   ";1;S;1;1;;XYZ;1;1;2;3;\nF;41;" + kSha + ";1;S;4;1;" +
                   tail +  // answered, no answer
                   "\nF;41;" + kSha + ";1;S;1;1;" + tail + "zz\nX;41\n" + "X;41;" + kSha +
                   ";more\n;;;\n\n\xff\xfe",
               records, executed);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, "ONLINE.TXT");
  ASSERT_EQ(executed.size(), 1u);
  EXPECT_EQ(executed[0].name, "ONLINE9.TXT");

  // Without its first line the file is not a journal of this driver.
  ParseJournal(good.substr(good.find('\n') + 1), records, executed);
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(executed.empty());
}

// A journal an older driver left is read: its files are known by their bytes alone, and
// each gets a token of its own for its private files.
TEST(InFlightJournal, AJournalOfTheFirstLayoutIsRead) {
  std::vector<InFlightRecord> records;
  std::vector<ExecutedFile> executed;
  ParseJournal("RUVODRV JURNAL 1\nF;4f4e4c494e452e545854;" + kSha +
                   ";2026_01_15_12_00_00;S;2;1;\nX;4f4e4c494e45392e545854;" + kSha + "\n",
               records, executed);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, "ONLINE.TXT");
  EXPECT_EQ(records[0].phase, RunPhase::Closing);
  EXPECT_EQ(records[0].delivery.sha256, kSha);
  EXPECT_FALSE(records[0].delivery.pinned);
  EXPECT_EQ(records[0].delivery.origin.inode, 0u);
  ASSERT_EQ(executed.size(), 1u);
  EXPECT_EQ(executed[0].name, "ONLINE9.TXT");
  EXPECT_NE(records[0].delivery.token, executed[0].delivery.token);
  EXPECT_TRUE(PinToken(PinName(records[0].delivery.token)));
}

TEST(WriteProbe, WritesNothingThatStaysAndFailsWhereNothingCanBeWritten) {
  testing::TempFolder folder;
  EXPECT_TRUE(CanWriteFileIn(folder.Path()));
  EXPECT_EQ(ListMatching(folder.Path(), "*"), std::vector<std::string>{});
  EXPECT_FALSE(CanWriteFileIn(folder.Path() + "/missing"));
  // A probe a killed driver left behind does not stand in the way.
  testing::WriteBytes(folder.Path() + "/" + kWriteProbeName, "x");
  EXPECT_TRUE(CanWriteFileIn(folder.Path()));
  EXPECT_FALSE(FileExists(folder.Path() + "/" + kWriteProbeName));
}

}  // namespace
}  // namespace ruvo
