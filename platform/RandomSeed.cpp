#include "platform/RandomSeed.h"

#include <cstdint>
#include <cstdlib>

namespace mf::platform {

void SeedForRun(RandomGenerator& random, std::string_view salt) {
  const char* fixed = std::getenv("MFMAIL_RANDOM_SEED");
  char* end = nullptr;
  const unsigned long value = fixed ? std::strtoul(fixed, &end, 10) : 0;
  if (fixed == nullptr || *fixed == '\0' || *end != '\0') {
    random.SeedFromClock();
    return;
  }
  std::uint32_t seed = 2166136261u ^ static_cast<std::uint32_t>(value);  // FNV-1a over the salt
  for (unsigned char c : salt) seed = (seed ^ c) * 16777619u;
  random.Seed(seed);
}

}  // namespace mf::platform
