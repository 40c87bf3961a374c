#pragma once

#include <cstdint>
#include <deque>
#include <random>

namespace mf {

// The program's pseudo-random source. Windows and engines take one by
// reference so that tests can fix the draws.
class RandomGenerator {
 public:
  virtual ~RandomGenerator() = default;
  // A value drawn uniformly from 0 .. range-1 (range >= 1).
  virtual int Next(int range) = 0;
  virtual void Seed(std::uint32_t seed) = 0;
  void SeedFromClock();
};

// A value from 0 to 9999 reduced modulo n; 0 when n is not positive, so a
// degenerate range (a screen narrower than 2 pixels) never divides by zero.
int RandomBelow(RandomGenerator& random, int n);

class MersenneRandom final : public RandomGenerator {
 public:
  MersenneRandom();  // seeded from the clock
  explicit MersenneRandom(std::uint32_t seed) : engine_(seed) {}
  int Next(int range) override;
  void Seed(std::uint32_t seed) override { engine_.seed(seed); }

 private:
  std::mt19937 engine_;
};

// Answers Next() from a queue of values (each taken modulo the range), then
// from a fallback generator; seeding is ignored so a script stays in force.
class ScriptedRandom final : public RandomGenerator {
 public:
  ScriptedRandom() : fallback_(12345) {}
  void Push(int value) { script_.push_back(value); }
  template <typename... Values>
  void PushAll(Values... values) { (Push(values), ...); }
  std::size_t Remaining() const { return script_.size(); }
  int Next(int range) override;
  void Seed(std::uint32_t) override {}

 private:
  std::deque<int> script_;
  MersenneRandom fallback_;
};

}  // namespace mf
