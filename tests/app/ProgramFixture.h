#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Program.h"
#include "platform/Files.h"
#include "platform/qt/QtEventLoop.h"

namespace mf {

// The whole program started on a fresh program folder that holds the
// starter characters, so that character windows exist too.
class ProgramFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("MFMAIL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    source_ = source;
    std::filesystem::copy(std::filesystem::path(source) / "assets", std::filesystem::path(folder_.Path()),
                          std::filesystem::copy_options::recursive);
    ::setenv("MFMAIL_HOME", folder_.Path().c_str(), 1);
    program_ = std::make_unique<Program>(loop_, "");
  }
  void TearDown() override {
    program_.reset();
    ::unsetenv("MFMAIL_HOME");
  }

  std::string source_;  // the source tree
  platform::TemporaryFolder folder_;
  platform::QtEventLoop loop_;
  std::unique_ptr<Program> program_;
};

}  // namespace mf
