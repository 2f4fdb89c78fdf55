// The driver's messages on standard error: a level on every line, the journal's priority
// under systemd, UTF-8 for the terminal.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/Log.h"

namespace ruvo::testing {
namespace {

TEST(Log, EveryLineOfAMessageCarriesItsLevelOrJournalPriority) {
  // A message box's "\r" breaks, CR LF and LF each start a new line; nothing is lost.
  const std::string text = "ERR_COMM_NOT_OK\rVerificati\r\ncablul\nPC \x96 Imprimanta";
  EXPECT_EQ(FormatLogLines(LogLevel::Warning, text, true, ""),
            "<4>ERR_COMM_NOT_OK\n<4>Verificati\n<4>cablul\n<4>PC \xE2\x80\x93 Imprimanta\n");
  EXPECT_EQ(FormatLogLines(LogLevel::Error, "x", false, "2026-12-08 10:15:02.347"),
            "2026-12-08 10:15:02.347 error: x\n");
  EXPECT_EQ(FormatLogLines(LogLevel::Info, "", true, ""), "<6>\n");
  EXPECT_EQ(FormatLogLines(LogLevel::Info, "a\r", true, ""), "<6>a\n");
}

TEST(Log, TheJournalIsRecognisedOnlyWhenStandardErrorIsTheStreamItNames) {
  struct stat st {};
  ASSERT_EQ(::fstat(STDERR_FILENO, &st), 0);
  const char* saved = std::getenv("JOURNAL_STREAM");
  const std::string previous = saved != nullptr ? saved : "";

  const std::string mine = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  ::setenv("JOURNAL_STREAM", mine.c_str(), 1);
  EXPECT_TRUE(StderrIsJournal());
  // Inherited by a program whose standard error was redirected elsewhere.
  const std::string other = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1);
  ::setenv("JOURNAL_STREAM", other.c_str(), 1);
  EXPECT_FALSE(StderrIsJournal());
  ::setenv("JOURNAL_STREAM", "garbage", 1);
  EXPECT_FALSE(StderrIsJournal());
  ::unsetenv("JOURNAL_STREAM");
  EXPECT_FALSE(StderrIsJournal());

  if (saved != nullptr) ::setenv("JOURNAL_STREAM", previous.c_str(), 1);
}

}  // namespace
}  // namespace ruvo::testing
