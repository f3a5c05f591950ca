#include "ko2SATState.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

std::vector<unsigned int> members(const ko2SATState& set) {
  std::vector<unsigned int> visited;
  set.forEachMember([&](unsigned int g) { visited.push_back(g); });
  return visited;
}

TEST(ko2SATState, DeBruijnTableFollowsItsRule) {
  std::set<unsigned int> entries;
  for (unsigned int k = 0; k < 64; ++k) {
    const uint64_t bit = uint64_t(1) << k;
    EXPECT_EQ(ko2SATState::msDeBruijn64[(bit * 0x022FDD63CC95386DULL) >> 58], k);
    EXPECT_EQ(ko2SATState::bitIndex(bit), k);
    entries.insert(ko2SATState::msDeBruijn64[k]);
  }
  EXPECT_EQ(entries.size(), 64u);
  const std::vector<unsigned int> head{0, 1, 2, 53, 3, 7, 54, 27};
  const std::vector<unsigned int> tail{30, 14, 13, 12};
  for (unsigned int i = 0; i < head.size(); ++i)
    EXPECT_EQ(ko2SATState::msDeBruijn64[i], head[i]);
  for (unsigned int i = 0; i < tail.size(); ++i)
    EXPECT_EQ(ko2SATState::msDeBruijn64[60 + i], tail[i]);
}

TEST(ko2SATState, ClearKeepsBitsAboveTheGroupCountZero) {
  ko2SATState seventy(70);
  ASSERT_EQ(seventy.getNoWords(), 2u);
  EXPECT_EQ(seventy.words[0], 0u);
  EXPECT_EQ(seventy.words[1], 0u);
  seventy.clear(true);
  EXPECT_EQ(seventy.words[0], ~uint64_t(0));
  EXPECT_EQ(seventy.words[1], 0x3Fu);
  seventy.clear(false);
  EXPECT_EQ(seventy.words[0], 0u);
  EXPECT_EQ(seventy.words[1], 0u);

  ko2SATState sixtyFour(64);
  sixtyFour.clear(true);
  ASSERT_EQ(sixtyFour.getNoWords(), 1u);
  EXPECT_EQ(sixtyFour.words[0], ~uint64_t(0));

  ko2SATState one(1);
  one.clear(true);
  EXPECT_EQ(one.words[0], 1u);
}

TEST(ko2SATState, AddRemoveAndTestTouchOnlyTheirBit) {
  ko2SATState set(130);
  set.add(0);
  set.add(63);
  set.add(64);
  set.add(129);
  EXPECT_EQ(set.words[0], 0x8000000000000001ULL);
  EXPECT_EQ(set.words[1], 1u);
  EXPECT_EQ(set.words[2], 2u);
  set.remove(63);
  set.remove(5);  // not a member: nothing changes
  EXPECT_EQ(set.words[0], 1u);
  for (unsigned int g = 0; g < 130; ++g)
    EXPECT_EQ(set.test(g), g == 0 || g == 64 || g == 129) << g;
}

TEST(ko2SATState, VisitsMembersInAscendingOrder) {
  ko2SATState set(128);
  EXPECT_TRUE(members(set).empty());
  for (unsigned int g : {127u, 65u, 3u, 64u})
    set.add(g);
  EXPECT_EQ(members(set), (std::vector<unsigned int>{3, 64, 65, 127}));

  std::mt19937 random(11);
  for (int round = 0; round < 100; ++round) {
    const unsigned int noBits = 1 + random() % 300;
    ko2SATState randomSet(noBits);
    std::set<unsigned int> reference;
    for (unsigned int i = 0; i < noBits / 3; ++i) {
      const unsigned int g = random() % noBits;
      randomSet.add(g);
      reference.insert(g);
    }
    EXPECT_EQ(members(randomSet), std::vector<unsigned int>(reference.begin(), reference.end()));
  }
}

TEST(ko2SATState, AssignmentCopiesEveryWordAndIgnoresSelf) {
  ko2SATState source(70), target(70);
  source.add(1);
  source.add(69);
  target.add(2);
  target = source;
  EXPECT_EQ(target.words[0], source.words[0]);
  EXPECT_EQ(target.words[1], source.words[1]);
  EXPECT_NE(target.words, source.words);

  ko2SATState& alias = target;
  target = alias;
  EXPECT_EQ(members(target), (std::vector<unsigned int>{1, 69}));
}

} // namespace
