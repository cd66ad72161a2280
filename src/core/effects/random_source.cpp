// The 32-bit linear congruential random source of the scramble.
#include "core/effects/random_source.h"

namespace murkel {

void seed_random_source(RandomSource& random, std::uint32_t seed) { random.state = seed; }

int next_random_value(RandomSource& random) {
  random.state = random.state * 1103515245u + 12345u;
  // state / 65536 rounded to nearest, ties to even, done exactly in integers
  // (the same as nearbyint of the exact double quotient in any FPU mode).
  std::uint32_t quotient = random.state >> 16;
  const std::uint32_t remainder = random.state & 0xFFFFu;
  if (remainder > 0x8000u || (remainder == 0x8000u && (quotient & 1u) != 0)) ++quotient;
  return static_cast<int>(quotient & 0x7FFFu);
}

double random_fraction(RandomSource& random) {
  const auto a = static_cast<std::uint32_t>(next_random_value(random));
  const auto b = static_cast<std::uint32_t>(next_random_value(random));
  return static_cast<double>((a * b) % 100000u) / 100000.0;
}

}  // namespace murkel
