#include "mail/MailDate.h"

#include <algorithm>
#include <array>


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

}  // namespace mf
