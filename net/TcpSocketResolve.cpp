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

namespace mf {

namespace {

// Socket error numbers and the errno values they stand for; the first
// entry of a number gives its text.
struct ErrnoNumber {
  int errnoValue;
  int socketError;
};

constexpr ErrnoNumber kErrnoNumbers[] = {
    {EINTR, 10004}, {EBADF, 10009}, {EACCES, 10013}, {EPERM, 10013}, {EFAULT, 10014}, {EINVAL, 10022},
    {EMFILE, 10024}, {ENFILE, 10024}, {EAGAIN, 10035}, {EINPROGRESS, 10036}, {EALREADY, 10037},
    {ENOTSOCK, 10038}, {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040}, {EPROTOTYPE, 10041}, {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051}, {ENETRESET, 10052},
    // Writing to a connection the peer has torn down.
    {ECONNABORTED, 10053}, {EPIPE, 10053}, {ECONNRESET, 10054}, {ENOBUFS, 10055}, {ENOMEM, 10055},
    {EISCONN, 10056}, {ENOTCONN, 10057}, {ESHUTDOWN, 10058}, {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062}, {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066}, {EUSERS, 10068}, {EDQUOT, 10069}, {ESTALE, 10070}, {EREMOTE, 10071},
};

}  // namespace

std::string SocketErrorText(int error) {
  switch (error) {
    case 0: return std::strerror(0);
    case wsa::kHostNotFound: return gai_strerror(EAI_NONAME);
    case wsa::kTryAgain: return gai_strerror(EAI_AGAIN);
    case wsa::kNoRecovery: return gai_strerror(EAI_FAIL);
#ifdef EAI_NODATA
    case wsa::kNoData: return gai_strerror(EAI_NODATA);
#endif
    default: break;
  }
  for (const ErrnoNumber& entry : kErrnoNumbers) {
    if (entry.socketError == error) return std::strerror(entry.errnoValue);
  }
  return "Unknown socket error";
}

int SocketErrorFromErrno(int e) {
  if (e == 0) return 0;
  for (const ErrnoNumber& entry : kErrnoNumbers) {
    if (entry.errnoValue == e) return entry.socketError;
  }
  return wsa::kInvalidArgument;  // unknown causes read as a bad argument
}

int SocketErrorFromResolver(int gaiError) {
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
    case EAI_SYSTEM: return SocketErrorFromErrno(errno);
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

std::vector<SocketAddress> ResolveHost(const std::string& host) {
  if (host.empty() || host.size() > kMaxHostLength) {
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  }
  if (auto literal = SocketAddress::FromLiteral(host)) return {*literal};
  if (LooksDotted(host)) throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
  int error = 0;
  std::vector<SocketAddress> found = LookUpHost(host, error);
  if (found.empty()) {
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d", host, error),
                           error);
  }
  return found;
}

std::string LocalHostName() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) throw ESocketException("gethostname failed");
  return name.data();
}

}  // namespace mf
