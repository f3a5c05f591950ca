#pragma once

// Seeded random constraint systems for the split solvers' randomized tests, and the cost of any
// assignment straight from the meaning of the constraints, for subset enumeration.

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <random>
#include <vector>

namespace ko2SATRandom {

constexpr uint64_t kNoSolution = 0xFFFFFFFFFFFFFFFFull, kOneSided = 0xFFFFFFFFFFFFFFFEull;

// A constraint; index 0 of weight and release is the in/out crossing (a in the set, b not).
struct tConstraint {
  unsigned int a, b, weight[2];
  bool release[2], maximumCost;
};

inline unsigned int popcount(uint32_t mask) { return unsigned(std::bitset<32>(mask).count()); }

// Maximum-type parts (high word) combine by maximum, additive parts (low word) by sum.
inline uint64_t combine(uint64_t a, uint64_t b) {
  return (std::max(a, b) & ~0xFFFFFFFFull) | ((a + b) & 0xFFFFFFFFull);
}

// Plus the larger side once an additive weight is charged, else the smaller one.
inline uint64_t withSides(uint64_t cost, unsigned int in, unsigned int out,
                          unsigned int groupBits) {
  return cost + ((uint32_t(cost) >> groupBits) != 0 ? std::max(in, out) : std::min(in, out));
}

class tGenerator {
public:
  explicit tGenerator(unsigned int seed) : rng(seed) {}

  // 1 .. maxGroups groups (at most 31) and up to 3n + 2 constraints, half of them required, the
  // others with both crossings free at weight 0; a few join a group to itself.
  void drawConstraints(unsigned int maxGroups = 12) {
    n = 1 + below(maxGroups);
    while ((n >> groupBits) != 0)
      ++groupBits;
    const unsigned int m = below(3 * n + 3);
    for (unsigned int c = 0; c < m; ++c) {
      const bool required = chance(50);
      tConstraint k{below(n), below(n), {0, 0}, {!required, !required}, false};
      while (n > 1 && k.a == k.b && !chance(5))
        k.b = below(n);
      constraints.push_back(k);
    }
  }

  // Gives each constraint, with the chance `percent`, a new strength (kept, one crossing
  // released, both) with additive or maximum-type weights, and passes it on with
  // setStrength(c, constraint).
  template <typename tSetStrength>
  void changeStrengths(unsigned int percent, tSetStrength&& setStrength) {
    for (unsigned int i = 0; i < constraints.size(); ++i) {
      if (!chance(percent))
        continue;
      tConstraint& c = constraints[i];
      const unsigned int kind = below(10);  // 20% kept, 20% in/out, 20% out/in, 40% both
      c = tConstraint{c.a, c.b, {weight(), weight()},
                      {kind >= 2 && kind != 4 && kind != 5, kind >= 4}, chance(25)};
      setStrength(i, c);
    }
  }

  // The cost of putting `in` in the set, among the groups `system`: an unreleased crossing or a
  // cut cluster is forbidden, a released crossing adds its weight << groupBits or raises the
  // maximum; then the side term, or the one-sided marker.
  uint64_t assignmentCost(uint32_t system, uint32_t in,
                          const std::vector<uint32_t>& clusters = {}) const {
    uint64_t cost = 0;
    for (const tConstraint& c : constraints) {
      const unsigned int crossing = in >> c.a & 1u ? 0 : 1;
      if ((system >> c.a & system >> c.b & 1u) == 0 || crossing != (in >> c.b & 1u))
        continue;
      if (!c.release[crossing])
        return kNoSolution;
      const uint64_t weight = c.weight[crossing];
      cost = combine(cost, weight << (c.maximumCost && weight != 0 ? 32 : groupBits));
    }
    for (uint32_t cluster : clusters)
      if ((in & cluster) != 0 && (in & cluster) != cluster)
        return kNoSolution;
    const unsigned int noIn = popcount(in), noOut = popcount(system) - noIn;
    return noIn == 0 || noOut == 0 ? kOneSided : withSides(cost, noIn, noOut, groupBits);
  }

  unsigned int below(unsigned int bound) { return unsigned(rng() % bound); }
  bool chance(unsigned int percent) { return below(100) < percent; }
  unsigned int weight() { return chance(10) ? 0 : chance(85) ? 1 + below(2) : below(1000); }

  std::mt19937 rng;
  unsigned int n = 0, groupBits = 0;
  std::vector<tConstraint> constraints;
};

} // namespace ko2SATRandom
