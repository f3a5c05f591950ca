#include "ko2SATState.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

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
      } else {
        reference[g] = kind < 7;
        kind < 7 ? set.add(g) : set.remove(g);
      }
      std::vector<uint64_t> words(set.getNoWords(), 0);
      for (unsigned int b = 0; b < noBits; ++b)
        words[b / 64] |= uint64_t(reference[b]) << (b % 64);
      ASSERT_EQ(std::vector<uint64_t>(set.words, set.words + set.getNoWords()), words)
          << "round " << round << " step " << step;
      ASSERT_EQ(set.test(g), reference[g]);
    }
    copy.add(random() % noBits);
    copy = set;
    std::vector<unsigned int> expected, visited;
    for (unsigned int g = 0; g < 2 * noBits; ++g)  // the set's members, then the copy's
      if (reference[g % noBits])
        expected.push_back(g % noBits);
    set.forEachMember([&](unsigned int g) { visited.push_back(g); });
    copy.forEachMember([&](unsigned int g) { visited.push_back(g); });
    EXPECT_EQ(visited, expected);
  }
}

} // namespace
