#include "base/DateTime.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace mf {
namespace {

// Days between 1970-01-01 and the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);  // days 1970 -> 1899
constexpr long long kMsPerDay = 86400000;

}  // namespace

int DateTime::DayOfWeek() const {
  long long days = DaysFromCivil(year, month, day);  // 1970-01-01 was a Thursday
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

DateTime SystemClock::Now() const {
  timespec stamp{};
  clock_gettime(CLOCK_REALTIME, &stamp);
  std::tm local{};
  localtime_r(&stamp.tv_sec, &local);
  DateTime now;
  now.year = local.tm_year + 1900;
  now.month = local.tm_mon + 1;
  now.day = local.tm_mday;
  now.hour = local.tm_hour;
  now.minute = local.tm_min;
  now.second = local.tm_sec;
  now.millisecond = static_cast<int>(stamp.tv_nsec / 1000000);
  now.utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  return now;
}

void FixedClock::AdvanceSeconds(long long seconds) {
  auto zone = now_.utcOffsetMinutes;
  now_ = FromDayCount(ToDayCount(now_) + static_cast<double>(seconds) / 86400.0);
  now_.utcOffsetMinutes = zone;
}

double ToDayCount(const DateTime& time) {
  long long days = DaysFromCivil(time.year, time.month, time.day) - kEpochOffset;
  long long ms = ((time.hour * 60LL + time.minute) * 60 + time.second) * 1000 + time.millisecond;
  double fraction = static_cast<double>(ms) / kMsPerDay;
  // Before the epoch the fraction counts away from zero, as the stored form does.
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

DateTime FromDayCount(double value) {
  DateTime time;
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return time;
  double whole = std::trunc(value);
  double fraction = std::fabs(value - whole);
  long long ms = std::llround(fraction * kMsPerDay);
  long long days = static_cast<long long>(whole);
  if (ms >= kMsPerDay) {  // rounding carried into the next day
    ms -= kMsPerDay;
    days += value >= 0 ? 1 : -1;
  }
  CivilFromDays(days + kEpochOffset, time.year, time.month, time.day);
  time.hour = static_cast<int>(ms / 3600000);
  time.minute = static_cast<int>(ms / 60000 % 60);
  time.second = static_cast<int>(ms / 1000 % 60);
  time.millisecond = static_cast<int>(ms % 1000);
  return time;
}

std::string FormatDayCount(double days) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", days);
  return buffer;
}

std::optional<double> ParseDayCount(std::string_view text) {
  std::string copy(text);
  if (copy.empty() || copy.size() > 40) return std::nullopt;
  for (char c : copy) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'E' || c == 'e')) {
      return std::nullopt;
    }
  }
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (errno != 0 || end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Rfc822DateText(const DateTime& time) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int month = time.month >= 1 && time.month <= 12 ? time.month : 1;
  // RFC 5322 section 3.3: "-0000" says the zone is unknown, so a known zone
  // of UTC itself is "+0000".
  const int offset = time.utcOffsetMinutes.value_or(0);
  const char sign = time.utcOffsetMinutes && offset >= 0 ? '+' : '-';
  const int magnitude = offset < 0 ? -offset : offset;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %d %s %04d %02d:%02d:%02d %c%02d%02d",
                kDays[time.DayOfWeek()], time.day, kMonths[month - 1], time.year, time.hour,
                time.minute, time.second, sign, magnitude / 60, magnitude % 60);
  return buffer;
}

}  // namespace mf
