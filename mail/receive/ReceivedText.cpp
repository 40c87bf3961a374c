#include "mail/receive/ReceivedText.h"

#include <array>
#include <cstdint>
#include <optional>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> names) {
  for (auto name : names) {
    if (value == name) return true;
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// A code point as Shift_JIS, "〓" when code page 932 has no such character.
std::string CodePointToSjis(std::uint32_t code) {
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return Sj("〓");
  if (code < 0x80) {
    // Control characters other than line ends never reach a stored text.
    if (code < 0x20 && code != '\t') return " ";
    return std::string(1, static_cast<char>(code));
  }
  std::string utf8;
  if (code < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
  } else if (code < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (code >> 12));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (code >> 18));
    utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (code & 0x3F));
  return Utf8ToSjis(utf8);
}

struct NamedEntity {
  std::string_view name;
  std::uint32_t code;
};

constexpr std::array<NamedEntity, 12> kEntities = {{{"amp", '&'},
                                                    {"lt", '<'},
                                                    {"gt", '>'},
                                                    {"quot", '"'},
                                                    {"apos", '\''},
                                                    {"nbsp", ' '},
                                                    {"copy", 0xA9},
                                                    {"reg", 0xAE},
                                                    {"yen", 0xA5},
                                                    {"hellip", 0x2026},
                                                    {"mdash", 0x2014},
                                                    {"ndash", 0x2013}}};

// Decodes the entity at `pos` ("&..;"), advancing past it; nothing when it
// is not one, and the "&" is then kept as it is.
std::optional<std::string> ReadEntity(std::string_view html, std::size_t& pos) {
  constexpr std::size_t kLongestEntity = 12;
  const std::size_t semicolon = html.find(';', pos + 1);
  if (semicolon == std::string_view::npos || semicolon - pos > kLongestEntity) return std::nullopt;
  std::string_view body = html.substr(pos + 1, semicolon - pos - 1);
  std::optional<std::uint32_t> code;
  if (body.size() >= 2 && body[0] == '#') {
    std::uint32_t value = 0;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) return std::nullopt;
      value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
      if (value > 0x10FFFF) value = 0x110000;
    }
    code = value;
  } else {
    for (const auto& entity : kEntities) {
      if (body == entity.name) code = entity.code;
    }
  }
  if (!code) return std::nullopt;
  pos = semicolon + 1;
  return CodePointToSjis(*code);
}

// The tags after which a browser starts a new line.
bool BreaksLine(const std::string& tagName) {
  return IsOneOf(tagName, {"br", "p", "/p", "div", "/div", "tr", "/tr", "li", "/li", "h1", "h2", "h3", "h4", "h5",
                           "h6", "/h1", "/h2", "/h3", "/h4", "/h5", "/h6", "/table", "blockquote", "/blockquote",
                           "hr", "/ul", "/ol", "pre", "/pre"});
}

// Well-formed UTF-8 with at least one multi-byte character. Shift_JIS and
// EUC-JP text almost never is, so undeclared text that is can be read as
// UTF-8, which many mailers send without saying so.
bool LooksLikeUtf8(std::string_view text) {
  bool multiByte = false;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                                                : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    multiByte = multiByte || length > 1;
    i += length;
  }
  return multiByte;
}

}  // namespace

