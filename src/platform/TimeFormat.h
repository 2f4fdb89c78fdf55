#pragma once

#include <string>

#include "platform/Clock.h"

namespace ruvo {

// "hh:mm:ss:zzz": the time stamp in front of every exchange log line.
std::string FormatLogTime(const LocalDateTime& dt);

// "yyyy_mm_dd_hh_mm_ss": the pickup stamp in log and history file names.
std::string FormatFileStamp(const LocalDateTime& dt);

// "ddmmyy_hh_mm_ss": the stamp in the log file names of manual operations.
std::string LogTimeStamp(const LocalDateTime& dt);

}  // namespace ruvo
