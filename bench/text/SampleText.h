#pragma once

#include <cstddef>
#include <string>

namespace mf::bench {

// About 20 MB of deterministic mail-like Shift_JIS: lines of kanji, kana,
// punctuation and ASCII words, all inside JIS X 0208 so that iconv converts
// every byte.
inline std::string MakeSampleText(std::size_t targetBytes = 20 * 1024 * 1024) {
  std::string text;
  text.reserve(targetBytes + 256);
  unsigned state = 12345;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  auto put = [&text](int a, int b) {
    text += static_cast<char>(a);
    text += static_cast<char>(b);
  };
  static const char* const kWords[] = {"Re:", "MFMail", "2026", "OK", "http://example.jp/", "(test)", "a-b"};
  while (text.size() < targetBytes) {
    std::size_t lineStart = text.size();
    while (text.size() - lineStart < 72) {
      unsigned kind = next(10);
      if (kind < 4) {  // kanji, level 1
        int lead = 0x88 + static_cast<int>(next(0x98 - 0x88));
        int trail = 0x40 + static_cast<int>(next(0xBC));
        if (trail >= 0x7F) ++trail;
        if (lead == 0x88 && trail < 0x9F) trail = 0x9F + static_cast<int>(next(0x5E));
        put(lead, trail);
      } else if (kind < 7) {  // hiragana
        put(0x82, 0x9F + static_cast<int>(next(0x53)));
      } else if (kind < 8) {  // katakana
        int trail = 0x40 + static_cast<int>(next(0x56));
        if (trail >= 0x7F) ++trail;
        put(0x83, trail);
      } else if (kind < 9) {
        put(0x81, next(2) ? 0x41 : 0x42);  // 、 。
      } else {
        text += ' ';
        text += kWords[next(7)];
        text += ' ';
      }
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace mf::bench
