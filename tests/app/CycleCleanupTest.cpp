#include <gtest/gtest.h>

#include <filesystem>

#include "CycleTestSupport.h"
#include "app/CleanOldFiles.h"
#include "app/InFlightJournal.h"

namespace ruvo::testing {
namespace {

LocalDateTime At(int year, int month, int day, int hour, int minute = 0, int second = 0,
                 int millisecond = 0) {
  return LocalDateTime{year, month, day, hour, minute, second, millisecond};
}

// The virtual clock starts on 2026-01-15 at 12:00.
const LocalDateTime kNow = At(2026, 1, 15, 12);

TEST(CycleFileAge, CountsWholeDaysBeforeTodaysMidnight) {
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 15, 11)), 0);  // this morning
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 15, 18)), 0);  // later today
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 14, 12)), 0);  // yesterday noon
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 14, 0)), 1);   // yesterday at midnight
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 13, 12)), 1);  // the day before yesterday
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 13, 0)), 2);
  EXPECT_EQ(AgeInWholeDays(kNow, At(2026, 1, 12, 23, 59, 59, 999)), 2);
  EXPECT_EQ(AgeInWholeDays(kNow, At(2025, 12, 31, 12)), 14);  // across a year
  EXPECT_EQ(AgeInWholeDays(kNow, At(2027, 1, 1, 0)), 0);      // from the future
}

class CycleCleanup : public ::testing::Test, public CycleFixtureBase {
 protected:
  CycleCleanup() {
    state.settings.stergereFisiereVechi = true;
    std::filesystem::create_directories(folder.Path() + "/LOG");
    std::filesystem::create_directories(folder.Path() + "/history");
  }
  // A file in the working folder (or a subfolder) written at the given time.
  std::string Put(const std::string& relative, const LocalDateTime& written) {
    const std::string path = PathOf(relative);
    WriteBytes(path, "x");
    SetLastWrite(path, written);
    return path;
  }
  void Clean() { CleanOldFiles(state, clock, files); }
  PosixFileOperations files;
};

TEST_F(CycleCleanup, MarginZeroKeepsYesterdayAndDeletesTheDayBefore) {
  state.settings.marjaZileStergere = 0;
  const std::string yesterday = Put("history/ONLINE_a.TXT", At(2026, 1, 14, 12));
  const std::string dayBefore = Put("history/ONLINE_b.TXT", At(2026, 1, 13, 12));
  Clean();
  EXPECT_TRUE(Exists(yesterday));
  EXPECT_FALSE(Exists(dayBefore));
}

TEST_F(CycleCleanup, MarginOneKeepsTwoDaysAgoAtNoon) {
  state.settings.marjaZileStergere = 1;
  const std::string twoDays = Put("history/ERROR_a.TXT", At(2026, 1, 13, 12));
  const std::string threeDays = Put("history/ERROR_b.TXT", At(2026, 1, 12, 12));
  Clean();
  EXPECT_TRUE(Exists(twoDays));
  EXPECT_FALSE(Exists(threeDays));
}

TEST_F(CycleCleanup, AFileOfExactlyTheMarginStays) {
  state.settings.marjaZileStergere = 2;
  const std::string exact = Put("LOG/Log_a.TXT", At(2026, 1, 13, 0));
  const std::string older = Put("LOG/Log_b.TXT", At(2026, 1, 12, 0));
  Clean();
  EXPECT_TRUE(Exists(exact));
  EXPECT_FALSE(Exists(older));
}

TEST_F(CycleCleanup, OnlyTheLogAndCopyMasksOfEachFolderAreTouched) {
  state.settings.marjaZileStergere = 1;
  const LocalDateTime old = At(2025, 6, 1, 12);
  const std::string workLog = Put("log_x.txt", old);
  const std::string workReceipt = Put("ONLINE.TXT", old);  // waiting: never aged out
  const std::string workResponse = Put("ERROR.TXT", old);
  const std::string logLog = Put("LOG/Log_1.TXT", old);
  const std::string logOther = Put("LOG/ONLINE_1.TXT", old);  // not a log: stays
  const std::string histLog = Put("history/Log_1.TXT", old);
  const std::string histReceipt = Put("history/online_1.txt", old);
  const std::string histResponse = Put("history/ERROR_1.TXT", old);
  const std::string histOther = Put("history/notes.txt", old);
  Clean();
  EXPECT_FALSE(Exists(workLog));
  EXPECT_TRUE(Exists(workReceipt));
  EXPECT_TRUE(Exists(workResponse));
  EXPECT_FALSE(Exists(logLog));
  EXPECT_TRUE(Exists(logOther));
  EXPECT_FALSE(Exists(histLog));
  EXPECT_FALSE(Exists(histReceipt));
  EXPECT_FALSE(Exists(histResponse));
  EXPECT_TRUE(Exists(histOther));
}

TEST_F(CycleCleanup, MissingFoldersAreNoError) {
  std::filesystem::remove_all(folder.Path() + "/LOG");
  std::filesystem::remove_all(folder.Path() + "/history");
  const std::string old = Put("Log_a.txt", At(2020, 1, 1, 12));
  Clean();
  EXPECT_FALSE(Exists(old));
}

