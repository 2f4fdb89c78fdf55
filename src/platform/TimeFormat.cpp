#include "platform/TimeFormat.h"

#include <cstdio>

namespace ruvo {

namespace {

// Fields are taken modulo their width so that a damaged value can never overflow the text.
int Wrap(int value, int modulus) {
  const int r = value % modulus;
  return r < 0 ? r + modulus : r;
}

}  // namespace

std::string FormatLogTime(const LocalDateTime& dt) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%03d", Wrap(dt.hour, 100), Wrap(dt.minute, 100),
                Wrap(dt.second, 100), Wrap(dt.millisecond, 1000));
  return text;
}

std::string FormatFileStamp(const LocalDateTime& dt) {
  char text[24];
  std::snprintf(text, sizeof text, "%04d_%02d_%02d_%02d_%02d_%02d", Wrap(dt.year, 10000),
                Wrap(dt.month, 100), Wrap(dt.day, 100), Wrap(dt.hour, 100), Wrap(dt.minute, 100),
                Wrap(dt.second, 100));
  return text;
}

std::string LogTimeStamp(const LocalDateTime& dt) {
  char text[20];
  std::snprintf(text, sizeof text, "%02d%02d%02d_%02d_%02d_%02d", Wrap(dt.day, 100),
                Wrap(dt.month, 100), Wrap(dt.year, 100), Wrap(dt.hour, 100), Wrap(dt.minute, 100),
                Wrap(dt.second, 100));
  return text;
}

}  // namespace ruvo
