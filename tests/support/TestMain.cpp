// The entry of every test program without windows. A program all of whose
// tests were skipped (no mail servers or X server here) says so with its
// exit code, so that CTest reports it as skipped instead of passed.
#include <gtest/gtest.h>

namespace {

// CTest's SKIP_RETURN_CODE of every test program (cmake/MFMail.cmake).
constexpr int kAllSkipped = 77;

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
  if (result == 0 && unit.failed_test_count() == 0 && unit.successful_test_count() == 0 &&
      unit.skipped_test_count() > 0) {
    return kAllSkipped;
  }
  return result;
}
