// The client context is shared between sessions only while the trust store
// it was read from is unchanged: a replaced authority must never be trusted
// on from memory, nor a new one go unseen.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "net/TlsContext.h"
#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/net/support/TestPki.h"

namespace mf {
namespace {

using test::ScriptedServer;
using test::TestPki;

// Puts an environment variable back as it was.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) value_ = value;
  }
  ~SavedVariable() {
    if (value_) {
      ::setenv(name_, value_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  SavedVariable(const SavedVariable&) = delete;
  SavedVariable& operator=(const SavedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> value_;
};

class TrustContextTest : public ::testing::Test {
 protected:
  TrustContextTest() {
    ::setenv("SSL_CERT_FILE", TrustFile().c_str(), 1);
    ::setenv("SSL_CERT_DIR", folder_.Path().c_str(), 1);
  }

  std::string TrustFile() const { return folder_.Path() + "authority.pem"; }

  // Connects over implicit TLS to a server showing `certificate`; the
  // connect's error number.
  int Connect(const test::ServerCertificate& certificate) {
    ScriptedServer server;
    server.StartTls(certificate).Say("+OK ready\r\n").Start();
    Pop3Client client(loop_);
    client.SetHost("127.0.0.1");
    client.SetPort(server.PortText());
    client.SetSecurity(TlsMode::Implicit);
    int error = -1;
    client.OnRequestDone = [&](Pop3Client&, Pop3Request, std::uint16_t e) { error = e; };
    client.Connect();
    EXPECT_TRUE(loop_.RunUntil([&] { return error >= 0; }, std::chrono::seconds(15)));
    if (client.Connected()) client.Abort();
    return error;
  }

  SavedVariable savedFile_{"SSL_CERT_FILE"};
  SavedVariable savedDir_{"SSL_CERT_DIR"};
  platform::TemporaryFolder folder_;
  platform::PollEventLoop loop_;
  TestPki first_;
  TestPki second_;
};

TEST_F(TrustContextTest, SessionsShareOneContextUntilTheTrustStoreChanges) {
  ASSERT_TRUE(first_.WriteAuthority(TrustFile()));
  const std::string otherFile = folder_.Path() + "other.pem";
  ASSERT_TRUE(second_.WriteAuthority(otherFile));
  const std::string otherFolder = folder_.Path() + "other";
  ASSERT_TRUE(platform::CreateFolder(otherFolder));

  struct Step {
    const char* change;
    std::function<void()> make;
    bool readAgain;
  };
  const Step steps[] = {
      {"nothing", [] {}, false},
      {"the file replaced by another authority", [&] { ASSERT_TRUE(second_.WriteAuthority(TrustFile())); }, true},
      {"nothing again", [] {}, false},
      {"SSL_CERT_FILE naming another file", [&] { ::setenv("SSL_CERT_FILE", otherFile.c_str(), 1); }, true},
      {"SSL_CERT_DIR naming another folder", [&] { ::setenv("SSL_CERT_DIR", otherFolder.c_str(), 1); }, true},
      {"the file removed", [&] { ASSERT_EQ(std::remove(otherFile.c_str()), 0); }, true},
      {"still no file", [] {}, false},
      {"the file made again", [&] { ASSERT_TRUE(first_.WriteAuthority(otherFile)); }, true},
  };
  tls::ContextPtr before = tls::ClientContext();
  ASSERT_NE(before, nullptr);
  for (const Step& step : steps) {
    SCOPED_TRACE(step.change);
    step.make();
    tls::ContextPtr now = tls::ClientContext();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now.get() != before.get(), step.readAgain);
    before = std::move(now);
  }
}

TEST_F(TrustContextTest, AReplacedAuthorityIsNoLongerTrusted) {
  ASSERT_TRUE(first_.WriteAuthority(TrustFile()));
  EXPECT_EQ(Connect(first_.Loopback()), 0);
  EXPECT_EQ(Connect(second_.Loopback()), tls::kUntrusted);

  ASSERT_TRUE(second_.WriteAuthority(TrustFile()));
  EXPECT_EQ(Connect(first_.Loopback()), tls::kUntrusted);
  EXPECT_EQ(Connect(second_.Loopback()), 0);

  // A trust file that is gone leaves nothing trusted.
  ASSERT_EQ(std::remove(TrustFile().c_str()), 0);
  EXPECT_EQ(Connect(second_.Loopback()), tls::kUntrusted);
}

}  // namespace
}  // namespace mf
