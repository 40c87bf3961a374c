#include "mail/store/MailDate.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>


namespace mf {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first words of a text, split at blanks and commas; the date needs
// four at most, the rest is the zone.
struct Words {
  std::array<std::string_view, 4> word;
  std::size_t count = 0;
};

Words SplitWords(std::string_view text) {
  Words words;
  std::size_t pos = 0;
  while (words.count < words.word.size()) {
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) <= ' ' || text[pos] == ',')) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ' && text[end] != ',') ++end;
    words.word[words.count++] = text.substr(pos, end - pos);
    pos = end;
  }
  return words;
}

std::optional<int> Number(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "hh:mm" or "hh:mm:ss".
bool ReadTime(std::string_view text, DateTime& time) {
  std::array<int, 3> parts{};
  std::size_t count = 0;
  std::size_t start = 0;
  while (true) {
    if (count == parts.size()) return false;
    std::size_t colon = text.find(':', start);
    auto part = Number(text.substr(start, colon == std::string_view::npos ? std::string_view::npos
                                                                          : colon - start), 2);
    if (!part) return false;
    parts[count++] = *part;
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (count < 2) return false;
  time.hour = parts[0];
  time.minute = parts[1];
  // A leap second reads as the last second of its minute.
  time.second = count == 3 ? std::min(parts[2], 59) : 0;
  return time.hour < 24 && time.minute < 60 && time.second < 60;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The first three letters of an English month name, in any case.
std::optional<int> MonthOf(std::string_view name) {
  static constexpr std::array<std::string_view, 12> months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (name.size() < 3) return std::nullopt;
  const char upper[3] = {Upper(name[0]), Upper(name[1]), Upper(name[2])};
  for (std::size_t i = 0; i < months.size(); ++i) {
    if (std::string_view(upper, 3) == months[i]) return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

int FullYear(int year, std::size_t digits) {
  // Two-digit years as RFC 2822 section 4.3 reads them.
  if (digits <= 2) return year < 50 ? 2000 + year : 1900 + year;
  return year;
}

bool ValidDay(const DateTime& time) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (time.year < 1 || time.year > 9999 || time.month < 1 || time.month > 12) return false;
  const bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
  const int last = days[time.month - 1] + (time.month == 2 && leap ? 1 : 0);
  return time.day >= 1 && time.day <= last;
}

std::optional<DateTime> ReadSlashDate(const Words& words) {
  const std::string_view date = words.word[0];
  std::size_t first = date.find('/');
  std::size_t second = first == std::string_view::npos ? first : date.find('/', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  auto year = Number(date.substr(0, first), 4);
  auto month = Number(date.substr(first + 1, second - first - 1), 2);
  auto day = Number(date.substr(second + 1), 2);
  if (!year || !month || !day) return std::nullopt;
  DateTime time;
  time.year = FullYear(*year, first);
  time.month = *month;
  time.day = *day;
  time.hour = time.minute = time.second = 0;
  if (words.count > 1 && !ReadTime(words.word[1], time)) return std::nullopt;
  if (!ValidDay(time)) return std::nullopt;
  return time;
}

std::optional<DateTime> ReadNamedMonthDate(const Words& words) {
  if (words.count < 3) return std::nullopt;
  auto day = Number(words.word[0], 2);
  auto month = MonthOf(words.word[1]);
  auto year = Number(words.word[2], 4);
  if (!day || !month || !year) return std::nullopt;
  DateTime time;
  time.year = FullYear(*year, words.word[2].size());
  time.month = *month;
  time.day = *day;
  time.hour = time.minute = time.second = 0;
  // Words after the time ("GMT", "(JST)") are the zone, which the sort ignores.
  if (words.count > 3 && !ReadTime(words.word[3], time)) return std::nullopt;
  if (!ValidDay(time)) return std::nullopt;
  return time;
}

}  // namespace

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string_view DateColumnView(std::string_view line4) {
  std::string_view text = TrimView(line4);
  if (auto plus = text.find('+'); plus != std::string_view::npos) text = text.substr(0, plus);
  if (auto minus = text.find('-'); minus != std::string_view::npos) text = text.substr(0, minus);
  return TrimView(text);
}

std::string DateColumnText(std::string_view line4) { return std::string(DateColumnView(line4)); }

std::string_view TrimmedDateView(std::string_view line4) { return TrimView(line4); }

std::optional<DateTime> ParseMailDate(std::string_view line4) {
  std::string_view text = DateColumnView(line4);
  static constexpr std::array<std::string_view, 7> dayNames = {"SUN,", "MON,", "TUE,", "WED,",
                                                               "THU,", "FRI,", "SAT,"};
  if (text.size() >= 4) {
    const char head[4] = {Upper(text[0]), Upper(text[1]), Upper(text[2]), text[3]};
    for (std::string_view name : dayNames) {
      if (std::string_view(head, 4) == name) {
        text.remove_prefix(4);
        break;
      }
    }
  }
  Words words = SplitWords(text);
  if (words.count == 0) return std::nullopt;
  if (words.word[0].find('/') != std::string_view::npos) return ReadSlashDate(words);
  return ReadNamedMonthDate(words);
}

double SortDateOf(std::string_view line4) {
  auto time = ParseMailDate(line4);
  return time ? ToDayCount(*time) : 0.0;
}

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's
// civil calendar algorithms).
long long DaysFromCivil(long long year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// RFC 5322 section 4.3's zone names, and the one Japanese mailers use.
std::optional<int> NamedZone(std::string_view name) {
  struct Zone {
    std::string_view name;
    int minutes;
  };
  static constexpr Zone zones[] = {{"UT", 0},       {"UTC", 0},      {"GMT", 0},      {"Z", 0},
                                   {"EST", -5 * 60}, {"EDT", -4 * 60}, {"CST", -6 * 60}, {"CDT", -5 * 60},
                                   {"MST", -7 * 60}, {"MDT", -6 * 60}, {"PST", -8 * 60}, {"PDT", -7 * 60},
                                   {"JST", 9 * 60}};
  if (name.size() > 3) return std::nullopt;
  char upper[3] = {};
  for (std::size_t i = 0; i < name.size(); ++i) upper[i] = Upper(name[i]);
  const std::string_view key(upper, name.size());
  for (const Zone& zone : zones) {
    if (zone.name == key) return zone.minutes;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> MailDateZone(std::string_view line4) {
  std::string_view text = TrimView(line4);
  if (!text.empty() && text.back() == ')') {
    if (const std::size_t open = text.rfind('('); open != std::string_view::npos) {
      text = TrimView(text.substr(0, open));
    }
  }
  const std::size_t blank = text.find_last_of(" \t,");
  const std::string_view word = blank == std::string_view::npos ? text : text.substr(blank + 1);
  // "+0900" alone or right after the time ("09:00:00+0900").
  if (word.size() >= 5) {
    const std::string_view zone = word.substr(word.size() - 5);
    if ((zone[0] == '+' || zone[0] == '-') && std::all_of(zone.begin() + 1, zone.end(), IsDigit)) {
      const int hours = (zone[1] - '0') * 10 + (zone[2] - '0');
      const int minutes = (zone[3] - '0') * 10 + (zone[4] - '0');
      if (minutes >= 60) return std::nullopt;
      return (zone[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
    }
  }
  return NamedZone(word);
}

long long MomentOf(const DateTime& time, int offsetMinutes) {
  const long long days = DaysFromCivil(time.year, time.month, time.day);
  return ((days * 24 + time.hour) * 60 + time.minute - offsetMinutes) * 60 + time.second;
}

int LocalUtcOffsetMinutes() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

std::string ListDateText(std::string_view line4) {
  const auto time = ParseMailDate(line4);
  if (!time) return std::string(TrimView(line4));
  int year = time->year, month = time->month, day = time->day, hour = time->hour, minute = time->minute;
  if (const auto zone = MailDateZone(line4)) {
    const std::time_t moment = static_cast<std::time_t>(MomentOf(*time, *zone));
    std::tm local{};
    if (localtime_r(&moment, &local) != nullptr) {
      year = local.tm_year + 1900;
      month = local.tm_mon + 1;
      day = local.tm_mday;
      hour = local.tm_hour;
      minute = local.tm_min;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", year, month, day, hour, minute);
  return text;
}

}  // namespace mf
