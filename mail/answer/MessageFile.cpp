#include "mail/answer/MessageFile.h"

#include <optional>

#include "base/Base64.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/receive/MessageDecoder.h"
#include "mail/send/WireLines.h"
#include "mail/store/StoreRecords.h"
#include "mail/store/StoredHeaderBlock.h"
#include "platform/Files.h"
#include "text/Jconvert.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// RFC 5322 section 2.1.1 asks for lines of 78 characters where they can be
// folded; RFC 2045 section 6.8 for base64 lines of at most 76.
constexpr std::size_t kFoldColumn = 78;
constexpr std::size_t kBase64Line = 76;
// RFC 2231 sections are kept short enough for a line of their own.
constexpr std::size_t kSectionLength = 60;

// Whether the stored header block has a line for `name` at all (an inbox
// record has every line, empty or not; the program's own records have none
// for the fields it never writes there).
bool HasStoredField(std::string_view header, std::string_view name) {
  std::size_t pos = 0;
  while (pos <= header.size()) {
    std::size_t end = header.find(kCrLf, pos);
    if (end == std::string_view::npos) end = header.size();
    if (StartsWith(header.substr(pos, end - pos), name)) return true;
    pos = end + 2;
  }
  return false;
}

// Folds each physical line of a field longer than kFoldColumn before a
// blank, never right after the field name; a line without such a blank
// stays long (it still is far below 998 bytes for any stored value).
std::string Folded(const std::string& field) {
  std::string out;
  std::size_t start = 0;
  bool first = true;
  while (start <= field.size()) {
    std::size_t end = field.find(kCrLf, start);
    if (end == std::string::npos) end = field.size();
    std::string line = field.substr(start, end - start);
    const std::size_t earliest = first ? line.find(": ") + 2 : 1;
    while (line.size() > kFoldColumn) {
      std::size_t cut = line.find_last_of(" \t", kFoldColumn);
      if (cut == std::string::npos || cut < earliest) cut = line.find_first_of(" \t", kFoldColumn);
      if (cut == std::string::npos || cut < earliest) break;
      out += line.substr(0, cut);
      out += kCrLf;
      line.erase(0, cut);
    }
    out += line;
    if (end == field.size()) break;
    out += kCrLf;
    start = end + 2;
    first = false;
  }
  return out;
}

void AddField(std::string& out, std::string_view name, const std::string& value) {
  out += Folded(std::string(name) + ": " + value);
  out += kCrLf;
}

// An address field of the record as it goes on the wire. A value naming no
// mailbox ("undisclosed-recipients:;") is kept as text.
std::string AddressValue(const std::string& stored) {
  const std::vector<Mailbox> mailboxes = ReadMailboxList(stored);
  if (mailboxes.empty()) return EncodeHeaderText(stored);
  std::string value;
  for (const Mailbox& mailbox : mailboxes) {
    if (!value.empty()) value += ", ";
    value += FormatMailAddress(mailbox.name, mailbox.address);
  }
  return value;
}

void AppendBase64Lines(std::string& out, std::string_view bytes) {
  const std::string encoded = Base64Encode(bytes);
  for (std::size_t i = 0; i < encoded.size(); i += kBase64Line) {
    out.append(encoded, i, kBase64Line);
    out += kCrLf;
  }
}

// RFC 2045 section 2.7/2.8: 7bit and 8bit lines are at most 998 bytes and
// hold no NUL; anything else goes as base64.
bool NeedsBase64(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return true;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(kCrLf, start);
    if (end == std::string_view::npos) end = text.size();
    if (end - start > kMaxWireLineBytes) return true;
    start = end + 2;
  }
  return false;
}

struct TextPart {
  std::string charset;
  std::string encoding;
  std::string body;  // with its line ends, ready to follow the part's header
};

TextPart EncodeText(std::string_view storedText) {
  const std::string text = TextWithCrLf(TrimRight(storedText));
  TextPart part;
  std::string bytes;
  if (FitsIso2022Jp(text)) {
    part.charset = "ISO-2022-JP";
    part.encoding = "7bit";
    bytes = SjisToJis(text);
  } else {
    part.charset = "UTF-8";
    part.encoding = "8bit";
    bytes = SjisToUtf8(text);
  }
  if (NeedsBase64(bytes)) {
    part.encoding = "base64";
    AppendBase64Lines(part.body, bytes);
  } else {
    part.body = std::move(bytes);
  }
  return part;
}

bool IsAttrChar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '#': case '$': case '&': case '+': case '-': case '.': case '^': case '_': case '`':
    case '|': case '~':
      return true;
    default:
      return false;
  }
}

// RFC 2231 "UTF-8''" value of a name, in sections that each hold whole
// characters (readers such as Python's decode every section on its own).
std::vector<std::string> PercentSections(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::vector<std::string> sections(1);
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t length = 1;
    while (i + length < utf8.size() && (static_cast<unsigned char>(utf8[i + length]) & 0xC0) == 0x80) ++length;
    std::string piece;
    for (std::size_t k = i; k < i + length; ++k) {
      const unsigned char c = static_cast<unsigned char>(utf8[k]);
      if (IsAttrChar(c)) {
        piece += static_cast<char>(c);
      } else {
        piece += '%';
        piece += kHex[c >> 4];
        piece += kHex[c & 15];
      }
    }
    if (!sections.back().empty() && sections.back().size() + piece.size() > kSectionLength) sections.emplace_back();
    sections.back() += piece;
    i += length;
  }
  return sections;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F) return false;
  }
  return true;
}

