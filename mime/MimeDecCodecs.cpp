#include "mime/MimeDecCodecs.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace mf::mimedec {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

unsigned UuValue(char c) { return (static_cast<unsigned>(static_cast<unsigned char>(c)) - 32u) & 63u; }

}  // namespace

void DecodeQuotedPrintable(const char* line, std::size_t length, std::string& out) {
  out.clear();
  out.reserve(length + 2);
  bool softBreak = false;
  // Blanks after a last "=" on the line belong to the soft break.
  std::size_t end = length;
  while (end > 0 && IsBlank(line[end - 1])) --end;
  if (end > 0 && line[end - 1] == '=') {
    length = end;
  }
  std::size_t i = 0;
  while (i < length) {
    const char ch = line[i];
    if (ch != '=') {
      // Copy a run of plain characters at once.
      const void* next = std::memchr(line + i, '=', length - i);
      const std::size_t runEnd = next ? static_cast<std::size_t>(static_cast<const char*>(next) - line) : length;
      out.append(line + i, runEnd - i);
      i = runEnd;
      continue;
    }
    if (i + 1 == length) {
      softBreak = true;
      break;
    }
    const int high = HexValue(line[i + 1]);
    if (i + 2 == length) {
      // "=" and one digit at the end of the line: that digit's value.
      if (high >= 0) {
        out.push_back(static_cast<char>(high));
        i += 2;
      } else {
        out.push_back('=');
        ++i;
      }
      continue;
    }
    const int low = HexValue(line[i + 2]);
    if (high >= 0 && low >= 0) {
      out.push_back(static_cast<char>(high * 16 + low));
      i += 3;
    } else {
      out.push_back('=');
      ++i;
    }
  }
  if (!softBreak) out.append("\r\n");
}

void DecodeUuLine(const char* line, std::size_t length, std::string& out) {
  out.clear();
  if (length == 0) return;
  const std::size_t wanted = UuValue(line[0]);
  for (std::size_t in = 1; in < length && out.size() < wanted; in += 4) {
    unsigned values[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < 4 && in + k < length; ++k) values[k] = UuValue(line[in + k]);
    const std::uint32_t bits = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
    const char bytes[3] = {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
    for (int k = 0; k < 3 && out.size() < wanted; ++k) out.push_back(bytes[k]);
  }
}

std::string UuBeginFileName(const char* line, std::size_t length) {
  const void* first = std::memchr(line, ' ', length);
  if (!first) return {};
  const char* afterFirst = static_cast<const char*>(first) + 1;
  const std::size_t rest = length - static_cast<std::size_t>(afterFirst - line);
  const void* second = std::memchr(afterFirst, ' ', rest);
  if (!second) return {};
  const char* name = static_cast<const char*>(second) + 1;
  return std::string(name, static_cast<std::size_t>(line + length - name));
}

bool IsCutHereLine(const char* line, std::size_t length) {
  bool dashes = false;
  bool cutHere = false;
  for (std::size_t i = 0; i + 1 < length && !(dashes && cutHere); ++i) {
    if (line[i] == '-' && line[i + 1] == '-') dashes = true;
    if (!cutHere && i + 8 <= length && StartsWithNoCase(line + i, length - i, "cut here")) cutHere = true;
  }
  return dashes && cutHere;
}

bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix) {
  std::size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= length || LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace mf::mimedec
