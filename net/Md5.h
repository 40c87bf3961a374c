#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mf {

// MD5 message digest (RFC 1321). Used for the APOP log-in and CRAM-MD5, which
// the servers define over MD5; it is not meant as a security primitive.
class Md5 {
 public:
  using Digest = std::array<std::uint8_t, 16>;

  Md5();

  // Feeds more bytes; may be called any number of times before Finish.
  void Update(std::string_view bytes);
  void Update(const void* data, std::size_t length);

  // Pads, returns the digest and starts over for a new message.
  Digest Finish();

 private:
  void Reset();
  void Transform(const std::uint8_t* block);

  std::array<std::uint32_t, 4> state_{};
  std::array<std::uint8_t, 64> buffer_{};
  std::uint64_t length_ = 0;  // bytes fed so far
};

Md5::Digest Md5Of(std::string_view bytes);

// 32 lower-case hexadecimal digits, the form APOP and CRAM-MD5 send.
std::string Md5Hex(std::string_view bytes);
std::string DigestToHex(const Md5::Digest& digest);

// HMAC-MD5 (RFC 2104). A key longer than the 64-byte block is first hashed,
// as the RFC says; a caller that must cut long keys instead does so itself.
Md5::Digest HmacMd5(std::string_view key, std::string_view message);
std::string HmacMd5Hex(std::string_view key, std::string_view message);

}  // namespace mf
