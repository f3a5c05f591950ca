#pragma once

#include <algorithm>
#include <cstdint>

// The cost value shared by the split solvers: the high 32 bits hold the largest maximum-type
// weight charged, the low 32 bits the sum of additive weights, each shifted left by groupBits so
// that the bits below hold a count of groups.

constexpr uint64_t koCostLowWord = 0xFFFFFFFFull;

// groupBits for n groups: the number of binary digits of n.
inline unsigned int koBinaryDigits(unsigned int n) {
  unsigned int digits = 0;
  for (; n != 0; n >>= 1)
    ++digits;
  return digits;
}

// The larger maximum-type part and the sum (mod 2^32) of the additive parts.
inline uint64_t koCombineCosts(uint64_t a, uint64_t b) {
  return (std::max(a, b) & ~koCostLowWord) | ((a + b) & koCostLowWord);
}

// Once any additive weight is charged, the larger side is added (balanced splits win among equal
// weights); otherwise the smaller side, so that as few groups as possible are removed.
inline unsigned int koSideTerm(uint64_t cost, unsigned int groupBits, unsigned int noInSet,
                               unsigned int noOutOfSet) {
  const bool additiveCharged = ((cost & koCostLowWord) >> groupBits) != 0;
  return additiveCharged ? std::max(noInSet, noOutOfSet) : std::min(noInSet, noOutOfSet);
}
