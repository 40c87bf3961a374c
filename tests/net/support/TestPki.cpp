#include "tests/net/support/TestPki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace mf::test {
namespace {

constexpr long kDay = 24L * 60 * 60;

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (key == nullptr) throw std::runtime_error("test pki: key");
  return key;
}

std::string Pem(X509* cert) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, cert);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return text;
}

std::string Pem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return text;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (extension == nullptr) throw std::runtime_error("test pki: extension " + value);
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

X509* NewCertificate(const std::string& commonName, EVP_PKEY* key, long serial, long fromSeconds, long toSeconds) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), fromSeconds);
  X509_gmtime_adj(X509_getm_notAfter(cert), toSeconds);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  return cert;
}

}  // namespace

struct TestPki::Authority {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  explicit Authority(const std::string& name) {
    key = NewKey();
    cert = NewCertificate(name, key, 1, -kDay, 30 * kDay);
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    AddExtension(cert, cert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert, cert, NID_subject_key_identifier, "hash");
    X509_sign(cert, key, EVP_sha256());
  }
  ~Authority() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
  Authority(const Authority&) = delete;
  Authority& operator=(const Authority&) = delete;
};

TestPki::TestPki()
    : authority_(std::make_unique<Authority>("MFMail Test Authority")),
      stranger_(std::make_unique<Authority>("Unknown Authority")),
      authorityPem_(Pem(authority_->cert)) {}

TestPki::~TestPki() = default;

bool TestPki::WriteAuthority(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(authorityPem_.data(), 1, authorityPem_.size(), file) == authorityPem_.size();
  return std::fclose(file) == 0 && ok;
}

ServerCertificate TestPki::Issue(const std::string& dnsName, const std::string& ipAddress, Issuer issuer,
                                 Validity validity) const {
  static long serial = 100;
  const Authority& by = issuer == Issuer::TestAuthority ? *authority_ : *stranger_;
  EVP_PKEY* key = NewKey();
  const bool expired = validity == Validity::Expired;
  X509* cert = NewCertificate(dnsName, key, ++serial, expired ? -10 * kDay : -kDay, expired ? -5 * kDay : 10 * kDay);
  X509_set_issuer_name(cert, X509_get_subject_name(by.cert));
  std::string names = "DNS:" + dnsName;
  if (!ipAddress.empty()) names += ",IP:" + ipAddress;
  AddExtension(cert, by.cert, NID_subject_alt_name, names);
  AddExtension(cert, by.cert, NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(cert, by.cert, NID_ext_key_usage, "serverAuth");
  AddExtension(cert, by.cert, NID_authority_key_identifier, "keyid:always");
  X509_sign(cert, by.key, EVP_sha256());
  ServerCertificate result{Pem(cert) + Pem(by.cert), Pem(key)};
  X509_free(cert);
  EVP_PKEY_free(key);
  return result;
}

}  // namespace mf::test
