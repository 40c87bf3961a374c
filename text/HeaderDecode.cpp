#include <optional>
#include <string>

#include "base/Base64.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

struct EncodedWord {
  std::string charset;  // upper case, RFC 2231 language suffix removed
  std::string bytes;    // the decoded payload
  std::size_t end = 0;  // position after the closing "?="
};

bool IsLinearWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// RFC 2047 section 4.2; an "=" that does not start a hexadecimal pair is kept.
std::string DecodeQ(std::string_view payload) {
  std::string out;
  out.reserve(payload.size());
  for (std::size_t i = 0; i < payload.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(payload[i]);
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < payload.size() && HexValue(payload[i + 1]) >= 0 && HexValue(payload[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(payload[i + 1]) * 16 + HexValue(payload[i + 2]));
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

enum class WordRead { Word, NotAWord, NoMoreWords };

// Reads "=?charset?e?payload?=" at `start`. A text that is not a word is
// passed over, so every input ends; when no closing "?=" follows, no later
// word can be complete either and the scan stops, keeping it linear.
WordRead ReadEncodedWord(const std::string& text, std::size_t start, EncodedWord& word) {
  const std::size_t charsetStart = start + 2;
  const std::size_t charsetEnd = text.find('?', charsetStart);
  if (charsetEnd == std::string::npos) return WordRead::NoMoreWords;
  if (charsetEnd == charsetStart) return WordRead::NotAWord;
  std::string_view charset = std::string_view(text).substr(charsetStart, charsetEnd - charsetStart);
  for (char c : charset) {
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '=') {
      return WordRead::NotAWord;
    }
  }
  if (charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return WordRead::NotAWord;
  const char encoding = text[charsetEnd + 1];
  if (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q') return WordRead::NotAWord;
  const std::size_t payloadStart = charsetEnd + 3;
  const std::size_t payloadEnd = text.find("?=", payloadStart);
  if (payloadEnd == std::string::npos) return WordRead::NoMoreWords;
  std::string_view payload = std::string_view(text).substr(payloadStart, payloadEnd - payloadStart);
  word.bytes = encoding == 'B' || encoding == 'b' ? Base64Decode(payload) : DecodeQ(payload);
  const std::size_t language = charset.find('*');
  word.charset = UpperAscii(charset.substr(0, language));
  word.end = payloadEnd + 2;
  return WordRead::Word;
}

bool IsJapaneseCharset(const std::string& charset) {
  return StartsWith(charset, "ISO-2022-JP") || charset == "SHIFT_JIS" || charset == "SHIFT-JIS" ||
         charset == "X-SJIS" || charset == "SJIS" || charset == "CP932" || charset == "WINDOWS-31J" ||
         charset == "MS_KANJI" || charset == "EUC-JP" || charset == "X-EUC-JP" || charset == "EUCJP" ||
         charset == "US-ASCII" || charset == "ASCII";
}

constexpr std::string_view kGetaUtf8 = "\xE3\x80\x93";  // 〓
constexpr std::string_view kGetaSjis = "\x81\xAC";

// Any other charset through UTF-8 into code page 932; false when iconv does
// not know the charset.
bool ConvertWithIconv(const std::string& charset, std::string_view bytes, std::string& sjis) {
  const bool isUtf8 = charset == "UTF-8" || charset == "UTF8";
  std::optional<std::string> utf8;
  if (!isUtf8) {
    utf8 = ConvertCharset(bytes, "UTF-8", charset.c_str(), kGetaUtf8);
    if (!utf8) return false;
  }
  auto converted = ConvertCharset(isUtf8 ? bytes : std::string_view(*utf8), "CP932", "UTF-8", kGetaSjis);
  if (!converted) return false;
  sjis = std::move(*converted);
  return true;
}

std::string ToShiftJis(const std::string& charset, std::string bytes) {
  // Some senders end a word with a NUL, which would cut the header short.
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  std::string sjis;
  if (!IsJapaneseCharset(charset) && ConvertWithIconv(charset, bytes, sjis)) return sjis;
  if ((charset == "EUC-JP" || charset == "X-EUC-JP" || charset == "EUCJP") &&
      DetectJapaneseCode(bytes) == jcEucOrSjis) {
    return EucToSjis(bytes);
  }
  return ConvertJapaneseCode(bytes, jcSjis);
}

}  // namespace

// Adjacent encoded words (only white space between them) join without that
// white space (RFC 2047 section 6.2), and the bytes of neighbours in the same
// charset are converted together, because some senders split a character or
// a JIS escape across two words.
void DecodeHeaderWords(std::string& text) {
  if (text.find("=?") == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  std::string pendingCharset;
  std::string pendingBytes;
  bool pending = false;
  auto flush = [&] {
    if (pending) out += ToShiftJis(pendingCharset, std::move(pendingBytes));
    pending = false;
    pendingBytes.clear();
  };

  std::size_t position = 0;
  while (true) {
    const std::size_t start = text.find("=?", position);
    if (start == std::string::npos) break;
    EncodedWord word;
    const WordRead read = ReadEncodedWord(text, start, word);
    if (read == WordRead::NoMoreWords) break;
    if (read == WordRead::NotAWord) {
      flush();
      out.append(text, position, start + 2 - position);
      position = start + 2;
      continue;
    }
    bool onlyWhite = true;
    for (std::size_t i = position; i < start; ++i) onlyWhite = onlyWhite && IsLinearWhite(text[i]);
    const bool adjacent = pending && onlyWhite;
    if (adjacent && word.charset == pendingCharset) {
      pendingBytes += word.bytes;
    } else {
      flush();
      if (!adjacent) out.append(text, position, start - position);
      pending = true;
      pendingCharset = word.charset;
      pendingBytes = std::move(word.bytes);
    }
    position = word.end;
  }
  flush();
  out.append(text, position, std::string::npos);
  text = std::move(out);
}

}  // namespace mf
