#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Japanese code detection and conversion between JIS (ISO-2022-JP),
// Shift_JIS (code page 932) and EUC-JP, and the RFC 2047 encoded words that
// carry header text. Every routine takes any byte string and never fails:
// bytes that fit no rule are copied, except that the JIS and EUC-JP writers
// put "〓" where a character has no JIS X 0208 code, so that their output is
// always valid.
namespace mf {

// What DetectJapaneseCode finds; also the target of ConvertJapaneseCode.
// The values are part of the program's vocabulary (mftool prints them).
enum JapaneseCode : int {
  jcAscii = 0,      // no 8-bit byte and no kanji escape
  jcBinary = 1,     // a byte 0x00-0x07 or 0xFF
  jcJis = 2,        // ESC $ B seen
  jcOldJis = 3,     // ESC $ @ seen
  jcEuc = 4,        // EUC-JP
  jcSjis = 5,       // Shift_JIS
  jcEucOrSjis = 6,  // 8-bit text that fits both
};

// "jcAscii" ... "jcEucOrSjis"; "" for a value outside 0-6.
const char* JapaneseCodeName(JapaneseCode code);

JapaneseCode DetectJapaneseCode(std::string_view text);

// Converts to jcJis, jcEuc or jcSjis; any other target, and input detected as
// ASCII, binary, the target itself or ambiguous (jcEucOrSjis), comes back unchanged.
std::string ConvertJapaneseCode(std::string_view text, JapaneseCode target);

// Text the program holds is Shift_JIS by definition; JIS or plain ASCII passes unchanged.
// Used for everything the program itself sends (body lines, header text);
// never guesses EUC-JP, as ConvertJapaneseCode may for a text of unknown origin.
std::string ProgramTextToJis(std::string_view text);

// A JIS X 0208 row/cell pair (7-bit) as two Shift_JIS bytes, and back. The
// way back always gives a pair of 0x21-0x7E: the IBM extension characters of
// code page 932 (0xFA40-0xFC4B) as their NEC-selected twins (rows 0x79-0x7C,
// which JisToSjisPair turns into 0xED40-0xEEFC), anything else without a
// row and cell (the user-defined area 0xF040-0xF9FC, a byte that is no lead
// or no trail) as 〓 (0x22 0x2E).
std::string JisToSjisPair(unsigned char row, unsigned char cell);
std::string SjisToJisPair(unsigned char lead, unsigned char trail);

// Half-width katakana to the full-width JIS pair, joining a following voiced
// or semi-voiced mark where one exists. EucKanaToJis starts at the 0x8E byte,
// SjisKanaToJis at the kana byte; both leave `position` on the first byte
// they did not consume.
std::string EucKanaToJis(std::string_view text, std::size_t& position);
std::string SjisKanaToJis(std::string_view text, std::size_t& position);

// Whole-text converters. The JIS writers switch back with ESC ( J before
// every CR or LF and at the end, so each line ends in single-byte mode.
// SjisToJis, SjisToEuc and EucToJis write each character as SjisToJisPair
// does; a byte that starts no character becomes 〓 on its own, so the byte
// after it (a line break, say) is read for itself.
std::string JisToEuc(std::string_view text);
std::string JisToSjis(std::string_view text);
std::string EucToJis(std::string_view text);
std::string EucToSjis(std::string_view text);
std::string SjisToJis(std::string_view text);
std::string SjisToEuc(std::string_view text);

// The language of the locale a header is written for; it picks the charset
// of the encoded words. The program always writes Japanese.
enum class HeaderLocale {
  Japanese,            // ISO-2022-JP, B
  ChineseSimplified,   // GB2312, B
  ChineseTraditional,  // Big5, B
  Korean,              // EUC-KR, B
  Other,               // ISO-8859-1, Q
};

// Maps a Windows-style language identifier (primary language in the low 10
// bits, sub-language above) onto the rows above.
HeaderLocale HeaderLocaleFromLanguageId(unsigned languageId);

// The charset an SMTP client announces in its Content-Type once it has
// encoded headers for this locale ("ISO-2022-JP", ..., "US-ASCII" for Other).
std::string HeaderCharSet(HeaderLocale locale);

// Replaces each run of words that holds control or 8-bit bytes by encoded
// words, folding with CR LF TAB so that no encoded-word line passes 68
// columns. Shift_JIS input is first converted to JIS for the Japanese locale.
std::string EncodeHeaderText(std::string_view text, HeaderLocale locale = HeaderLocale::Japanese);

// "name <address>", the name quoted or encoded as needed; a bare address
// when the name is empty.
std::string FormatMailAddress(std::string_view name, std::string_view address,
                              HeaderLocale locale = HeaderLocale::Japanese);

// Decodes the RFC 2047 encoded words of a received header value, in place,
// into Shift_JIS.
void DecodeHeaderWords(std::string& text);

}  // namespace mf
