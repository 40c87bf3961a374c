#include "mail/store/StoreRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/Text.h"
#include "mail/store/HeaderFile.h"

namespace mf {
namespace {

constexpr std::string_view kAttachmentPrefix = "X-Attachments-File: ";

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

bool IsStoreOwnLine(std::string_view line) {
  if (StartsWithNameIgnoringCase(line, "x-attachments-file")) return true;
  if (StartsWithNameIgnoringCase(line, "x-character")) return true;
  // The mail list looks for attachment lines by their name anywhere in a
  // record, so a received line must not carry it even as a value.
  return LowerAscii(line).find("x-attachments-file") != std::string::npos;
}

void AppendTextWithCrLf(std::string& out, std::string_view text) {
  // One pass into a buffer made large enough once: a text of hundreds of
  // thousands of lines would otherwise be as many strings, or as many
  // copies of a growing one, first.
  std::size_t lineEnds = 0;
  for (const char c : text) lineEnds += (c == '\r' || c == '\n') ? 1 : 0;
  out.reserve(out.size() + text.size() + lineEnds + 2);
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    out.append(text, start, i - start);
    out += "\r\n";
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) {
    out.append(text, start, text.size() - start);
    out += "\r\n";
  }
}

std::string TextWithCrLf(std::string_view text) {
  std::string out;
  AppendTextWithCrLf(out, text);
  return out;
}

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

void AppendBodyRecordBytes(std::string& out, const std::vector<HeaderField>& fields, std::string_view text) {
  for (const auto& field : fields) {
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
  const std::size_t textStart = out.size();
  AppendTextWithCrLf(out, text);
  // A text line made of the separator bytes would end the record early.
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(textStart), out.end(), '\x01', ' ');
  out += kSeparatorLine;
  out += "\r\n";
}

std::string FormatBodyRecord(const BodyRecord& record) {
  std::string out;
  AppendBodyRecordBytes(out, record.fields, record.text);
  return out;
}

HeaderRecord ParseHeaderRecord(std::string_view recordBytes) {
  HeaderRecord record;
  std::string* lines[] = {&record.status, &record.subject, &record.from,
                          &record.date, &record.to, &record.attachmentFolder};
  std::size_t pos = 0;
  for (std::string* line : lines) {
    if (pos >= recordBytes.size()) break;
    RecordLine current = RecordLineAt(recordBytes, pos);
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
  // Trimmed in place: a huge mail's text is not copied once more.
  std::string text = NormalizeLineEnds(file.substr(span->begin, span->contentEnd - span->begin));
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  text.erase(end);
  std::size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  text.erase(0, start);
  return text;
}

std::vector<std::string> AttachmentFilesOf(std::string_view recordText) {
  std::vector<std::string> paths;
  std::size_t pos = 0;
  while (pos < recordText.size()) {
    RecordLine line = RecordLineAt(recordText, pos);
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
