// The process-wide 32-bit linear congruential random source of the scramble.
#pragma once

#include <cstdint>

namespace murkel {

struct RandomSource {
  std::uint32_t state = 1;
};

void seed_random_source(RandomSource& random, std::uint32_t seed);
// 0..32767; advances the state by one step.
[[nodiscard]] int next_random_value(RandomSource& random);
// 0 .. 0.99999 in steps of 0.00001, from two values.
[[nodiscard]] double random_fraction(RandomSource& random);

}  // namespace murkel
