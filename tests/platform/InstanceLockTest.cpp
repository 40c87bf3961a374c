#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Files.h"
#include "platform/InstanceLock.h"

namespace mf::platform {
namespace {

// A runtime folder that is not there (a session set up wrong) must not make
// a first start take itself for a second one and quit without a word.
TEST(InstanceLock, OneCopyPerSessionAndAMissingRuntimeFolderIsNoOtherCopy) {
  TemporaryFolder folder;
  for (const std::string runtime : {folder.Path(), folder.Path() + "missing"}) {
    SCOPED_TRACE(runtime);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("DISPLAY", ":lock-test", 1);
    InstanceLock first("MFMailLockTest");
    EXPECT_TRUE(first.Acquired());
    EXPECT_FALSE(first.HeldByAnother());
    InstanceLock second("MFMailLockTest");
    EXPECT_FALSE(second.Acquired());
    EXPECT_TRUE(second.HeldByAnother());
  }
}

}  // namespace
}  // namespace mf::platform
