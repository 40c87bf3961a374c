#include "base/Records.h"

#include <cstring>

namespace mf {
namespace {

// A separator line starting at or after `from`: the two bytes as the whole
// content of a line. Returns the line's start.
std::optional<std::size_t> FindSeparatorLine(std::string_view file, std::size_t from) {
  const char* data = file.data();
  const std::size_t size = file.size();
  std::size_t pos = from;
  while (pos + 1 < size) {
    const void* hit = std::memchr(data + pos, 0x01, size - pos - 1);
    if (hit == nullptr) return std::nullopt;
    const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    if (data[k + 1] == 0x01 && (k == 0 || data[k - 1] == '\n')) {
      const std::size_t after = k + 2;
      if (after == size || data[after] == '\n' ||
          (data[after] == '\r' && (after + 1 == size || data[after + 1] == '\n'))) {
        return k;
      }
    }
    pos = k + 1;
  }
  return std::nullopt;
}

// True when every line from `pos` on is empty.
bool OnlyEmptyLines(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    RecordLine line = RecordLineAt(text, pos);
    if (!line.content.empty()) return false;
    pos = line.next;
  }
  return true;
}

}  // namespace

std::string SingleLine(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == 0x01) c = ' ';
  }
  return out;
}

RecordLine RecordLineAt(std::string_view text, std::size_t pos) {
  const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
  std::size_t next = lf ? end + 1 : text.size();
  if (end > pos && text[end - 1] == '\r') --end;
  return {text.substr(pos, end - pos), next};
}

std::string NormalizeLineEnds(std::string_view file) {
  bool clean = file.empty() || file.back() == '\n';
  for (std::size_t pos = 0; clean && pos < file.size();) {
    const void* lf = std::memchr(file.data() + pos, '\n', file.size() - pos);
    if (lf == nullptr) break;
    const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(lf) - file.data());
    clean = k > 0 && file[k - 1] == '\r';
    pos = k + 1;
  }
  if (clean) return std::string(file);
  std::string out;
  out.reserve(file.size() + file.size() / 32 + 2);
  for (std::size_t pos = 0; pos < file.size();) {
    RecordLine line = RecordLineAt(file, pos);
    out.append(line.content);
    out += "\r\n";
    pos = line.next;
  }
  return out;
}

std::optional<RecordSpan> NextRecord(std::string_view file, std::size_t from) {
  if (from >= file.size()) return std::nullopt;
  RecordSpan span;
  span.begin = from;
  if (auto separator = FindSeparatorLine(file, from)) {
    span.contentEnd = *separator;
    span.end = RecordLineAt(file, *separator).next;
    span.terminated = true;
    return span;
  }
  if (OnlyEmptyLines(file, from)) return std::nullopt;
  span.contentEnd = file.size();
  span.end = file.size();
  return span;
}

std::vector<RecordSpan> RecordSpans(std::string_view file) {
  std::vector<RecordSpan> spans;
  std::size_t pos = 0;
  while (auto span = NextRecord(file, pos)) {
    spans.push_back(*span);
    pos = span->end;
  }
  return spans;
}

std::optional<RecordSpan> RecordAt(std::string_view file, std::size_t index) {
  std::size_t pos = 0;
  for (std::size_t i = 0;; ++i) {
    auto span = NextRecord(file, pos);
    if (!span || i == index) return span;
    pos = span->end;
  }
}

}  // namespace mf
