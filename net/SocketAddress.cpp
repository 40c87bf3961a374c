#include "net/SocketAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "net/TcpSocket.h"

namespace mf {

std::optional<SocketAddress> SocketAddress::FromLiteral(std::string_view text) {
  SocketAddress result;
  std::uint32_t v4 = 0;
  if (ParseDottedAddress(text, v4)) {
    auto* in = reinterpret_cast<sockaddr_in*>(&result.storage_);
    in->sin_family = AF_INET;
    in->sin_addr.s_addr = htonl(v4);
    result.size_ = sizeof(sockaddr_in);
    return result;
  }
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
  if (text.find(':') == std::string_view::npos || text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&result.storage_);
  if (inet_pton(AF_INET6, std::string(text).c_str(), &in6->sin6_addr) != 1) return std::nullopt;
  in6->sin6_family = AF_INET6;
  result.size_ = sizeof(sockaddr_in6);
  return result;
}

SocketAddress SocketAddress::FromRaw(const sockaddr* raw, socklen_t size) {
  SocketAddress result;
  result.size_ = std::min<socklen_t>(size, sizeof result.storage_);
  std::memcpy(&result.storage_, raw, result.size_);
  return result;
}

void SocketAddress::SetPort(std::uint16_t port) {
  if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = htons(port);
  if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = htons(port);
}

std::string SocketAddress::Text() const {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (Family() == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr, text.data(), text.size());
  } else if (Family() == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr, text.data(), text.size());
  }
  return text.data();
}

bool SocketAddress::IsAny() const {
  if (Family() == AF_INET) return reinterpret_cast<const sockaddr_in*>(&storage_)->sin_addr.s_addr == INADDR_ANY;
  if (Family() == AF_INET6) {
    return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_addr);
  }
  return true;
}

bool SocketAddress::operator==(const SocketAddress& other) const {
  return size_ == other.size_ && std::memcmp(&storage_, &other.storage_, size_) == 0;
}

bool ParseDottedAddress(std::string_view text, std::uint32_t& address) {
  std::uint32_t value = 0;
  std::size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    unsigned number = 0;
    int digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      number = number * 10 + static_cast<unsigned>(text[i] - '0');
      if (++digits > 3 || number > 255) return false;
      ++i;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    value = (value << 8) | number;
    if (part < 3) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  address = value;
  return true;
}

bool LooksDotted(std::string_view text) {
  bool digit = false;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else if (c != '.' && c != ' ') {
      return false;
    }
  }
  return digit && text.find('.') != std::string_view::npos;
}

std::vector<SocketAddress> LookUpHost(const std::string& host, int& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // No AI_ADDRCONFIG: it hides ::1 on a machine whose only IPv6 is the
  // loopback, and an address family that cannot connect just fails its turn.
  addrinfo* list = nullptr;
  int result = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  std::vector<SocketAddress> addresses;
  if (result != 0) {
    error = SocketErrorFromResolver(result);
    return addresses;
  }
  for (addrinfo* item = list; item; item = item->ai_next) {
    if (item->ai_family != AF_INET && item->ai_family != AF_INET6) continue;
    SocketAddress address = SocketAddress::FromRaw(item->ai_addr, item->ai_addrlen);
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }
  freeaddrinfo(list);
  error = addresses.empty() ? wsa::kNoData : 0;
  return addresses;
}

std::vector<SocketAddress> InterleaveFamilies(std::vector<SocketAddress> addresses) {
  if (addresses.empty()) return addresses;
  std::vector<SocketAddress> first;
  std::vector<SocketAddress> other;
  for (auto& address : addresses) {
    (address.Family() == addresses.front().Family() ? first : other).push_back(address);
  }
  std::vector<SocketAddress> order;
  for (std::size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
    if (i < first.size()) order.push_back(first[i]);
    if (i < other.size()) order.push_back(other[i]);
  }
  return order;
}

}  // namespace mf
