#include <string>
#include <vector>

#include "base/Base64.h"
#include "base/Text.h"
#include "text/Jconvert.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

// RFC 2047 allows 75 characters per encoded word; folding at 68 leaves room
// for the TAB and a little more on every continuation line.
constexpr std::size_t kLineLimit = 68;

struct WordStyle {
  const char* charset;
  bool quoted;  // Q encoding, else B
  const char* contentCharSet;
};

WordStyle StyleFor(HeaderLocale locale) {
  switch (locale) {
    case HeaderLocale::Japanese: return {"ISO-2022-JP", false, "ISO-2022-JP"};
    case HeaderLocale::ChineseSimplified: return {"GB2312", false, "GB2312"};
    case HeaderLocale::ChineseTraditional: return {"Big5", false, "Big5"};
    case HeaderLocale::Korean: return {"EUC-KR", false, "EUC-KR"};
    case HeaderLocale::Other: break;
  }
  return {"ISO-8859-1", true, "US-ASCII"};
}

bool IsSeparator(unsigned char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }
bool ForcesEncoding(unsigned char c) { return c < 0x20 || c >= 0x7F; }
bool QNeedsHex(unsigned char c) { return ForcesEncoding(c) || c == '=' || c == '?' || c == '_'; }

bool IsJisGraphic(char c) { return c > 0x20 && c < 0x7F; }

// The pieces an encoded word may not split: a JIS escape (together with the
// first kanji after an escape into kanji mode), a kanji pair, or a single
// byte. Each piece records whether kanji mode is on after it.
struct Piece {
  std::string_view bytes;
  bool doubleAfter;
};

std::vector<Piece> JisPieces(std::string_view run) {
  std::vector<Piece> pieces;
  bool isDouble = false;
  std::size_t i = 0;
  const std::size_t n = run.size();
  while (i < n) {
    std::size_t start = i;
    unsigned char c = static_cast<unsigned char>(run[i]);
    if (c == 0x1B) {
      std::size_t length = n - i < 3 ? n - i : 3;
      unsigned char kind = length > 1 ? static_cast<unsigned char>(run[i + 1]) : 0;
      if (kind == '$') isDouble = true;
      else if (kind == '(') isDouble = false;
      i += length;
      // An escape into kanji mode travels with its first kanji, so no word
      // ends right after it.
      if (isDouble && i + 1 < n && IsJisGraphic(run[i]) && IsJisGraphic(run[i + 1])) i += 2;
    } else if (isDouble && IsJisGraphic(run[i]) && i + 1 < n) {
      i += 2;
    } else {
      i += 1;
    }
    pieces.push_back({run.substr(start, i - start), isDouble});
  }
  return pieces;
}

// Other charsets: a byte 0x80 or above leads a two-byte character.
std::vector<Piece> DoubleBytePieces(std::string_view run) {
  std::vector<Piece> pieces;
  std::size_t i = 0;
  while (i < run.size()) {
    std::size_t length = static_cast<unsigned char>(run[i]) >= 0x80 && i + 1 < run.size() ? 2 : 1;
    pieces.push_back({run.substr(i, length), false});
    i += length;
  }
  return pieces;
}

// Writes a run as B-encoded words of at most kLineLimit columns each. Every
// word holds whole characters and, for JIS, ends in single-byte mode, so a
// reader that decodes word by word still sees proper text (RFC 2047 section 5).
void AppendBWords(std::string& out, std::string_view run, const std::string& prefix, bool jis) {
  const std::size_t groups = prefix.size() + 2 < kLineLimit ? (kLineLimit - prefix.size() - 2) / 4 : 0;
  const std::size_t capacity = groups < 3 ? 9 : groups * 3;
  static constexpr std::string_view kLeave = "\x1B(J";
  const std::vector<Piece> pieces = jis ? JisPieces(run) : DoubleBytePieces(run);

  std::string word;
  bool first = true;
  auto emit = [&] {
    if (!first) out += "\r\n\t";
    first = false;
    out += prefix;
    AppendBase64(out, word);
    out += "?=";
  };
  bool isDouble = false;
  std::string reopen = "\x1B$B";  // the escape that put the text into kanji mode
  for (const Piece& piece : pieces) {
    std::size_t closing = piece.doubleAfter ? kLeave.size() : 0;
    if (!word.empty() && word.size() + piece.bytes.size() + closing > capacity) {
      if (isDouble) word += kLeave;
      emit();
      word = isDouble ? reopen : std::string();
    }
    word += piece.bytes;
    if (piece.doubleAfter && piece.bytes.size() >= 3 && piece.bytes[0] == 0x1B) reopen.assign(piece.bytes.substr(0, 3));
    isDouble = piece.doubleAfter;
  }
  if (!word.empty() || first) emit();
}

// In a phrase an encoded word may hold only letters, digits and "!*+-/"
// as they are (RFC 2047 section 5 (3)); everything else is written in hex.
bool QPhraseNeedsHex(unsigned char c) {
  const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' ||
                     c == '*' || c == '+' || c == '-' || c == '/' || c == ' ';
  return !plain;
}

