#include "mail/send/WireLines.h"

#include <algorithm>

#include "base/Text.h"
#include "text/Jconvert.h"

namespace mf {

namespace {

constexpr char kEsc = '\x1b';
// ESC ( B: the mode every wire line ends in.
constexpr std::string_view kToAscii = "\x1b(B";
// Room for a mode escape at the start, one two-byte character and the
// switch back at the end: below this no piece could make progress.
constexpr std::size_t kLeastPieceBytes = 16;

// The length of the escape sequence at `at` (ESC ( x, ESC $ x, ESC $ ( x),
// or 0 when there is none.
std::size_t EscapeLength(std::string_view jis, std::size_t at) {
  if (jis[at] != kEsc || at + 2 >= jis.size()) return 0;
  if (jis[at + 1] == '(') return 3;
  if (jis[at + 1] != '$') return 0;
  if (jis[at + 2] != '(') return 3;
  return at + 3 < jis.size() ? 4 : 0;
}

bool IsAscii(std::string_view mode) { return mode.empty() || mode == kToAscii; }
bool IsTwoByte(std::string_view mode) { return mode.size() >= 2 && mode[1] == '$'; }

// Splits one converted line into pieces of at most `maxBytes`. Escapes are
// written only in front of the first character they govern, so a piece
// never ends in a switch it does not use; every piece ends in ASCII, and a
// piece that continues another character set starts with its escape again.
void SplitJisLine(std::string_view jis, std::size_t maxBytes, std::vector<std::string>& out) {
  // A line that fits goes out exactly as the converter wrote it.
  if (jis.size() + (!jis.empty() && jis[0] == '.' ? 1 : 0) <= maxBytes) {
    out.emplace_back(jis);
    return;
  }
  std::string mode;       // the character set in force in the converted line
  std::string pieceMode;  // the one in force at the end of `piece`
  std::string piece;
  auto close = [&] {
    if (!IsAscii(pieceMode)) piece += kToAscii;
    out.push_back(std::move(piece));
    piece.clear();
    pieceMode.clear();
  };

  std::size_t at = 0;
  while (at < jis.size()) {
    if (const std::size_t escape = EscapeLength(jis, at); escape > 0) {
      mode.assign(jis.substr(at, escape));
      at += escape;
      continue;
    }
    const std::size_t length = IsTwoByte(mode) ? std::min<std::size_t>(2, jis.size() - at) : 1;
    const std::string_view character = jis.substr(at, length);
    auto cost = [&] {
      const std::size_t switchTo = pieceMode == mode || (IsAscii(pieceMode) && IsAscii(mode)) ? 0 : mode.size();
      return piece.size() + switchTo + character.size() + (IsAscii(mode) ? 0 : kToAscii.size());
    };
    // A piece starting with "." gets the client's stuffed dot in front.
    auto limit = [&] {
      const bool leadingDot = piece.empty() ? (IsAscii(mode) && character[0] == '.') : piece[0] == '.';
      return leadingDot ? maxBytes - 1 : maxBytes;
    };
    if (!piece.empty() && cost() > limit()) close();
    if (!(pieceMode == mode || (IsAscii(pieceMode) && IsAscii(mode)))) {
      piece += mode;
      pieceMode = mode;
    }
    piece.append(character);
    at += length;
  }
  close();
}

}  // namespace

std::vector<std::string> BodyWireLines(std::string_view text, std::size_t maxBytes) {
  maxBytes = std::max(maxBytes, kLeastPieceBytes);
  std::vector<std::string> wire;
  for (std::string line : SplitLines(text)) {
    // Bytes 0x00-0x07 and 0xFF are no text, but the converter takes a line
    // holding one for binary and would pass its kanji on as raw 8-bit bytes.
    for (char& c : line) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte <= 0x07 || byte == 0xFF) c = ' ';
    }
    SplitJisLine(ProgramTextToJis(line), maxBytes, wire);
  }
  return wire;
}

}  // namespace mf
