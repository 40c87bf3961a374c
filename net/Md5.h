#pragma once

#include <string>
#include <string_view>

namespace mf {

// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104) as 32 lower-case hexadecimal
// digits, the form APOP and CRAM-MD5 send. The servers define those log-ins
// over MD5; it is not meant as a security primitive here. A key longer than
// the 64-byte block is first hashed, as RFC 2104 says.
std::string Md5Hex(std::string_view bytes);
std::string HmacMd5Hex(std::string_view key, std::string_view message);

}  // namespace mf
