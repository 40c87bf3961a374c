#pragma once

#include <openssl/types.h>

#include <memory>

namespace mf::tls {

struct ContextFree {
  void operator()(SSL_CTX* ctx) const;
};
using ContextPtr = std::unique_ptr<SSL_CTX, ContextFree>;

// The context every client session starts from: TLS 1.2 or later, and the
// peer's certificate checked against the trust store at OpenSSL's default
// paths, which honour SSL_CERT_FILE and SSL_CERT_DIR.
//
// Reading a system's bundle of authorities takes tens of milliseconds, on
// the event loop's thread, for every connection. So one context is shared
// by the sessions for as long as those paths name the same trust file,
// unchanged; a file that is named anew, replaced, changed, made or removed
// is read again before the next session starts. Each call returns its own
// reference; null when no context can be made (OpenSSL's error queue says
// why).
ContextPtr ClientContext();

}  // namespace mf::tls
