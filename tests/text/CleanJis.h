#pragma once

#include <string>
#include <string_view>

namespace mf::testing {

// What is wrong with a JIS text that is to travel as ISO-2022-JP, or "" when
// nothing is: no byte 0x80 or above anywhere, and between ESC $ B and
// ESC ( J only whole pairs of bytes 0x21-0x7E. Shared by the tests and the
// conversion fuzz target.
inline std::string JisFault(std::string_view jis) {
  bool kanji = false;
  std::size_t pairBytes = 0;
  for (std::size_t i = 0; i < jis.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(jis[i]);
    const std::string at = " at " + std::to_string(i);
    if (c >= 0x80) return "8-bit byte" + at;
    if (c == 0x1B) {
      const std::string_view escape = jis.substr(i, 3);
      if (escape != "\x1B$B" && escape != "\x1B(J") return "unexpected escape" + at;
      if (kanji && pairBytes % 2 != 0) return "half a pair before an escape" + at;
      kanji = escape == "\x1B$B";
      pairBytes = 0;
      i += 2;
    } else if (kanji) {
      if (c < 0x21 || c > 0x7E) return "byte outside 0x21-0x7E in a kanji run" + at;
      ++pairBytes;
    }
  }
  if (kanji) return "ends in kanji mode";
  return "";
}

}  // namespace mf::testing
