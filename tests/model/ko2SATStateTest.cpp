#include "ko2SATState.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<unsigned int> members(const ko2SATState& set) {
  std::vector<unsigned int> visited;
  set.forEachMember([&](unsigned int g) { visited.push_back(g); });
  return visited;
}

TEST(ko2SATState, DeBruijnTableFollowsItsRule) {
  // The 64 products index 64 distinct entries, so this fixes the whole table.
  for (unsigned int k = 0; k < 64; ++k)
    EXPECT_EQ(ko2SATState::msDeBruijn64[((uint64_t(1) << k) * 0x022FDD63CC95386DULL) >> 58], k);
}

// Random adds, removes, clears and copies against a plain vector of bools, on sizes around the
// word boundaries: the words must hold exactly the members (nothing above the group count) and
// the visit must list them ascending.
TEST(ko2SATState, RandomOperationsMatchABoolVector) {
  std::mt19937 random(11);
  for (unsigned int round = 0; round < 120; ++round) {
    const unsigned int noBits = round < 6 ? 63 + round / 2 * 64 + round % 2 : 1 + random() % 300;
    ko2SATState set(noBits), copy(noBits);
    ASSERT_EQ(set.getNoWords(), (noBits + 63) / 64);
    std::vector<bool> reference(noBits, false);
    for (int step = 0; step < 60; ++step) {
      const unsigned int g = random() % noBits, kind = random() % 12;
      if (kind == 0) {
        reference.assign(noBits, random() % 2 == 0);
        set.clear(reference[0]);
      } else if (kind < 7) {
        set.add(g);
        reference[g] = true;
      } else {
        set.remove(g);
        reference[g] = false;
      }
      for (unsigned int w = 0; w < set.getNoWords(); ++w) {
        uint64_t expected = 0;
        for (unsigned int b = 0; b < 64 && 64 * w + b < noBits; ++b)
          expected |= uint64_t(reference[64 * w + b]) << b;
        ASSERT_EQ(set.words[w], expected) << "round " << round << " step " << step;
      }
      ASSERT_EQ(set.test(g), reference[g]);
    }
    std::vector<unsigned int> expected;
    for (unsigned int g = 0; g < noBits; ++g)
      if (reference[g])
        expected.push_back(g);
    EXPECT_EQ(members(set), expected);
    copy.add(random() % noBits);
    copy = set;
    ko2SATState& alias = copy;
    copy = alias;
    EXPECT_NE(copy.words, set.words);
    EXPECT_EQ(members(copy), expected);
  }
}

} // namespace
