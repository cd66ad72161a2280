// The random source against known values and its arithmetic written out plainly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "effects/random_source.h"

namespace murkel {
namespace {

constexpr std::uint32_t kMul = 1103515245u, kAdd = 12345u;

// Seed whose first step lands on `state` (kMul is odd, so it has an inverse mod 2^32).
std::uint32_t seed_for_state(std::uint32_t state) {
  std::uint32_t inverse = 1;
  for (int i = 0; i < 5; ++i) inverse *= 2 - kMul * inverse;  // Newton's iteration
  return (state - kAdd) * inverse;
}

int plain_value(std::uint32_t state) {
  return static_cast<int>(static_cast<std::uint32_t>(std::nearbyint(state / 65536.0)) % 32768u);
}

TEST(RandomSource, RoundsTheQuotientToEvenAndWrapsAt32768) {
  const struct {
    std::uint32_t state;
    int value;
  } cases[] = {
      {0x00018000u, 2},      // 1.5 -> 2
      {0x00028000u, 2},      // 2.5 -> 2
      {0x00027FFFu, 2},      // just below a half
      {0x00028001u, 3},      // just above a half
      {0x80008000u, 0},      // 32768.5 -> 32768 -> 0
      {0x7FFF8000u, 0},      // 32767.5 -> 32768 -> 0
      {0xFFFF8000u, 0},      // 65535.5 -> 65536 -> 0
      {0xFFFFFFFFu, 0},      // 65536 -> 0
      {0xFFFE8000u, 32766},  // 65534.5 -> 65534
  };
  for (const auto& c : cases) {
    RandomSource random;
    seed_random_source(random, seed_for_state(c.state));
    EXPECT_EQ(next_random_value(random), c.value) << std::hex << c.state;
    EXPECT_EQ(random.state, c.state);
    EXPECT_EQ(plain_value(c.state), c.value) << "the case table itself is wrong";
  }
}

// Seed 0 gives 0 then 21468; a fraction is (a * b mod 100000) / 100000 of two values.
TEST(RandomSource, ValuesAndFractionsFollowTheLcgArithmetic) {
  EXPECT_EQ(RandomSource{}.state, 1u);
  RandomSource random;
  seed_random_source(random, 0);
  EXPECT_EQ(next_random_value(random), 0);
  EXPECT_EQ(next_random_value(random), 21468);
  EXPECT_EQ(random.state, 3554416254u);
  std::uint32_t state = 0xDEADBEEFu;
  seed_random_source(random, state);
  for (int i = 0; i < 2000; ++i) {
    const auto a = static_cast<std::uint32_t>(plain_value(state = state * kMul + kAdd));
    const auto b = static_cast<std::uint32_t>(plain_value(state = state * kMul + kAdd));
    ASSERT_EQ(random_fraction(random), ((a * b) % 100000u) / 100000.0) << i;
  }
  EXPECT_EQ(random.state, state);
}

}  // namespace
}  // namespace murkel
