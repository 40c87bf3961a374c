#include "mail/list/QuickMailDate.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "mail/store/MailDate.h"

namespace mf {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// Reads `count` digits at `pos`, moving past them.
bool Digits(std::string_view text, std::size_t& pos, std::size_t count, int& value) {
  if (text.size() - pos < count) return false;
  value = 0;
  for (std::size_t end = pos + count; pos < end; ++pos) {
    if (!IsDigit(text[pos])) return false;
    value = value * 10 + (text[pos] - '0');
  }
  return true;
}

bool Skip(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// Three letters in upper case as one number, to be matched against names
// without a string comparison each.
constexpr std::uint32_t Packed(char a, char b, char c) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 | static_cast<unsigned char>(c);
}

constexpr std::array<std::uint32_t, 7> kDays = {Packed('S', 'U', 'N'), Packed('M', 'O', 'N'), Packed('T', 'U', 'E'),
                                                Packed('W', 'E', 'D'), Packed('T', 'H', 'U'), Packed('F', 'R', 'I'),
                                                Packed('S', 'A', 'T')};
constexpr std::array<std::uint32_t, 12> kMonths = {
    Packed('J', 'A', 'N'), Packed('F', 'E', 'B'), Packed('M', 'A', 'R'), Packed('A', 'P', 'R'),
    Packed('M', 'A', 'Y'), Packed('J', 'U', 'N'), Packed('J', 'U', 'L'), Packed('A', 'U', 'G'),
    Packed('S', 'E', 'P'), Packed('O', 'C', 'T'), Packed('N', 'O', 'V'), Packed('D', 'E', 'C')};

// The index of the three letters at `pos` among `names`, in any case; -1
// when none matches.
template <std::size_t N>
int NameIndex(std::string_view text, std::size_t pos, const std::array<std::uint32_t, N>& names) {
  if (text.size() - pos < 3) return -1;
  const std::uint32_t packed = Packed(Upper(text[pos]), Upper(text[pos + 1]), Upper(text[pos + 2]));
  for (std::size_t i = 0; i < N; ++i) {
    if (packed == names[i]) return static_cast<int>(i);
  }
  return -1;
}

int DaysInMonth(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// "[Ddd, ]d[d] Mmm yyyy hh:mm:ss" followed by the end or a blank, every part
// in range. Anything else, even what the general reader accepts, answers
// nothing here: only texts both readers certainly read alike pass.
std::optional<DateTime> ReadCommonForm(std::string_view text) {
  std::size_t pos = 0;
  if (NameIndex(text, 0, kDays) >= 0 && text.size() > 4 && text[3] == ',' && text[4] == ' ') pos = 5;
  DateTime time;
  int day = 0;
  if (!Digits(text, pos, 1, day)) return std::nullopt;
  if (pos < text.size() && IsDigit(text[pos])) day = day * 10 + (text[pos++] - '0');
  if (!Skip(text, pos, ' ')) return std::nullopt;
  const int month = NameIndex(text, pos, kMonths);
  if (month < 0) return std::nullopt;
  pos += 3;
  if (!Skip(text, pos, ' ') || !Digits(text, pos, 4, time.year) || !Skip(text, pos, ' ') ||
      !Digits(text, pos, 2, time.hour) || !Skip(text, pos, ':') || !Digits(text, pos, 2, time.minute) ||
      !Skip(text, pos, ':') || !Digits(text, pos, 2, time.second)) {
    return std::nullopt;
  }
  if (pos < text.size() && text[pos] != ' ') return std::nullopt;
  time.month = month + 1;
  time.day = day;
  if (time.year < 1 || day < 1 || day > DaysInMonth(time.year, time.month) || time.hour > 23 ||
      time.minute > 59 || time.second > 59) {
    return std::nullopt;
  }
  return time;
}

}  // namespace

std::optional<DateTime> ParseMailDateQuickly(std::string_view line4) {
  if (auto time = ReadCommonForm(line4)) return time;
  return ParseMailDate(line4);
}

}  // namespace mf
