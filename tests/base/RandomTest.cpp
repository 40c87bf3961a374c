#include <gtest/gtest.h>

#include "base/Random.h"

namespace mf {
namespace {

TEST(RandomBelow, ReducesADrawBelowTenThousandModuloN) {
  ScriptedRandom random;
  random.PushAll(9999, 7, 10004);
  EXPECT_EQ(RandomBelow(random, 4), 9999 % 4);
  EXPECT_EQ(RandomBelow(random, 5), 2);
  EXPECT_EQ(RandomBelow(random, 10), 4);  // the scripted value is taken below 10000 first
}

TEST(RandomBelow, ZeroOrNegativeRangeGivesZeroInsteadOfDividing) {
  MersenneRandom random(1);
  EXPECT_EQ(RandomBelow(random, 0), 0);
  EXPECT_EQ(RandomBelow(random, -3), 0);
  EXPECT_EQ(RandomBelow(random, 1), 0);
}

TEST(RandomBelow, SameSeedSameSequence) {
  MersenneRandom a(42), b(42);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(RandomBelow(a, 1000), RandomBelow(b, 1000));
}

TEST(RandomBelow, StaysInRange) {
  MersenneRandom random(7);
  for (int i = 0; i < 1000; ++i) {
    int value = RandomBelow(random, 3);
    EXPECT_GE(value, 0);
    EXPECT_LT(value, 3);
  }
}

}  // namespace
}  // namespace mf
