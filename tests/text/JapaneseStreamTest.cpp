#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "text/JapaneseStream.h"

namespace mf {
namespace {

std::string InPieces(std::string_view text, JapaneseCode target, std::size_t pieceSize) {
  JapaneseCodeStream stream(target);
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += pieceSize) out += stream.Put(text.substr(i, pieceSize));
  return out + stream.Finish();
}

struct StreamCase {
  const char* name;
  std::string text;
};

std::vector<StreamCase> Cases() {
  const std::string sjisLines = Sj("メールの本文です。\r\n髙橋さん、ｶﾞｲﾄﾞ ABC\r\n﨑\r\n") + "\x82\r\n";
  std::string longSjis;
  for (int i = 0; i < 200; ++i) longSjis += sjisLines;
  const std::string jis = ConvertJapaneseCode(longSjis, jcJis);
  return {
      {"shift_jis", longSjis},
      {"jis", jis},
      {"euc-jp", ConvertJapaneseCode(longSjis, jcEuc)},
      // Kanji mode runs on over line breaks, and escapes straddle them.
      {"jis mode across lines", jis + "\x1B$BF|\r\nK\\\r\n\x1B(Jab\r\n\x1B$\r\nF|\x1B(\n" + jis},
      {"ascii, then kanji late", std::string(3000, 'a') + "\r\n" + longSjis},
      {"undecided, then shift_jis", std::string(2000, '\xB1') + "\r\n" + longSjis},
      {"binary", std::string("\x01\x02") + longSjis},
      {"no line breaks", std::string(5000, '\x93')},
      {"ascii only", std::string(10000, 'x')},
      {"empty", ""},
  };
}

TEST(JapaneseCodeStreamTest, PiecesGiveWhatTheWholeTextGives) {
  for (const auto& c : Cases()) {
    for (JapaneseCode target : {jcJis, jcSjis, jcEuc}) {
      const std::string whole = ConvertJapaneseCode(c.text, target);
      for (std::size_t pieceSize : {1, 2, 3, 7, 512, 513, 4096, 1 << 20}) {
        ASSERT_EQ(InPieces(c.text, target, pieceSize), whole)
            << c.name << ", target " << JapaneseCodeName(target) << ", pieces of " << pieceSize;
      }
    }
  }
}

// Random bytes weighted towards escapes, line breaks and lead bytes, cut at
// random places. Every other text starts as JIS and has only 7-bit bytes,
// so that the JIS readers' mode has to carry over between pieces.
TEST(JapaneseCodeStreamTest, RandomTextInRandomPieces) {
  std::mt19937 random(20261208);
  const std::string eightBit = "\x1B$(B@J\r\n\x82\xA0\x8E\x8F\xB1\xDE\xE0\xFA\xFB\xFC\xFD\xA1\x40\x7F\x21 a";
  const std::string sevenBit = "\x1B\x1B\x1B$(B@J\r\n\r\n\x21\x30\x7E F|K\\";
  for (int round = 0; round < 300; ++round) {
    const std::string& alphabet = round % 2 ? eightBit : sevenBit;
    std::string text(700 + random() % 2000, '\0');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    if (round % 2 == 0) text.insert(0, "\x1B$B");
    for (JapaneseCode target : {jcJis, jcSjis, jcEuc}) {
      JapaneseCodeStream stream(target);
      std::string out;
      for (std::size_t i = 0; i < text.size();) {
        const std::size_t size = 1 + random() % 300;
        out += stream.Put(std::string_view(text).substr(i, size));
        i += size;
      }
      out += stream.Finish();
      ASSERT_EQ(out, ConvertJapaneseCode(text, target)) << "round " << round << ", target " << target;
    }
  }
}

}  // namespace
}  // namespace mf
