#pragma once

// Certificates for TLS tests, made in memory when a test starts: a test
// authority and server certificates signed by it (or by a stranger), valid
// or expired, for the loopback names or another host.
#include <memory>
#include <string>

namespace mf::test {

struct ServerCertificate {
  std::string certificatePem;  // the server's certificate, then its issuer's
  std::string keyPem;
};

class TestPki {
 public:
  enum class Issuer { TestAuthority, Stranger };
  enum class Validity { Current, Expired };

  TestPki();
  ~TestPki();
  TestPki(const TestPki&) = delete;
  TestPki& operator=(const TestPki&) = delete;

  // The test authority's certificate, for SSL_CERT_FILE.
  const std::string& AuthorityPem() const { return authorityPem_; }
  // Writes AuthorityPem() into `path`.
  bool WriteAuthority(const std::string& path) const;

  // A certificate naming `dnsName` and, when `ipAddress` is not empty, that
  // address.
  ServerCertificate Issue(const std::string& dnsName, const std::string& ipAddress,
                          Issuer issuer = Issuer::TestAuthority, Validity validity = Validity::Current) const;
  // localhost and 127.0.0.1, from the test authority, valid now.
  ServerCertificate Loopback() const { return Issue("localhost", "127.0.0.1"); }

 private:
  struct Authority;
  std::unique_ptr<Authority> authority_;
  std::unique_ptr<Authority> stranger_;
  std::string authorityPem_;
};

}  // namespace mf::test