TEST_F(CycleCleanup, CleaningTheWorkingFolderTakesEveryAgeButOnlyItsMasks) {
  state.settings.stergereFisiereVechi = false;
  state.settings.curatareFolderLucru = true;
  const std::string receipt = Put("online3.txt", kNow);
  const std::string response = Put("ERROR3.TXT", kNow);
  const std::string log = Put("LOG_5.TXT", kNow);
  const std::string settings = Put("XRUVODRV.INI", kNow);
  const std::string copy = Put("history/ONLINE_1.TXT", kNow);
  ReceiptFileCycle cycle(state, op, clock, execution);
  cycle.CleanOldFiles();
  EXPECT_FALSE(Exists(receipt));
  EXPECT_FALSE(Exists(response));
  EXPECT_FALSE(Exists(log));
  EXPECT_TRUE(Exists(settings));
  EXPECT_TRUE(Exists(copy));
  EXPECT_EQ(execution.prepares, 0);
}

// A file whose run the journal holds (here left at its close by a crash), with its
// answer, and the files of an HTTP key are deliveries in flight, not waiting files: the
// clean-up of the working folder leaves them, and with a damaged journal it leaves every
// receipt and response file, since it cannot tell which are in flight.
TEST_F(CycleCleanup, CleaningTheWorkingFolderLeavesWhatIsInFlight) {
  state.settings.stergereFisiereVechi = false;
  state.settings.curatareFolderLucru = true;
  const std::string interrupted = Put("ONLINE.TXT", kNow);
  const std::string answer = Put("ERROR.TXT", kNow);
  const std::string waiting = Put("ONLINE2.TXT", kNow);
  const std::string httpReceipt = Put("ONLINE_H0123456789abcdef0123456789abcdef.TXT", kNow);
  const std::string httpAnswer = Put("ERROR_H00112233445566778899aabbccddeeff.TXT", kNow);
  {
    InFlightJournal journal(folder.Path());
    ASSERT_TRUE(journal.Put({"ONLINE.TXT",
                             {NewDeliveryToken(), false, {}, std::string(64, 'a')},
                             "2026_01_15_12_00_00",
                             FileKind::Sale,
                             RunPhase::Closing,
                             1,
                             "",
                             {},
                             EcrMark{1, 1, 0}}));
  }
  ReceiptFileCycle cycle(state, op, clock, execution);
  cycle.CleanOldFiles();
  EXPECT_TRUE(Exists(interrupted));
  EXPECT_TRUE(Exists(answer));
  EXPECT_FALSE(Exists(waiting));
  EXPECT_TRUE(Exists(httpReceipt));
  EXPECT_TRUE(Exists(httpAnswer));

  const std::string journalPath = folder.Path() + "/" + InFlightJournal::kFileName;
  WriteBytes(journalPath, "RUVODRV JURNAL 3\nF;4f");
  const std::string another = Put("ONLINE3.TXT", kNow);
  ReceiptFileCycle restarted(state, op, clock, execution);
  restarted.CleanOldFiles();
  EXPECT_TRUE(Exists(another));
  EXPECT_TRUE(Exists(interrupted));
}

// Log/ or History/ may be a link (History on another disk); old files are then neither
// looked for nor deleted through it, and the technician is told at each clean-up.
TEST_F(CycleCleanup, NothingIsDeletedThroughALinkedLogOrHistoryFolder) {
  state.settings.marjaZileStergere = 0;
  TempFolder elsewhere;
  const std::string outside = elsewhere / "Log_1.TXT";
  WriteBytes(outside, "x");
  SetLastWrite(outside, At(2020, 1, 1, 12));
  const std::string outsideCopy = elsewhere / "ONLINE_1.TXT";
  WriteBytes(outsideCopy, "x");
  SetLastWrite(outsideCopy, At(2020, 1, 1, 12));
  std::filesystem::remove_all(folder.Path() + "/LOG");
  std::filesystem::remove_all(folder.Path() + "/history");
  std::filesystem::create_directory_symlink(elsewhere.Path(), folder.Path() + "/Log");
  std::filesystem::create_directory_symlink(elsewhere.Path(), folder.Path() + "/History");
  const std::string workLog = Put("Log_w.txt", At(2020, 1, 1, 12));

  ::testing::internal::CaptureStderr();
  const std::vector<std::string> linked = CleanOldFiles(state, clock, files);
  const std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(Exists(outside));
  EXPECT_TRUE(Exists(outsideCopy));
  EXPECT_FALSE(Exists(workLog)) << "the working folder itself is still cleaned";
  EXPECT_EQ(linked, (std::vector<std::string>{PathOf("Log"), PathOf("History")}));
  EXPECT_NE(told.find(PathOf("Log") + " is a symbolic link"), std::string::npos) << told;
  EXPECT_NE(told.find(PathOf("History") + " is a symbolic link"), std::string::npos) << told;

  // Writing through the link stays: it is the clean-up alone that keeps out.
  WriteBytes(PathOf("History/ERROR_2.TXT"), "y");
  EXPECT_TRUE(Exists(elsewhere / "ERROR_2.TXT"));
}

}  // namespace
}  // namespace ruvo::testing
