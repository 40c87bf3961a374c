#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/PollEventLoop.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/net/support/TestPki.h"

namespace mf::testing {

// A test authority trusted through SSL_CERT_FILE, as a user's system store
// would be, for the whole test program.
class TlsTestBase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pki_ = std::make_unique<test::TestPki>();
    folder_ = std::make_unique<platform::TemporaryFolder>();
    const std::string path = folder_->Path() + "authority.pem";
    ASSERT_TRUE(pki_->WriteAuthority(path));
    ::setenv("SSL_CERT_FILE", path.c_str(), 1);
    ::setenv("SSL_CERT_DIR", folder_->Path().c_str(), 1);
  }
  static void TearDownTestSuite() {
    pki_.reset();
    folder_.reset();
  }

  static const test::TestPki& Pki() { return *pki_; }

  // Runs the loop until `done`; false after the limit.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    return loop_.RunUntil(done, limit);
  }

  void WaitFor(const test::ScriptedServer& server) {
    ASSERT_TRUE(RunUntil([&] { return server.Finished(); }));
  }

  platform::PollEventLoop loop_;

 private:
  static inline std::unique_ptr<test::TestPki> pki_;
  static inline std::unique_ptr<platform::TemporaryFolder> folder_;
};

}  // namespace mf::testing