void AppendAttachmentHeader(std::string& out, const std::string& name) {
  out += "Content-Type: application/octet-stream;\r\n";
  if (IsAscii(name)) {
    out += "\tname=" + QuotedPhrase(name) + "\r\n";
    out += "Content-Disposition: attachment;\r\n";
    out += "\tfilename=" + QuotedPhrase(name) + "\r\n";
  } else {
    // Readers that know no RFC 2231 take the encoded words of "name".
    out += "\tname=\"" + EncodeHeaderText(name) + "\"\r\n";
    out += "Content-Disposition: attachment;\r\n";
    const std::vector<std::string> sections = PercentSections(SjisToUtf8(name));
    if (sections.size() == 1) {
      out += "\tfilename*=UTF-8''" + sections.front() + "\r\n";
    } else {
      for (std::size_t i = 0; i < sections.size(); ++i) {
        out += "\tfilename*" + std::to_string(i) + "*=" + (i == 0 ? "UTF-8''" : "") + sections[i];
        out += i + 1 < sections.size() ? ";\r\n" : "\r\n";
      }
    }
  }
  out += "Content-Transfer-Encoding: base64\r\n\r\n";
}

// A boundary that no line of the text can equal: base64 never holds "=_",
// and the text is looked through for the rest.
std::string BoundaryFor(std::string_view text) {
  for (unsigned number = 0;; ++number) {
    const std::string boundary = "=_MFMail_part_" + std::to_string(number);
    if (text.find("--" + boundary) == std::string_view::npos) return boundary;
  }
}

}  // namespace

bool FitsIso2022Jp(std::string_view sjis) {
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(sjis[i]);
    if (c < 0x80) {
      if (c == 0x00 || c == 0x0E || c == 0x0F || c == 0x1B) return false;
      continue;
    }
    if (!IsSjisLeadByte(c) || i + 1 >= sjis.size()) return false;
    const unsigned char trail = static_cast<unsigned char>(sjis[++i]);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    // The JIS row of the pair: rows 9-15 hold the NEC specials, rows from
    // 85 on the NEC-selected IBM characters and user-defined ones.
    const int row = ((c - (c < 0xA0 ? 0x70 : 0xB0)) << 1) - (trail < 0x9F ? 1 : 0) - 0x20;
    if (row < 1 || (row > 8 && row < 16) || row > 84) return false;
  }
  return true;
}

MessageFile StoredMailAsMessage(std::string_view stored) {
  const StoredMailParts parts = SplitStoredMail(stored);
  const std::string_view header = parts.header;
  MessageFile message;
  std::string& out = message.bytes;

  const auto field = [&](std::string_view name) { return StoredFieldValue(header, name); };
  if (const std::string date = field("Date:"); !date.empty()) AddField(out, "Date", date);
  if (const std::string from = field("From:"); !from.empty()) AddField(out, "From", AddressValue(from));
  if (const std::string to = field("To:"); !to.empty()) AddField(out, "To", AddressValue(to));
  if (const std::string cc = field("Cc:"); !cc.empty()) AddField(out, "Cc", AddressValue(cc));
  out += Folded(EncodeHeaderText("Subject: " + field("Subject:")));
  out += kCrLf;
  if (const std::string id = field("Message-ID:"); !id.empty()) AddField(out, "Message-ID", id);
  if (const std::string value = field("In-Reply-To:"); !value.empty()) AddField(out, "In-Reply-To", value);
  if (const std::string value = field("References:"); !value.empty()) AddField(out, "References", value);
  const std::string mailer = HasStoredField(header, "X-Mailer:") ? field("X-Mailer:") : std::string(kThisMailer);
  if (!mailer.empty()) AddField(out, "X-Mailer", mailer);
  // Only this program's mail names a character; a received mail from
  // another program keeps in its record just the one that presented it.
  if (const std::string id = field("X-Character:"); !id.empty() && mailer == kThisMailer) {
    AddField(out, "X-CharacterID", id);
  }
  out += "MIME-Version: 1.0\r\n";

  const TextPart text = EncodeText(parts.text);
  const std::string textHeader = "Content-Type: text/plain; charset=\"" + text.charset +
                                 "\"\r\nContent-Transfer-Encoding: " + text.encoding + "\r\n";

  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  for (const std::string& path : AttachmentFilesOf(stored)) {
    std::optional<std::string> bytes = platform::ReadFile(path);
    if (!bytes) {
      message.missingFiles.push_back(path);
      continue;
    }
    files.emplace_back(platform::ExtractFileName(path), std::move(*bytes));
  }
  if (files.empty()) {
    out += textHeader;
    out += kCrLf;
    out += text.body;
    return message;
  }

  // Every part body ends in CR LF, which is the line end that belongs to
  // the delimiter after it (RFC 2046 section 5.1.1).
  const std::string boundary = BoundaryFor(text.body);
  out += "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"\r\n";
  out += "\r\nThis is a multi-part message in MIME format.\r\n";
  out += "--" + boundary + "\r\n";
  out += textHeader;
  out += kCrLf;
  out += text.body.empty() ? std::string(kCrLf) : text.body;
  for (const auto& [name, bytes] : files) {
    out += "--" + boundary + "\r\n";
    AppendAttachmentHeader(out, name);
    AppendBase64Lines(out, bytes);
    if (bytes.empty()) out += kCrLf;
  }
  out += "--" + boundary + "--\r\n";
  return message;
}

}  // namespace mf
