#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Address helpers shared by the socket and its resolvers.
namespace mf {

// Four dot-separated decimal numbers 0-255, blanks around each allowed.
// `address` is in host byte order.
bool ParseDottedAddress(std::string_view text, std::uint32_t& address);
// Only digits, dots and blanks: meant as an address, valid or not.
bool LooksDotted(std::string_view text);
std::string DottedText(std::uint32_t address);
// Blocking IPv4 lookup; every distinct address in the resolver's order, or
// none with `error` set to the socket error number.
std::vector<std::uint32_t> LookUpHost(const std::string& host, int& error);

}  // namespace mf
