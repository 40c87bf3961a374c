#include "platform/RandomSeed.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace mf::platform {
namespace {

std::vector<int> Draws(std::string_view salt) {
  MersenneRandom random(7);
  SeedForRun(random, salt);
  std::vector<int> draws;
  for (int i = 0; i < 8; ++i) draws.push_back(random.Next(1000000));
  return draws;
}

TEST(RandomSeedTest, AFixedSeedGivesEachSaltItsOwnRepeatableDraws) {
  ::setenv("MFMAIL_RANDOM_SEED", "1", 1);
  EXPECT_EQ(Draws("char1"), Draws("char1"));
  EXPECT_NE(Draws("char1"), Draws("char2"));
  ::setenv("MFMAIL_RANDOM_SEED", "2", 1);
  const auto other = Draws("char1");
  ::setenv("MFMAIL_RANDOM_SEED", "1", 1);
  EXPECT_NE(other, Draws("char1"));
  // Not a number: the clock, as without the variable.
  for (const char* value : {"", "x1", "1x"}) {
    ::setenv("MFMAIL_RANDOM_SEED", value, 1);
    MersenneRandom random(7);
    MersenneRandom untouched(7);
    SeedForRun(random, "char1");
    std::vector<int> a, b;
    for (int i = 0; i < 8; ++i) a.push_back(random.Next(1000000)), b.push_back(untouched.Next(1000000));
    EXPECT_NE(a, b) << "'" << value << "' left the generator as it was";
  }
  ::unsetenv("MFMAIL_RANDOM_SEED");
}

}  // namespace
}  // namespace mf::platform
