#pragma once

#include <string_view>

#include "base/Random.h"

namespace mf::platform {

// Seeds a generator from the clock, or, when MFMAIL_RANDOM_SEED holds a
// number, from that number and `salt`: a benchmark then watches the same
// walks in every run, and each character (its own salt) a walk of its own.
void SeedForRun(RandomGenerator& random, std::string_view salt);

}  // namespace mf::platform
