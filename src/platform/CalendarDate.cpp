#include "platform/CalendarDate.h"

namespace ruvo {

namespace {

bool IsLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

bool IsValidDate(std::int64_t day, std::int64_t month, std::int64_t year) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  std::int64_t last = kDaysInMonth[month - 1];
  if (month == 2 && IsLeapYear(year)) last = 29;
  return day <= last;
}

}  // namespace ruvo
