#include "platform/Log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "platform/Text1250.h"

namespace ruvo {

namespace {

const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      return "error";
    case LogLevel::Warning:
      return "warning";
    case LogLevel::Info:
      break;
  }
  return "info";
}

std::string LocalStamp() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

}  // namespace

bool StderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat st {};
  if (::fstat(STDERR_FILENO, &st) != 0) return false;
  return st.st_dev == device && st.st_ino == inode;
}

std::string FormatLogLines(LogLevel level, const std::string& text, bool journal,
                           const std::string& stamp) {
  const std::string prefix = journal ? "<" + std::to_string(static_cast<int>(level)) + ">"
                                     : stamp + " " + LevelName(level) + ": ";
  // Message boxes break their lines with "\r"; every line gets its own prefix, so a
  // multi-line message cannot lose its level in the journal.
  std::string out;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n", begin);
    out += prefix + Utf8From1250(std::string_view(text).substr(begin, end - begin)) + "\n";
    if (end == std::string::npos) break;
    begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (begin >= text.size()) break;
  }
  return out;
}

void Log(LogLevel level, const std::string& text) {
  static const bool journal = StderrIsJournal();
  const std::string lines = FormatLogLines(level, text, journal, journal ? "" : LocalStamp());
  std::fwrite(lines.data(), 1, lines.size(), stderr);
  std::fflush(stderr);
}

}  // namespace ruvo