void AppendQWords(std::string& out, std::string_view run, const std::string& prefix, bool phrase = false) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += prefix;
  std::size_t column = prefix.size() + 2;
  for (char ch : run) {
    unsigned char c = static_cast<unsigned char>(ch);
    char piece[3];
    std::size_t length = 1;
    if (c == ' ') {
      piece[0] = '_';
    } else if (phrase ? QPhraseNeedsHex(c) : QNeedsHex(c)) {
      piece[0] = '=';
      piece[1] = kHex[c >> 4];
      piece[2] = kHex[c & 15];
      length = 3;
    } else {
      piece[0] = ch;
    }
    if (column + length > kLineLimit) {
      out += "?=\r\n\t";
      out += prefix;
      column = prefix.size() + 2;
    }
    out.append(piece, length);
    column += length;
  }
  out += "?=";
}

}  // namespace

HeaderLocale HeaderLocaleFromLanguageId(unsigned languageId) {
  constexpr unsigned kChinese = 0x04, kJapanese = 0x11, kKorean = 0x12, kSimplified = 0x02;
  const unsigned primary = languageId & 0x3FF;
  const unsigned sub = languageId >> 10;
  if (primary == kChinese) return sub == kSimplified ? HeaderLocale::ChineseSimplified : HeaderLocale::ChineseTraditional;
  if (primary == kJapanese) return HeaderLocale::Japanese;
  if (primary == kKorean) return HeaderLocale::Korean;
  return HeaderLocale::Other;
}

std::string HeaderCharSet(HeaderLocale locale) { return StyleFor(locale).contentCharSet; }

std::string EncodeHeaderText(std::string_view text, HeaderLocale locale) {
  const WordStyle style = StyleFor(locale);
  std::string source;
  if (locale == HeaderLocale::Japanese) {
    // Header text comes from the program itself, so it is never guessed to
    // be EUC-JP: half-width kana and kanji such as 髙 look like it.
    source = ProgramTextToJis(text);
  } else {
    source.assign(text);
  }
  const std::string prefix = std::string("=?") + style.charset + "?" + (style.quoted ? "Q" : "B") + "?";
  const bool jis = locale == HeaderLocale::Japanese;

  std::string out;
  out.reserve(source.size() * 2);
  std::size_t runStart = 0;
  std::size_t runEnd = 0;
  bool runOpen = false;
  auto closeRun = [&] {
    std::string_view run = std::string_view(source).substr(runStart, runEnd - runStart);
    if (style.quoted) AppendQWords(out, run, prefix);
    else AppendBWords(out, run, prefix, jis);
    runOpen = false;
  };

  const std::size_t n = source.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t separatorsStart = i;
    while (i < n && IsSeparator(static_cast<unsigned char>(source[i]))) ++i;
    const std::size_t wordStart = i;
    bool needsEncoding = false;
    while (i < n && !IsSeparator(static_cast<unsigned char>(source[i]))) {
      needsEncoding = needsEncoding || ForcesEncoding(static_cast<unsigned char>(source[i]));
      ++i;
    }
    if (needsEncoding) {
      if (!runOpen) {
        out.append(source, separatorsStart, wordStart - separatorsStart);
        runStart = wordStart;
        runOpen = true;
      }
      runEnd = i;
    } else {
      if (runOpen) closeRun();
      out.append(source, separatorsStart, i - separatorsStart);
    }
  }
  if (runOpen) closeRun();
  return out;
}

namespace {

// All of `text` as encoded words, blanks included.
std::string EncodeWholeText(std::string_view text, HeaderLocale locale) {
  const WordStyle style = StyleFor(locale);
  const std::string source = locale == HeaderLocale::Japanese ? ProgramTextToJis(text) : std::string(text);
  const std::string prefix = std::string("=?") + style.charset + "?" + (style.quoted ? "Q" : "B") + "?";
  std::string out;
  if (style.quoted) {
    AppendQWords(out, source, prefix, true);
  } else {
    AppendBWords(out, source, prefix, locale == HeaderLocale::Japanese);
  }
  return out;
}

}  // namespace

// RFC 5322 section 3.2.5: a name of atoms stands bare, one with a special
// is quoted. A name with 8-bit bytes becomes encoded words, and when its
// plain words hold a special too, all of it does: an encoded word may stand
// for an atom, never inside a quoted string (RFC 2047 section 5).
std::string FormatMailAddress(std::string_view name, std::string_view address, HeaderLocale locale) {
  const std::string trimmed = Trim(name);
  if (trimmed.empty()) return std::string(address);
  bool eightBit = false;
  for (char ch : trimmed) eightBit = eightBit || ForcesEncoding(static_cast<unsigned char>(ch));
  std::string display;
  if (!eightBit) {
    display = IsPlainPhrase(trimmed) ? trimmed : QuotedPhrase(trimmed);
  } else {
    bool plainWordsNeedQuotes = false;
    std::size_t i = 0;
    while (i < trimmed.size()) {
      const std::size_t start = i;
      bool encoded = false;
      while (i < trimmed.size() && !IsSeparator(static_cast<unsigned char>(trimmed[i]))) {
        encoded = encoded || ForcesEncoding(static_cast<unsigned char>(trimmed[i]));
        ++i;
      }
      if (!encoded && !IsPlainPhrase(std::string_view(trimmed).substr(start, i - start))) plainWordsNeedQuotes = true;
      while (i < trimmed.size() && IsSeparator(static_cast<unsigned char>(trimmed[i]))) ++i;
    }
    // Q words that EncodeHeaderText writes may keep specials as they are;
    // in a name they must not, so those locales encode the whole name.
    const bool whole = plainWordsNeedQuotes || StyleFor(locale).quoted;
    display = whole ? EncodeWholeText(trimmed, locale) : EncodeHeaderText(trimmed, locale);
  }
  return display + " <" + std::string(address) + ">";
}

}  // namespace mf