std::string BodyTextToProgramCode(std::string_view bytes, std::string_view charset) {
  const std::string name = LowerAscii(Trim(charset));
  const bool undeclared = name.empty() || name == "us-ascii" || name == "unknown-8bit" || name == "x-unknown";
  if (undeclared && LooksLikeUtf8(bytes)) return Utf8ToSjis(bytes);
  if (name.empty() || IsOneOf(name, {"us-ascii", "ascii", "iso-2022-jp", "iso-2022-jp-1", "iso-2022-jp-2",
                                      "iso-2022-jp-3", "csiso2022jp", "x-unknown", "unknown-8bit"})) {
    return ConvertJapaneseCode(bytes, jcSjis);
  }
  if (IsOneOf(name, {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932", "ms932", "csshiftjis"})) {
    return std::string(bytes);
  }
  if (IsOneOf(name, {"euc-jp", "x-euc-jp", "euc_jp", "eucjp", "cseucpkdfmtjapanese"})) return EucToSjis(bytes);
  // Upper case: the converter knows where a UTF-8 character it cannot map ends by that name.
  if (auto converted = ConvertCharset(bytes, "CP932", UpperAscii(name).c_str(), Sj("〓"))) return *converted;
  return ConvertJapaneseCode(bytes, jcSjis);
}

std::string HtmlToText(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  bool pendingBlank = false;
  auto newLine = [&] {
    while (!out.empty() && out.back() == ' ') out.pop_back();
    out += "\r\n";
    pendingBlank = false;
  };
  std::size_t pos = 0;
  while (pos < html.size()) {
    const char c = html[pos];
    if (c == '<') {
      if (html.substr(pos, 4) == "<!--") {
        const std::size_t end = html.find("-->", pos + 4);
        pos = end == std::string_view::npos ? html.size() : end + 3;
        continue;
      }
      const std::size_t end = html.find('>', pos + 1);
      if (end == std::string_view::npos) break;  // a tag cut off by the end of the mail shows nothing
      std::size_t nameEnd = pos + 1;
      while (nameEnd < end && !IsBlank(html[nameEnd]) && html[nameEnd] != '>' &&
             !(html[nameEnd] == '/' && nameEnd > pos + 1)) {
        ++nameEnd;
      }
      const std::string tagName = LowerAscii(html.substr(pos + 1, nameEnd - pos - 1));
      pos = end + 1;
      if (tagName == "script" || tagName == "style" || tagName == "head" || tagName == "title") {
        const std::string closing = "</" + tagName;
        const std::string lowerRest = LowerAscii(html.substr(pos));
        const std::size_t close = lowerRest.find(closing);
        if (close == std::string::npos) break;
        const std::size_t closeEnd = html.find('>', pos + close);
        pos = closeEnd == std::string_view::npos ? html.size() : closeEnd + 1;
        continue;
      }
      if (BreaksLine(tagName)) {
        newLine();
      } else if (tagName == "td" || tagName == "th") {
        pendingBlank = !out.empty() && out.back() != '\n';
      }
      continue;
    }
    if (IsBlank(c)) {
      pendingBlank = !out.empty() && out.back() != '\n';
      ++pos;
      continue;
    }
    if (pendingBlank) out += ' ';
    pendingBlank = false;
    if (c == '&') {
      if (auto entity = ReadEntity(html, pos)) {
        out += *entity;
        continue;
      }
    }
    const bool twoBytes = IsSjisLeadByte(static_cast<unsigned char>(c)) && pos + 1 < html.size();
    out.append(html.substr(pos, twoBytes ? 2 : 1));
    pos += twoBytes ? 2 : 1;
  }
  // Runs of empty lines from nested blocks read as one.
  std::string text;
  int emptyRun = 0;
  for (const auto& line : SplitLines(out)) {
    const std::string trimmed = TrimRight(line);
    emptyRun = trimmed.empty() ? emptyRun + 1 : 0;
    if (emptyRun > 1 || (trimmed.empty() && text.empty())) continue;
    text += trimmed;
    text += "\r\n";
  }
  return text;
}

std::string WithoutMailFooter(std::string_view text, const std::vector<std::string>& footerLines) {
  std::vector<std::string> lines = SplitLines(text);
  while (!lines.empty() && Trim(lines.back()).empty()) lines.pop_back();
  const std::size_t count = footerLines.size();
  if (count == 0 || lines.size() < count) return std::string(text);
  const std::size_t start = lines.size() - count;
  constexpr std::size_t kAddressLine = 4;  // the download page moves; the other lines do not
  for (std::size_t i = 0; i < count; ++i) {
    if (i == kAddressLine) continue;
    if (TrimRight(lines[start + i]) != footerLines[i]) return std::string(text);
  }
  lines.resize(start);
  return JoinLines(lines);
}

}  // namespace mf
