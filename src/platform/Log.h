#pragma once

#include <string>

namespace ruvo {

// The driver's own messages on standard error, for a technician at a terminal or in the
// journal. Each line carries its level: on a terminal with the local time in front
// ("2026-12-08 10:15:02.347 warning: ..."); under systemd, whose journal stamps the lines
// itself, as the journal's "<N>" priority prefix. Texts are single-byte Windows-1250 as the
// driver keeps them and are written as UTF-8.
enum class LogLevel { Error = 3, Warning = 4, Info = 6 };

void Log(LogLevel level, const std::string& text);

// True when standard error is the journal stream systemd gave the process ($JOURNAL_STREAM
// names the device and inode of that stream).
bool StderrIsJournal();

// The lines Log writes for text (one per line of text, each ended by "\n"). stamp is the
// time prefix for a terminal; empty for the journal's form.
std::string FormatLogLines(LogLevel level, const std::string& text, bool journal,
                           const std::string& stamp);

}  // namespace ruvo
