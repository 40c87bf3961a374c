#include "base/Random.h"

#include <chrono>

namespace mf {

void RandomGenerator::SeedFromClock() {
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count() ^
               std::chrono::system_clock::now().time_since_epoch().count();
  Seed(static_cast<std::uint32_t>(ticks ^ (ticks >> 32)));
}

int RandomBelow(RandomGenerator& random, int n) {
  if (n <= 0) return 0;
  return random.Next(10000) % n;
}

MersenneRandom::MersenneRandom() { SeedFromClock(); }

int MersenneRandom::Next(int range) {
  if (range <= 1) return 0;
  std::uniform_int_distribution<int> distribution(0, range - 1);
  return distribution(engine_);
}

int ScriptedRandom::Next(int range) {
  if (range <= 1) return 0;
  if (script_.empty()) return fallback_.Next(range);
  int value = script_.front();
  script_.pop_front();
  value %= range;
  return value < 0 ? value + range : value;
}

}  // namespace mf
