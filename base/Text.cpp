#include "base/Text.h"

#include "base/ShiftJis.h"

namespace mf {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  out.reserve(size);
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::string TrimLeft(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  return std::string(text.substr(start, end - start));
}

namespace {

template <typename Map>
std::string MapAscii(std::string_view text, Map map) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
      continue;
    }
    out[i] = static_cast<char>(map(c));
  }
  return out;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  return MapAscii(text, [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
}

std::string UpperAscii(std::string_view text) {
  return MapAscii(text, [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace mf
