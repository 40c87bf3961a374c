#include "net/Md5.h"

#include <algorithm>
#include <cstring>

namespace mf {

namespace {

constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

std::uint32_t RotateLeft(std::uint32_t value, int count) {
  return (value << count) | (value >> (32 - count));
}

}  // namespace

Md5::Md5() { Reset(); }

void Md5::Reset() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  length_ = 0;
}

void Md5::Transform(const std::uint8_t* block) {
  std::uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    // Little-endian regardless of the host, as RFC 1321 defines the words.
    words[i] = std::uint32_t(block[i * 4]) | std::uint32_t(block[i * 4 + 1]) << 8 |
               std::uint32_t(block[i * 4 + 2]) << 16 | std::uint32_t(block[i * 4 + 3]) << 24;
  }
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const std::uint32_t next = b + RotateLeft(a + f + kSines[i] + words[g], kShifts[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }

void Md5::Update(const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t filled = length_ % 64;
  length_ += length;
  if (filled > 0) {
    const std::size_t take = std::min(length, 64 - filled);
    std::memcpy(buffer_.data() + filled, bytes, take);
    bytes += take;
    length -= take;
    filled += take;
    if (filled < 64) return;
    Transform(buffer_.data());
  }
  while (length >= 64) {
    Transform(bytes);
    bytes += 64;
    length -= 64;
  }
  if (length > 0) std::memcpy(buffer_.data(), bytes, length);
}

Md5::Digest Md5::Finish() {
  const std::uint64_t bits = length_ * 8;
  static const std::uint8_t kPadding[64] = {0x80};
  const std::size_t filled = length_ % 64;
  Update(kPadding, filled < 56 ? 56 - filled : 120 - filled);
  std::uint8_t lengthBytes[8];
  for (int i = 0; i < 8; ++i) lengthBytes[i] = std::uint8_t(bits >> (8 * i));
  Update(lengthBytes, 8);
  Digest digest;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[i * 4 + j] = std::uint8_t(state_[i] >> (8 * j));
  }
  Reset();
  return digest;
}

Md5::Digest Md5Of(std::string_view bytes) {
  Md5 md5;
  md5.Update(bytes);
  return md5.Finish();
}

std::string DigestToHex(const Md5::Digest& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(32);
  for (std::uint8_t byte : digest) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0x0f]);
  }
  return text;
}

std::string Md5Hex(std::string_view bytes) { return DigestToHex(Md5Of(bytes)); }

Md5::Digest HmacMd5(std::string_view key, std::string_view message) {
  std::array<std::uint8_t, 64> block{};
  if (key.size() > block.size()) {
    const Md5::Digest hashed = Md5Of(key);
    std::memcpy(block.data(), hashed.data(), hashed.size());
  } else {
    std::memcpy(block.data(), key.data(), key.size());
  }
  std::array<std::uint8_t, 64> inner, outer;
  for (std::size_t i = 0; i < block.size(); ++i) {
    inner[i] = block[i] ^ 0x36;
    outer[i] = block[i] ^ 0x5c;
  }
  Md5 md5;
  md5.Update(inner.data(), inner.size());
  md5.Update(message);
  const Md5::Digest innerDigest = md5.Finish();
  md5.Update(outer.data(), outer.size());
  md5.Update(innerDigest.data(), innerDigest.size());
  return md5.Finish();
}

std::string HmacMd5Hex(std::string_view key, std::string_view message) {
  return DigestToHex(HmacMd5(key, message));
}

}  // namespace mf
