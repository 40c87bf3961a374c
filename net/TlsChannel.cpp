#include "net/TlsChannel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/NetErrors.h"
#include "net/TlsContext.h"
#include "net/SocketAddress.h"

namespace mf {

namespace {

// What the network may take from us in one go; larger writes come out in
// several records anyway.
constexpr int kReadChunk = 16384;

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

int VerifyError(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return tls::kExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return tls::kWrongHost;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return tls::kUntrusted;
    default:
      return tls::kBadCertificate;
  }
}

std::string LibraryErrorText() {
  unsigned long code = ERR_get_error();
  std::string text;
  while (code != 0) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    if (!text.empty()) text += "; ";
    text += buffer;
    code = ERR_get_error();
  }
  return text;
}

}  // namespace

struct TlsChannel::Handles {
  tls::ContextPtr ctx;
  std::unique_ptr<SSL, SslFree> ssl;
  BIO* fromNetwork = nullptr;  // owned by ssl
  BIO* toNetwork = nullptr;    // owned by ssl
};

TlsChannel::TlsChannel(const std::string& host) : handles_(std::make_unique<Handles>()) {
  ERR_clear_error();
  if (!Setup(host)) {
    std::string text = LibraryErrorText();
    Fail(tls::kSetupFailed, text.empty() ? "cannot check the host name '" + host + "'" : text);
  }
}

bool TlsChannel::Setup(const std::string& host) {
  handles_->ctx = tls::ClientContext();
  SSL_CTX* ctx = handles_->ctx.get();
  if (ctx == nullptr) return false;

  handles_->ssl.reset(SSL_new(ctx));
  SSL* ssl = handles_->ssl.get();
  if (ssl == nullptr) return false;
  BIO* fromNetwork = BIO_new(BIO_s_mem());
  BIO* toNetwork = BIO_new(BIO_s_mem());
  if (fromNetwork == nullptr || toNetwork == nullptr) {
    BIO_free(fromNetwork);
    BIO_free(toNetwork);
    return false;
  }
  // An empty memory BIO means "nothing yet", not end of stream.
  BIO_set_mem_eof_return(fromNetwork, -1);
  SSL_set_bio(ssl, fromNetwork, toNetwork);
  handles_->fromNetwork = fromNetwork;
  handles_->toNetwork = toNetwork;
  SSL_set_connect_state(ssl);

  // An IPv4 or IPv6 address is checked against the certificate's IP
  // addresses; a name against its DNS names, and it is sent as SNI.
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
  if (auto address = SocketAddress::FromLiteral(host)) {
    return X509_VERIFY_PARAM_set1_ip_asc(param, address->Text().c_str()) == 1;
  }
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return !host.empty() && SSL_set1_host(ssl, host.c_str()) == 1 && SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
}

TlsChannel::~TlsChannel() = default;

void TlsChannel::Fail(int error, std::string detail) {
  if (error_ != 0) return;
  error_ = error;
  detail_ = std::move(detail);
}

void TlsChannel::FailFromLibrary(int sslError) {
  SSL* ssl = handles_->ssl.get();
  long verify = SSL_get_verify_result(ssl);
  if (verify != X509_V_OK) {
    ERR_clear_error();
    return Fail(VerifyError(verify), X509_verify_cert_error_string(verify));
  }
  std::string text = LibraryErrorText();
  if (sslError == SSL_ERROR_ZERO_RETURN || (sslError == SSL_ERROR_SYSCALL && text.empty())) {
    return Fail(secure_ ? tls::kStreamBroken : tls::kClosedInHandshake, "the peer ended the TLS session");
  }
  Fail(secure_ ? tls::kStreamBroken : tls::kHandshakeFailed, text.empty() ? "TLS protocol error" : text);
}

TlsChannel::Status TlsChannel::Handshake() {
  if (error_ != 0) return Status::Failed;
  if (secure_) return Status::Ready;
  SSL* ssl = handles_->ssl.get();
  ERR_clear_error();
  int result = SSL_do_handshake(ssl);
  if (result == 1) {
    secure_ = true;
    return Status::Ready;
  }
  int sslError = SSL_get_error(ssl, result);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) return Status::Pending;
  FailFromLibrary(sslError);
  return Status::Failed;
}

void TlsChannel::PutNetworkBytes(std::string_view bytes) {
  if (handles_->fromNetwork == nullptr || bytes.empty()) return;
  BIO_write(handles_->fromNetwork, bytes.data(), static_cast<int>(bytes.size()));
}

TlsChannel::Status TlsChannel::ReadPlain(std::string& plain) {
  if (error_ != 0) return Status::Failed;
  SSL* ssl = handles_->ssl.get();
  char chunk[kReadChunk];
  for (;;) {
    ERR_clear_error();
    int count = SSL_read(ssl, chunk, sizeof chunk);
    if (count > 0) {
      plain.append(chunk, static_cast<std::size_t>(count));
      continue;
    }
    int sslError = SSL_get_error(ssl, count);
    if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) return Status::Ready;
    if (sslError == SSL_ERROR_ZERO_RETURN) return Status::Closed;
    FailFromLibrary(sslError);
    return Status::Failed;
  }
}

bool TlsChannel::WritePlain(std::string_view plain) {
  if (error_ != 0 || !secure_) return false;
  SSL* ssl = handles_->ssl.get();
  while (!plain.empty()) {
    ERR_clear_error();
    // A memory BIO takes everything, so a write never waits.
    int count = SSL_write(ssl, plain.data(), static_cast<int>(plain.size()));
    if (count <= 0) {
      FailFromLibrary(SSL_get_error(ssl, count));
      return false;
    }
    plain.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

std::string TlsChannel::TakeNetworkBytes() {
  std::string bytes;
  if (handles_->toNetwork == nullptr) return bytes;
  std::size_t pending = BIO_ctrl_pending(handles_->toNetwork);
  if (pending == 0) return bytes;
  bytes.resize(pending);
  int count = BIO_read(handles_->toNetwork, bytes.data(), static_cast<int>(pending));
  bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  return bytes;
}

}  // namespace mf
