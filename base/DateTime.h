#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// A local calendar time as the user's desktop shows it.
struct DateTime {
  int year = 1899;
  int month = 12;   // 1..12
  int day = 30;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  // Minutes east of UTC (+540 for Japan); empty when the zone is unknown.
  std::optional<int> utcOffsetMinutes;

  int DayOfWeek() const;  // 0 = Sunday
  bool operator==(const DateTime&) const = default;
};

// The clock that windows and rules read; tests substitute a fixed one.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  DateTime Now() const override;
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime now) { now_ = now; }
  void AdvanceSeconds(long long seconds);

 private:
  DateTime now_;
};

// Days since 30 December 1899 with the time of day as the fraction.
double ToDayCount(const DateTime& time);
DateTime FromDayCount(double days);

// Up to 15 significant digits with "." as separator, as stored in the
// registry list files; and its reader (empty for anything else).
std::string FormatDayCount(double days);
std::optional<double> ParseDayCount(std::string_view text);

// "ddd, d mmm yyyy hh:mm:ss" with English names, a blank and the zone
// ("+0900", "+0000" for UTC, "-0000" for an unknown zone).
std::string Rfc822DateText(const DateTime& time);

}  // namespace mf
