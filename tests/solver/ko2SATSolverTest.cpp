// Hand-made systems for the split solver whose answers follow from the cost rules and the search
// order; the random comparison with subset enumeration is in ko2SATSolverRandomTest.cpp.

#include "ko2SATSolver.h"
#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<bool> gCountAllocations{false};
std::atomic<unsigned int> gNoAllocations{0};

constexpr uint64_t kOneSided = ko2SATSolver::msOneSided;

std::vector<unsigned int> members(const ko2SATState& set) {
  std::vector<unsigned int> groups;
  set.forEachMember([&](unsigned int g) { groups.push_back(g); });
  return groups;
}

using Groups = std::vector<unsigned int>;

} // namespace

// Every allocation form of the executable goes through malloc and is counted while
// gCountAllocations is set.
static void* countedAllocation(std::size_t size) noexcept {
  if (gCountAllocations.load(std::memory_order_relaxed))
    gNoAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
static void* countedAllocationOrThrow(std::size_t size) {
  if (void* p = countedAllocation(size))
    return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size) { return countedAllocationOrThrow(size); }
void* operator new[](std::size_t size) { return countedAllocationOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return countedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return countedAllocation(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Two groups joined by constraint 0, one bake for all strengths (groupBits = 2).
TEST(ko2SATSolver, TwoGroupCostRules) {
  ko2SATSolver solver(2, 1);
  solver.addNewConstraint(0, 0, 1, false);
  solver.bakeSystem(solver.getGlobalSystemRoot(), nullptr, false);

  // Added as not required and left alone: nothing ties them, one group moves for free.
  solver.solve();
  EXPECT_EQ(solver.bestCost, 1u);
  EXPECT_EQ(members(solver.bestState), Groups({0}));

  struct tCase {
    bool inOut, outIn;
    unsigned int weightInOut, weightOutIn;
    bool maximum;
    uint64_t cost;
    Groups set;
  };
  const tCase cases[] = {
      // Kept together: only one-sided assignments; x_0 is tried first, so both are in.
      {false, false, 0, 0, false, kOneSided, {0, 1}},
      // Additive weight 1 << 2, plus the larger side once an additive weight is charged.
      {true, false, 1, 0, false, 5, {0}},
      {false, true, 4, 4, false, 4 * 4 + 1, {1}},
      {true, true, 2, 5, false, 2 * 4 + 1, {0}},
      // Maximum type: the high word; no additive charge, so the smaller side is added.
      {true, true, 7, 3, true, (uint64_t(3) << 32) + 1, {1}},
  };
  for (const tCase& c : cases) {
    solver.desactivateConstraint(0, c.inOut, c.outIn, c.weightInOut, c.weightOutIn, c.maximum);
    solver.solve();
    EXPECT_EQ(solver.bestCost, c.cost) << c.inOut << c.outIn;
    EXPECT_EQ(members(solver.bestState), c.set) << c.inOut << c.outIn;
  }
}

TEST(ko2SATSolver, ChainPrefersBalancedCutOnceWeightsAreCharged) {
  // 0 - 1 - 2 - 3, each link may part only with the lower group in the set, at weight 1: the
  // set is a prefix; every cut costs 1 << 3, then the larger side decides: the middle cut wins.
  ko2SATSolver chain(4, 3);
  for (unsigned int c = 0; c < 3; ++c) {
    chain.addNewConstraint(c, c, c + 1, true);
    chain.desactivateConstraint(c, true, false, 1, 1, false);
  }
  chain.bakeSystem(chain.getGlobalSystemRoot(), nullptr, false);
  chain.solve();
  EXPECT_EQ(chain.bestCost, 8u + 2u);
  EXPECT_EQ(members(chain.bestState), Groups({0, 1}));
}

// Where several assignments cost the same, the search order decides; each expectation below is
// the first cheapest assignment met in that order.
TEST(ko2SATSolver, EqualCostsResolvedBySearchOrder) {
  // Free groups: equal keys pick the earliest column, equal estimates x_g before not x_g. The
  // first two-sided assignment met is {0, 1} against {2}.
  ko2SATSolver unconstrained(3, 0);
  unconstrained.bakeSystem(unconstrained.getGlobalSystemRoot(), nullptr, false);
  unconstrained.solve();
  EXPECT_EQ(unconstrained.bestCost, 1u);
  EXPECT_EQ(members(unconstrained.bestState), Groups({0, 1}));

  // {0}, {0, 1} and {0, 2} all cost 1 << 2 plus 2. Choosing x_0 charges not x_1 with 0 and
  // not x_2 with 4: both columns' cheaper choice costs 0, so the larger other choice makes group 2
  // the next column, ahead of group 1; its x_2 leads to {0, 2} first.
  ko2SATSolver keyed(3, 3);
  keyed.addNewConstraint(0, 0, 1, true);
  keyed.addNewConstraint(1, 0, 2, true);
  keyed.addNewConstraint(2, 1, 2, true);
  keyed.desactivateConstraint(0, true, false, 0, 0, false);
  keyed.desactivateConstraint(1, true, false, 1, 0, false);
  keyed.desactivateConstraint(2, true, true, 0, 1, false);
  keyed.bakeSystem(keyed.getGlobalSystemRoot(), nullptr, false);
  keyed.solve();
  EXPECT_EQ(keyed.bestCost, 4u + 2u);
  EXPECT_EQ(members(keyed.bestState), Groups({0, 2}));

  // Groups 3 and 2 are tied by required constraint 0, whose kept clause is P = {not x_2, x_3}
  // (the smaller group's literal first). After x_0 and not x_1, both of P's literals are charged
  // 1 << 3 while groups 2 and 3 each have a free literal, so P is branched on, not x_2 first:
  // {0} is met before the equally cheap {0, 2, 3}.
  ko2SATSolver tied(4, 4);
  tied.addNewConstraint(0, 3, 2, true);
  tied.addNewConstraint(1, 0, 1, true);
  tied.addNewConstraint(2, 0, 2, true);
  tied.addNewConstraint(3, 1, 3, true);
  tied.desactivateConstraint(1, true, false, 1, 1, false);
  tied.desactivateConstraint(2, true, false, 1, 1, false);
  tied.desactivateConstraint(3, false, true, 1, 1, false);
  tied.bakeSystem(tied.getGlobalSystemRoot(), nullptr, false);
  tied.solve();
  EXPECT_EQ(tied.bestCost, 2u * 8u + 3u);
  EXPECT_EQ(members(tied.bestState), Groups({0}));
}

TEST(ko2SATSolver, ClustersAreKeptTogether) {
  ko2SATSolver solver(4, 0);
  const ko2SATSystemRoot root = solver.getGlobalSystemRoot();
  ko2SATState set(4);
  auto solveWith = [&](koGroupsClustering* clustering, bool useDisassemblable) {
    solver.bakeSystem(root, clustering, useDisassemblable);
    solver.solve();
    return members(solver.bestState);
  };
  EXPECT_EQ(solveWith(nullptr, false), Groups({0, 1, 2}));

  // {2, 3} must stay together: one group still moves alone, but not 3.
  koGroupsClustering fixed(4);
  set.add(2);
  set.add(3);
  fixed.pushCluster(set, false);
  EXPECT_EQ(solveWith(&fixed, false), Groups({0, 2, 3}));
  EXPECT_EQ(solver.bestCost, 1u);
  // A later bake without the clustering drops the chain again.
  EXPECT_EQ(solveWith(nullptr, false), Groups({0, 1, 2}));

  // A disassemblable cluster holds only when asked to.
  koGroupsClustering loose(4);
  loose.pushCluster(set, true);
  EXPECT_EQ(solveWith(&loose, true), Groups({0, 2, 3}));
  EXPECT_EQ(solveWith(&loose, false), Groups({0, 1, 2}));

  // A fixed cluster of every group makes the system unsplittable.
  koGroupsClustering whole(4);
  set.clear(true);
  whole.pushCluster(set, false);
  EXPECT_EQ(solveWith(&whole, false), Groups({0, 1, 2, 3}));
  EXPECT_EQ(solver.bestCost, kOneSided);
}

TEST(ko2SATSolver, SplitAndReorderKeepConstraintsAddressable) {
  // A ring 0 - 1 - 2 - 3 - 0 of required constraints, split by {0, 1}.
  ko2SATSolver solver(4, 4);
  const unsigned int ends[4][2] = {{0, 1}, {1, 2}, {2, 3}, {0, 3}};
  for (unsigned int c = 0; c < 4; ++c)
    solver.addNewConstraint(c, ends[c][0], ends[c][1], true);
  ko2SATState set(4);
  set.add(0);
  set.add(1);
  ko2SATSystemRoot outside{}, inside{};
  solver.splitSystem(solver.getGlobalSystemRoot(), set, outside, inside);
  // [P1 Q1 P3 Q3][g2 g3 P2 Q2][g0 g1 P0 Q0]
  EXPECT_EQ(outside.firstColumn, 4u);
  EXPECT_EQ(outside.noColumns, 4u);
  EXPECT_EQ(inside.firstColumn, 8u);
  EXPECT_EQ(inside.noColumns, 4u);
  EXPECT_EQ(solver.constraintColumns, std::vector<unsigned int>({10, 0, 6, 2}));
  EXPECT_EQ(solver.nodes[4 + 1].literal0(), 2u * 2u);  // group clause of 2 first in its part
  EXPECT_EQ(solver.nodes[9 + 1].literal0(), 2u * 1u);

  // Releasing constraint 2 reaches the moved clause: 2 may leave 3 at weight 1.
  solver.desactivateConstraint(2, true, false, 1, 0, false);
  solver.bakeSystem(outside, nullptr, false);
  solver.solve();
  EXPECT_EQ(solver.bestCost, 8u + 1u);
  EXPECT_EQ(members(solver.bestState), Groups({2}));
  solver.bakeSystem(inside, nullptr, false);
  solver.solve();
  EXPECT_EQ(solver.bestCost, kOneSided);

  // Splitting by a set that holds the whole part leaves everything inside.
  ko2SATSystemRoot emptyPart{}, samePart{};
  solver.splitSystem(inside, set, emptyPart, samePart);
  EXPECT_EQ(emptyPart.noColumns, 0u);
  EXPECT_EQ(samePart.firstColumn, inside.firstColumn);
  EXPECT_EQ(samePart.noColumns, inside.noColumns);

  // Reordering the whole range restores the constructor's order: group clauses by group, then
  // the constraint clauses by slot, the weight of P(2) moving along.
  solver.reorderColumns(solver.getGlobalSystemRoot());
  EXPECT_EQ(solver.constraintColumns, std::vector<unsigned int>({4, 6, 8, 10}));
  for (unsigned int g = 0; g < 4; ++g)
    EXPECT_EQ(solver.nodes[g + 1].literal0(), 2u * g);
  EXPECT_EQ(solver.columnWeights[8], 1u);
}

TEST(ko2SATSolver, SolveAllocatesNothing) {
  // Twelve groups in a ring with chords, every crossing a maximum-type charge, and a cluster:
  // the search pushes on the cost stack and walks cluster clauses.
  const unsigned int n = 12, m = 18;
  ko2SATSolver solver(n, m);
  for (unsigned int c = 0; c < m; ++c) {
    const unsigned int a = c % n, b = (a + (c < n ? 1 : 5)) % n;
    solver.addNewConstraint(c, a, b, true);
    solver.desactivateConstraint(c, true, true, 1 + c % 7, 1 + (c * 3) % 5, true);
  }
  koGroupsClustering clustering(n);
  ko2SATState set(n);
  set.add(3);
  set.add(4);
  set.add(5);
  clustering.pushCluster(set, false);
  solver.bakeSystem(solver.getGlobalSystemRoot(), &clustering, false);

  gNoAllocations = 0;
  gCountAllocations = true;
  solver.solve();
  gCountAllocations = false;
  EXPECT_EQ(gNoAllocations.load(), 0u);
  EXPECT_NE(solver.bestCost >> 32, 0u);
  EXPECT_LT(solver.bestCost, kOneSided);
}

} // namespace
