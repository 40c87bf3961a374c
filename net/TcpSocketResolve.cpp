// Error texts and the name resolvers under TcpSocket::Connect.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstring>

#include "net/TcpSocket.h"
#include "net/TcpSocketDotted.h"

namespace mf {

std::string WSocketErrorDesc(int error) {
  switch (error) {
    case 0: return "No Error";
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    default: return "Not a WinSock error";
  }
}

int WSocketErrorFromErrno(int e) {
  switch (e) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    // Writing to a connection the peer has torn down.
    case ECONNABORTED: case EPIPE: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 10022;  // unknown causes read as a bad argument
  }
}

int WSocketErrorFromResolver(int gaiError) {
  switch (gaiError) {
    case 0: return 0;
    case EAI_NONAME: return 11001;
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return 11004;
#endif
    case EAI_AGAIN: return 11002;
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return WSocketErrorFromErrno(errno);
    default: return 11003;
  }
}

namespace {

constexpr std::size_t kMaxNameLength = 32;  // port, service and protocol names
constexpr std::size_t kMaxHostLength = 256;
// What a failing service or protocol database lookup reports.
constexpr int kDatabaseMiss = 11004;

std::string Format(const char* pattern, const std::string& text, int number) {
  std::array<char, 512> out{};
  std::snprintf(out.data(), out.size(), pattern, text.c_str(), number);
  return out.data();
}

}  // namespace

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

std::string DottedText(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

int WSocketResolveProto(const std::string& proto) {
  if (proto.empty() || proto.size() >= kMaxNameLength) {
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  }
  if (std::isdigit(static_cast<unsigned char>(proto[0]))) return std::atoi(proto.c_str());
  std::array<char, 1024> scratch{};
  protoent entry{};
  protoent* found = nullptr;
  if (getprotobyname_r(proto.c_str(), &entry, scratch.data(), scratch.size(), &found) == 0 && found) {
    return found->p_proto;
  }
  // A minimal system may lack the protocol database; the two names every
  // caller uses are fixed by IANA anyway.
  if (proto == "tcp") return IPPROTO_TCP;
  if (proto == "udp") return IPPROTO_UDP;
  throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d", proto, kDatabaseMiss),
                         kDatabaseMiss);
}

int WSocketResolvePort(const std::string& port, const std::string& proto) {
  if (port.empty() || port.size() >= kMaxNameLength) throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (proto.empty() || proto.size() >= kMaxNameLength) throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (std::isdigit(static_cast<unsigned char>(port[0]))) {
    // Digits up to the first other character: "25abc" is port 25, so a
    // port typed with a stray letter still works.
    int value = 0;
    for (char c : port) {
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      value = value * 10 + (c - '0');
      if (value > 65535) break;
    }
    return value;
  }
  std::array<char, 1024> scratch{};
  servent entry{};
  servent* found = nullptr;
  if (getservbyname_r(port.c_str(), proto.c_str(), &entry, scratch.data(), scratch.size(), &found) == 0 && found) {
    return ntohs(static_cast<std::uint16_t>(found->s_port));
  }
  // The mail protocols work even where /etc/services is missing.
  if (port == "smtp") return 25;
  if (port == "pop3") return 110;
  throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d", port, kDatabaseMiss),
                         kDatabaseMiss);
}

std::uint32_t WSocketResolveHost(const std::string& host) {
  if (host.empty() || host.size() > kMaxHostLength) {
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  }
  std::uint32_t address = 0;
  if (ParseDottedAddress(host, address)) return address;
  if (LooksDotted(host)) throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
  int error = 0;
  std::vector<std::uint32_t> found = LookUpHost(host, error);
  if (found.empty()) {
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d", host, error),
                           error);
  }
  return found.front();
}

std::vector<std::uint32_t> LookUpHost(const std::string& host, int& error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int result = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  std::vector<std::uint32_t> addresses;
  if (result != 0) {
    error = WSocketErrorFromResolver(result);
    return addresses;
  }
  for (addrinfo* item = list; item; item = item->ai_next) {
    if (item->ai_family != AF_INET) continue;
    auto* in = reinterpret_cast<sockaddr_in*>(item->ai_addr);
    std::uint32_t address = ntohl(in->sin_addr.s_addr);
    bool seen = false;
    for (auto a : addresses) seen = seen || a == address;
    if (!seen) addresses.push_back(address);
  }
  freeaddrinfo(list);
  error = addresses.empty() ? 11004 : 0;
  return addresses;
}

std::string LocalHostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) throw ESocketException("Winsock.GetHostName failed");
  return name.data();
}

}  // namespace mf
