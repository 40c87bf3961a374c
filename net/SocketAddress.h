#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// One IPv4 or IPv6 address with a port, in the form the socket calls take.
class SocketAddress {
 public:
  // "192.0.2.1" (blanks around each number allowed), "2001:db8::1" or "[2001:db8::1]";
  // nothing for a name or a malformed address.
  static std::optional<SocketAddress> FromLiteral(std::string_view text);
  static SocketAddress FromRaw(const sockaddr* raw, socklen_t size);

  int Family() const { return storage_.ss_family; }
  void SetPort(std::uint16_t port);
  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage_); }
  socklen_t Size() const { return size_; }
  // The address without the port: "127.0.0.1", "::1".
  std::string Text() const;
  // 0.0.0.0 or ::, the "any address" a socket is not bound to.
  bool IsAny() const;

  bool operator==(const SocketAddress& other) const;

 private:
  sockaddr_storage storage_{};
  socklen_t size_ = 0;
};

// Four dot-separated decimal numbers 0-255, blanks around each allowed.
// `address` is in host byte order.
bool ParseDottedAddress(std::string_view text, std::uint32_t& address);
// Only digits, dots and blanks: meant as an IPv4 address, valid or not.
bool LooksDotted(std::string_view text);

// Blocking lookup of IPv6 and IPv4 addresses: every distinct address in the
// resolver's order, or none with `error` set to the socket error number.
std::vector<SocketAddress> LookUpHost(const std::string& host, int& error);

// The order to try the addresses in: the first address's family first, then
// the families taking turns, so one family that does not answer costs one
// attempt, not all of its addresses.
std::vector<SocketAddress> InterleaveFamilies(std::vector<SocketAddress> addresses);

}  // namespace mf
