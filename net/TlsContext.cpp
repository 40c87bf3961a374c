#include "net/TlsContext.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <tuple>

namespace mf::tls {

namespace {

// Where the default trust store is read from, and what the trust file was
// when it was read. The directory is looked up certificate by certificate
// as sessions need them, so new files there are found without a reload.
struct TrustPlaces {
  std::string file;
  std::string dir;
  bool filePresent = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modifiedSeconds = 0;
  long long modifiedNanoseconds = 0;

  auto Tie() const {
    return std::tie(file, dir, filePresent, device, inode, size, modifiedSeconds, modifiedNanoseconds);
  }
  bool operator==(const TrustPlaces& other) const { return Tie() == other.Tie(); }
};

std::string EnvironmentOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : (fallback != nullptr ? fallback : "");
}

TrustPlaces CurrentTrustPlaces() {
  TrustPlaces places;
  places.file = EnvironmentOr(X509_get_default_cert_file_env(), X509_get_default_cert_file());
  places.dir = EnvironmentOr(X509_get_default_cert_dir_env(), X509_get_default_cert_dir());
  struct stat info {};
  if (::stat(places.file.c_str(), &info) == 0) {
    places.filePresent = true;
    places.device = info.st_dev;
    places.inode = info.st_ino;
    places.size = info.st_size;
    places.modifiedSeconds = info.st_mtim.tv_sec;
    places.modifiedNanoseconds = info.st_mtim.tv_nsec;
  }
  return places;
}

ContextPtr MakeContext() {
  ContextPtr ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) return nullptr;
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  if (SSL_CTX_set_default_verify_paths(ctx.get()) != 1) return nullptr;
  return ctx;
}

ContextPtr NewReference(SSL_CTX* ctx) {
  SSL_CTX_up_ref(ctx);
  return ContextPtr(ctx);
}

}  // namespace

void ContextFree::operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }

ContextPtr ClientContext() {
  // The library is set up before the shared context below exists, so at
  // exit the context is released before the library cleans up after itself.
  static const bool libraryReady = OPENSSL_init_ssl(0, nullptr) == 1;
  static std::mutex lock;
  static TrustPlaces readFrom;
  static ContextPtr shared;
  if (!libraryReady) return nullptr;

  const TrustPlaces now = CurrentTrustPlaces();
  std::lock_guard<std::mutex> guard(lock);
  if (!shared || !(now == readFrom)) {
    ContextPtr made = MakeContext();
    if (!made) return nullptr;
    shared = std::move(made);
    readFrom = now;
  }
  return NewReference(shared.get());
}

}  // namespace mf::tls
