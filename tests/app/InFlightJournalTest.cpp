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
    ASSERT_TRUE(journal.Put({"ONLINE2.TXT", Pinned("00000000000000a2"), "2026_01_15_12_00_01",
                             FileKind::Other, RunPhase::Answered, 1, "",
                             AnswerOfLines({"0 OK", "BON NEFISCAL NR. 0042", "F;1;;"})}));
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
  EXPECT_EQ(second->answer->lines,
            (std::vector<std::string>{"0 OK", "BON NEFISCAL NR. 0042", "F;1;;"}));
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

// A journal cut short, with a byte changed or of a layout this driver does not know is
// damaged as a whole: read as fewer records it would print their sales again.
TEST(InFlightJournal, AnyDamageIsTheWholeJournalsNeverFewerRecords) {
  InFlightRecord sale{"ONLINE.TXT",
                      Pinned("00000000000000b1"),
                      "2026_01_15_12_00_00",
                      FileKind::Sale,
                      RunPhase::Closing,
                      1,
                      "",
                      {},
                      EcrMark{41, 7, 2}};
  InFlightRecord other{"ONLINE2.TXT",
                       Pinned("00000000000000b2"),
                       "2026_01_15_12_00_01",
                       FileKind::Other,
                       RunPhase::Answered,
                       1,
                       "",
                       AnswerOfLines({"0 OK"})};
  const std::string good =
      FormatJournal({sale, other}, {{"ONLINE9.TXT", Pinned("00000000000000b3")}});
  std::vector<InFlightRecord> records;
  std::vector<ExecutedFile> executed;
  ASSERT_TRUE(ParseJournal(good, records, executed));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].mark, (EcrMark{41, 7, 2}));
  EXPECT_FALSE(records[1].mark);
  ASSERT_EQ(executed.size(), 1u);

  for (std::size_t length = 0; length < good.size(); ++length) {
    EXPECT_FALSE(ParseJournal(good.substr(0, length), records, executed)) << length;
    EXPECT_TRUE(records.empty() && executed.empty());
  }
  for (std::size_t at = 0; at < good.size(); ++at) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
    EXPECT_FALSE(ParseJournal(flipped, records, executed)) << at;
  }
  EXPECT_FALSE(ParseJournal("RUVODRV JURNAL 9\n", records, executed));
  EXPECT_FALSE(ParseJournal(good.substr(good.find('\n') + 1), records, executed));
  // A line of an older layout that cannot be read is damage too.
  EXPECT_FALSE(ParseJournal("RUVODRV JURNAL 1\nF;zz;" + kSha + ";1;S;1;1;\n", records, executed));
}

// On the disk: nothing runs while the journal is damaged, the file is kept as it is and a
// copy of it aside, and a journal put right (removed by the operator) is read again.
TEST(InFlightJournal, ADamagedJournalIsKeptAndRefusesEveryChange) {
  testing::TempFolder folder;
  const std::string path = folder.Path() + "/" + InFlightJournal::kFileName;
  {
    InFlightJournal journal(folder.Path());
    ASSERT_TRUE(journal.Put({"ONLINE.TXT",
                             Pinned("00000000000000c1"),
                             "2026_01_15_12_00_00",
                             FileKind::Sale,
                             RunPhase::Lines,
                             1,
                             "",
                             {},
                             EcrMark{1, 1, 0}}));
  }
  const std::string bytes = *ReadFileBytes(path);
  testing::WriteBytes(path, bytes.substr(0, bytes.size() * 6 / 10));
  InFlightJournal journal(folder.Path());
  EXPECT_FALSE(journal.Ready());
  EXPECT_TRUE(journal.Damaged());
  EXPECT_TRUE(journal.Records().empty());
  EXPECT_FALSE(journal.Put({"ONLINE2.TXT",
                            Pinned("00000000000000c2"),
                            "2026_01_15_12_00_00",
                            FileKind::Sale,
                            RunPhase::Lines,
                            1,
                            "",
                            {}}));
  EXPECT_FALSE(journal.Flush());
  EXPECT_EQ(*ReadFileBytes(path), bytes.substr(0, bytes.size() * 6 / 10));
  ASSERT_FALSE(journal.AsideName().empty());
  EXPECT_EQ(ReadFileBytes(folder.Path() + "/" + journal.AsideName()), ReadFileBytes(path));

  DeleteFile(path);
  EXPECT_TRUE(journal.Ready());
  EXPECT_FALSE(journal.Damaged());
  // The copy stays for whoever looks into it.
  EXPECT_EQ(ListMatching(folder.Path(), kDamagedJournalPrefix + "*").size(), 1u);
}

// A journal an older driver left is read: its files are known by their bytes alone, and
// each gets a token of its own for its private files.
TEST(InFlightJournal, AJournalOfTheFirstLayoutIsRead) {
  std::vector<InFlightRecord> records;
  std::vector<ExecutedFile> executed;
  ASSERT_TRUE(ParseJournal("RUVODRV JURNAL 1\nF;4f4e4c494e452e545854;" + kSha +
                               ";2026_01_15_12_00_00;S;2;1;\nX;4f4e4c494e45392e545854;" + kSha +
                               "\n",
                           records, executed));
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

// An answer waiting to be saved keeps what it is (a refusal stays a refusal) across a
// restart; the previous layout kept only the response file's lines, and is read from them.
TEST(InFlightJournal, AnAnswerKeepsItsFieldsAndThePreviousLayoutsIsReadFromItsLines) {
  ReceiptAnswer refused;
  refused.outcome = AnswerOutcome::Refused;
  refused.code = 8046;
  refused.message = "Cod operator nenumeric : 31;X\r";
  refused.lines = {"1 ERROR", "8046;Cod operator nenumeric : 31;X"};
  refused.warnings = {"ATENTIE ! SE TERMINA HARTIA"};
  InFlightRecord record{"ONLINE.TXT",
                        Pinned("00000000000000d1"),
                        "2026_01_15_12_00_00",
                        FileKind::Other,
                        RunPhase::Answered,
                        1,
                        "",
                        refused};
  std::vector<InFlightRecord> records;
  std::vector<ExecutedFile> executed;
  ASSERT_TRUE(ParseJournal(FormatJournal({record}, {}), records, executed));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].answer, refused);

  ASSERT_TRUE(ParseJournal(*ReadFileBytes(std::string(RUVO_SOURCE_DIR) +
                                          "/tests/fuzz/corpus_journal/journal3"),
                           records, executed));
  ASSERT_EQ(records.size(), 2u);
  ASSERT_TRUE(records[1].answer);
  EXPECT_TRUE(records[1].answer->Ok());
  EXPECT_EQ(records[1].answer->fiscalNumber, "0001");
  EXPECT_EQ(records[1].answer->lines, (std::vector<std::string>{"0 OK", "BON FISCAL NR. 0001"}));
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
