#include "mime/MimeDecParams.h"

#include <cstddef>
#include <map>

namespace mf::mimedec {
namespace {

// Continuations beyond this are ignored: a hostile header could otherwise
// make one name out of thousands of pieces.
constexpr int kMostContinuations = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Walks "; name=value" pairs after the field's first token.
class ParameterReader {
 public:
  explicit ParameterReader(std::string_view line) : text_(line) {
    const std::size_t colon = text_.find(':');
    pos_ = colon == std::string_view::npos ? text_.size() : colon + 1;
    SkipValue();  // the first token ("attachment", "text/plain")
  }

  // The next parameter, or false at the end of the line.
  bool Next(std::string& name, std::string& value) {
    while (pos_ < text_.size()) {
      if (text_[pos_] != ';') {
        SkipValue();
        if (pos_ < text_.size() && text_[pos_] != ';') ++pos_;
        continue;
      }
      ++pos_;
      SkipBlanks();
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != '=' && text_[pos_] != ';' && !IsBlank(text_[pos_])) ++pos_;
      name = Lowered(text_.substr(start, pos_ - start));
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '=') continue;
      ++pos_;
      SkipBlanks();
      value = ReadValue();
      if (!name.empty()) return true;
    }
    return false;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }

  void SkipValue() {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '"') {
      ReadValue();
      return;
    }
    while (pos_ < text_.size() && text_[pos_] != ';') ++pos_;
  }

  std::string ReadValue() {
    std::string value;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] != '"') {
        // RFC 822 quoted-pair; Windows paths in names lose nothing that
        // matters, since only the last path element is kept anyway.
        if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) ++pos_;
        value += text_[pos_++];
      }
      if (pos_ < text_.size()) ++pos_;
      SkipBlanks();
      return value;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ';') ++pos_;
    std::string_view raw = text_.substr(start, pos_ - start);
    while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
    return std::string(raw);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// "charset'language'text" of an RFC 2231 extended value.
MimeParameter ExtendedValue(const std::string& raw) {
  MimeParameter parameter;
  const std::size_t first = raw.find('\'');
  const std::size_t second = first == std::string::npos ? std::string::npos : raw.find('\'', first + 1);
  if (second == std::string::npos) {
    parameter.value = PercentDecoded(raw);
    return parameter;
  }
  parameter.charset = Lowered(raw.substr(0, first));
  parameter.value = PercentDecoded(std::string_view(raw).substr(second + 1));
  return parameter;
}

}  // namespace

std::optional<MimeParameter> FindMimeParameter(std::string_view headerLine, std::string_view name) {
  const std::string wanted = Lowered(name);
  std::optional<MimeParameter> plain;
  std::optional<MimeParameter> extended;
  std::map<int, std::pair<std::string, bool>> pieces;  // number -> value, extended
  ParameterReader reader(headerLine);
  std::string key;
  std::string value;
  while (reader.Next(key, value)) {
    if (key == wanted) {
      if (!plain) plain = MimeParameter{value, {}};
      continue;
    }
    if (key.size() <= wanted.size() || key.compare(0, wanted.size(), wanted) != 0 || key[wanted.size()] != '*') {
      continue;
    }
    std::string_view rest = std::string_view(key).substr(wanted.size() + 1);
    if (rest.empty()) {
      if (!extended) extended = ExtendedValue(value);
      continue;
    }
    const bool isExtended = rest.back() == '*';
    if (isExtended) rest.remove_suffix(1);
    if (rest.empty() || rest.size() > 2) continue;
    int number = 0;
    bool digits = true;
    for (char c : rest) {
      if (c < '0' || c > '9') digits = false;
      number = number * 10 + (c - '0');
    }
    if (!digits || number >= kMostContinuations) continue;
    pieces.emplace(number, std::make_pair(value, isExtended));
  }
  if (!pieces.empty() && pieces.begin()->first == 0) {
    MimeParameter joined;
    int expected = 0;
    for (const auto& [number, piece] : pieces) {
      if (number != expected++) break;
      if (!piece.second) {
        joined.value += piece.first;
      } else if (number == 0) {
        joined = ExtendedValue(piece.first);
      } else {
        joined.value += PercentDecoded(piece.first);
      }
    }
    return joined;
  }
  if (extended) return extended;
  return plain;
}

std::string FieldFirstToken(std::string_view headerLine) {
  const std::size_t colon = headerLine.find(':');
  if (colon == std::string_view::npos) return {};
  std::size_t pos = colon + 1;
  while (pos < headerLine.size() && IsBlank(headerLine[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < headerLine.size() && headerLine[pos] != ';' && !IsBlank(headerLine[pos])) ++pos;
  return Lowered(headerLine.substr(start, pos - start));
}

std::string FieldName(std::string_view headerLine) {
  const std::size_t colon = headerLine.find(':');
  if (colon == std::string_view::npos) return {};
  std::string_view name = headerLine.substr(0, colon);
  while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
  return Lowered(name);
}

}  // namespace mf::mimedec
