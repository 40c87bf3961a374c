#include "mail/store/StoreRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstring>


#include "base/Text.h"
#include "mail/store/HeaderFile.h"

namespace mf {
namespace {

constexpr std::string_view kAttachmentPrefix = "X-Attachments-File: ";

// One line: its content without the line end, and where the next begins.
struct Line {
  std::string_view content;
  std::size_t next;
};

Line LineAt(std::string_view text, std::size_t pos) {
  const void* lf = std::memchr(text.data() + pos, '\n', text.size() - pos);
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
  std::size_t next = lf ? end + 1 : text.size();
  if (end > pos && text[end - 1] == '\r') --end;
  return {text.substr(pos, end - pos), next};
}

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
    Line line = LineAt(text, pos);
    if (!line.content.empty()) return false;
    pos = line.next;
  }
  return true;
}

bool StartsWithNameIgnoringCase(std::string_view line, std::string_view lowerName) {
  std::size_t pos = 0;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (line.size() - pos < lowerName.size()) return false;
  if (LowerAscii(line.substr(pos, lowerName.size())) != lowerName) return false;
  pos += lowerName.size();
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  return pos < line.size() && line[pos] == ':';
}

}  // namespace

std::string SingleLine(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == 0x01) c = ' ';
  }
  return out;
}

bool IsStoreOwnLine(std::string_view line) {
  if (StartsWithNameIgnoringCase(line, "x-attachments-file")) return true;
  if (StartsWithNameIgnoringCase(line, "x-character")) return true;
  // The mail list looks for attachment lines by their name anywhere in a
  // record, so a received line must not carry it even as a value.
  return LowerAscii(line).find("x-attachments-file") != std::string::npos;
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
    Line line = LineAt(file, pos);
    out.append(line.content);
    out += "\r\n";
    pos = line.next;
  }
  return out;
}

std::string TextWithCrLf(std::string_view text) { return JoinLines(SplitLines(text)); }

std::string FormatHeaderRecord(const HeaderRecord& record) {
  std::string out;
  for (const std::string* value : {&record.status, &record.subject, &record.from, &record.date,
                                   &record.to, &record.attachmentFolder}) {
    out += SingleLine(*value);
    out += "\r\n";
  }
  out += kSeparatorLine;
  out += "\r\n";
  return out;
}

std::string FormatBodyRecord(const BodyRecord& record) {
  std::string out;
  for (const auto& field : record.fields) {
    if (field.name.empty()) {
      // A received line is kept only when it can neither end the header
      // block early nor pass for a line the store writes itself.
      if (Trim(field.value).empty() || IsStoreOwnLine(field.value)) continue;
      out += SingleLine(field.value);
    } else {
      out += SingleLine(field.name);
      out += SingleLine(field.value);
    }
    out += "\r\n";
  }
  out += "\r\n";
  std::string text(record.text);
  // A text line made of the separator bytes would end the record early.
  for (char& c : text) {
    if (c == 0x01) c = ' ';
  }
  out += TextWithCrLf(text);
  out += kSeparatorLine;
  out += "\r\n";
  return out;
}

std::optional<RecordSpan> NextRecord(std::string_view file, std::size_t from) {
  if (from >= file.size()) return std::nullopt;
  RecordSpan span;
  span.begin = from;
  if (auto separator = FindSeparatorLine(file, from)) {
    span.contentEnd = *separator;
    span.end = LineAt(file, *separator).next;
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

HeaderRecord ParseHeaderRecord(std::string_view recordBytes) {
  HeaderRecord record;
  std::string* lines[] = {&record.status, &record.subject, &record.from,
                          &record.date, &record.to, &record.attachmentFolder};
  std::size_t pos = 0;
  for (std::string* line : lines) {
    if (pos >= recordBytes.size()) break;
    Line current = LineAt(recordBytes, pos);
    line->assign(current.content);
    pos = current.next;
  }
  return record;
}

std::vector<HeaderRecord> ParseHeaderRecords(std::string_view file) {
  HeaderFile parsed(file);
  std::vector<HeaderRecord> records;
  records.reserve(parsed.size());
  for (const auto& view : parsed) records.push_back(view.ToRecord());
  return records;
}

std::optional<std::size_t> FindHeaderRecordByBytes(std::string_view file, std::size_t index) {
  std::size_t pos = 0;
  std::size_t boundaries = 0;
  while (boundaries < index) {
    if (pos + 1 >= file.size()) return std::nullopt;
    const void* hit = std::memchr(file.data() + pos, 0x01, file.size() - pos - 1);
    if (hit == nullptr) return std::nullopt;
    const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(hit) - file.data());
    if (file[k + 1] == 0x01) {
      ++boundaries;
      pos = k + 2;
    } else {
      pos = k + 1;
    }
  }
  if (index > 0) {
    // The line end of the separator line.
    if (pos < file.size() && file[pos] == '\r') ++pos;
    if (pos < file.size() && file[pos] == '\n') ++pos;
  }
  return pos;
}

std::optional<std::string> SenderAt(std::string_view file, std::size_t index) {
  auto start = FindHeaderRecordByBytes(file, index);
  if (!start) return std::nullopt;
  std::size_t pos = *start;
  for (int skipped = 0; skipped < 2; ++skipped) {
    std::size_t lf = file.find('\n', pos);
    if (lf == std::string_view::npos) return std::nullopt;
    pos = lf + 1;
  }
  std::size_t lf = file.find('\n', pos);
  std::string line(file.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string BodyRecordText(std::string_view file, std::size_t index) {
  auto span = RecordAt(file, index);
  if (!span) return {};
  return Trim(NormalizeLineEnds(file.substr(span->begin, span->contentEnd - span->begin)));
}

std::vector<std::string> AttachmentFilesOf(std::string_view recordText) {
  std::vector<std::string> paths;
  std::size_t pos = 0;
  while (pos < recordText.size()) {
    Line line = LineAt(recordText, pos);
    if (line.content.empty()) break;
    if (StartsWith(line.content, kAttachmentPrefix)) {
      std::string path = TrimLeft(line.content.substr(kAttachmentPrefix.size()));
      if (!path.empty()) paths.push_back(std::move(path));
    }
    pos = line.next;
  }
  return paths;
}

}  // namespace mf
