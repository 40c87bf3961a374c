#include "base/Base64.h"

#include <array>
#include <cstdint>

namespace mf {

namespace {

constexpr std::int8_t kInvalid = -1;
constexpr std::int8_t kPad = -2;

constexpr std::array<std::int8_t, 256> MakeBase64Table() {
  std::array<std::int8_t, 256> table{};
  for (auto& value : table) value = kInvalid;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  table['='] = kPad;
  return table;
}

constexpr std::array<std::int8_t, 256> kBase64 = MakeBase64Table();

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return;
  unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
  if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
  out += kAlphabet[(v >> 18) & 63];
  out += kAlphabet[(v >> 12) & 63];
  out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
  out += '=';
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  AppendBase64(out, bytes);
  return out;
}

std::size_t Base64DecodeInPlace(char* line, std::size_t length) {
  std::size_t in = 0;
  while (in < length && IsBlank(line[in])) ++in;
  std::size_t out = 0;

  // Whole groups of four alphabet characters make up nearly every line; the
  // general loop below only has to deal with the rest of the line.
  while (in + 4 <= length) {
    const auto* p = reinterpret_cast<const unsigned char*>(line + in);
    const int a = kBase64[p[0]], b = kBase64[p[1]], c = kBase64[p[2]], d = kBase64[p[3]];
    if ((a | b | c | d) < 0) break;
    const std::uint32_t bits = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                               (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
    line[out] = static_cast<char>(bits >> 16);
    line[out + 1] = static_cast<char>(bits >> 8);
    line[out + 2] = static_cast<char>(bits);
    out += 3;
    in += 4;
  }

  std::uint32_t bits = 0;
  int positions = 0;  // characters of the current group, padding included
  int dataChars = 0;  // alphabet characters before the group's first "="
  bool padded = false;
  auto flush = [&] {
    // Two characters hold one byte, three hold two, four hold three.
    const int bytes = dataChars >= 2 ? dataChars - 1 : 0;
    bits <<= 6 * (4 - dataChars);
    if (bytes >= 1) line[out++] = static_cast<char>(bits >> 16);
    if (bytes >= 2) line[out++] = static_cast<char>(bits >> 8);
    if (bytes >= 3) line[out++] = static_cast<char>(bits);
    bits = 0;
    positions = dataChars = 0;
    padded = false;
  };
  for (; in < length; ++in) {
    const char ch = line[in];
    if (IsBlank(ch)) break;
    const int value = kBase64[static_cast<unsigned char>(ch)];
    if (value == kInvalid) continue;
    if (value == kPad) {
      padded = true;
    } else if (!padded) {
      bits = (bits << 6) | static_cast<std::uint32_t>(value);
      ++dataChars;
    }
    if (++positions == 4) flush();
  }
  if (positions > 0) flush();
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string bytes(text);
  bytes.resize(Base64DecodeInPlace(bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace mf
