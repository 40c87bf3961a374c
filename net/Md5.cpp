#include "net/Md5.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <stdexcept>

namespace mf {
namespace {

std::string Hex(const unsigned char* bytes, unsigned length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("MD5 is not available from libcrypto");
  }
  return Hex(digest, length);
}

std::string HmacMd5Hex(std::string_view key, std::string_view message) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
           message.size(), digest, &length) == nullptr) {
    throw std::runtime_error("HMAC-MD5 is not available from libcrypto");
  }
  return Hex(digest, length);
}

}  // namespace mf
