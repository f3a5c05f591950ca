// The split solver's documented small cases and its allocation-free search; everything else is
// compared with subset enumeration and a replay of the search order in ko2SATSolverRandomTest.cpp.

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

  // Free groups: equal keys pick the earliest column, equal estimates x_g before not x_g. The
  // first two-sided assignment met is {0, 1} against {2}.
  ko2SATSolver unconstrained(3, 0);
  unconstrained.bakeSystem(unconstrained.getGlobalSystemRoot(), nullptr, false);
  unconstrained.solve();
  EXPECT_EQ(unconstrained.bestCost, 1u);
  EXPECT_EQ(members(unconstrained.bestState), Groups({0, 1}));
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
