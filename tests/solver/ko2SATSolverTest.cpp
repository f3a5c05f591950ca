// The split solver's documented small cases and its allocation-free search; everything else is
// compared with subset enumeration and a replay of the search order in ko2SATSolverRandomTest.cpp.

#include "ko2SATSolver.h"
#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> gCountAllocations{false};
std::atomic<unsigned int> gNoAllocations{0};

} // namespace

// Every allocation form of the executable goes through malloc and is counted while
// gCountAllocations is set.
static void* counted(std::size_t size, bool throwing) {
  gNoAllocations += gCountAllocations ? 1u : 0u;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr && throwing)
    throw std::bad_alloc();
  return p;
}
void* operator new(std::size_t n) { return counted(n, true); }
void* operator new[](std::size_t n) { return counted(n, true); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return counted(n, false); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return counted(n, false); }
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
  solver.addNewConstraint(0, 0, 1, true);
  solver.bakeSystem(solver.getGlobalSystemRoot(), nullptr, false);
  struct tCase {
    bool inOut, outIn, maximum;
    unsigned int weightInOut, weightOutIn;
    uint64_t cost, set;
  };
  const tCase cases[] = {
      // Kept together: only one-sided assignments; x_0 is tried first, so both are in.
      {false, false, false, 0, 0, 0xFFFFFFFFFFFFFFFEull, 0x3},
      // Free: equal estimates try x_g before not x_g, so {0} is met before {1}.
      {true, true, false, 0, 0, 1, 0x1},
      // Additive weight 1 << 2, plus the larger side once an additive weight is charged.
      {true, false, false, 1, 0, 5, 0x1},
      // Maximum type: the high word; no additive charge, so the smaller side is added.
      {true, true, true, 7, 3, (uint64_t(3) << 32) + 1, 0x2},
  };
  for (const tCase& c : cases) {
    solver.desactivateConstraint(0, c.inOut, c.outIn, c.weightInOut, c.weightOutIn, c.maximum);
    solver.solve();
    EXPECT_EQ(solver.bestCost, c.cost) << c.inOut << c.outIn;
    EXPECT_EQ(solver.bestState.words[0], c.set) << c.inOut << c.outIn;
  }
}

// Groups 1, 2 may cross only in/out, groups 0, 2 only out/in, each for weight 1: {1} and {1, 2}
// both cost (1 << 2) + 2. Once x_0 is false, only x_2 carries a charge; the cheaper literals of
// groups 1 and 2 tie, so the dearer one sends the search to group 2, which meets {1} first.
TEST(ko2SATSolver, EqualCheaperLiteralsBranchOnTheDearerOne) {
  ko2SATSolver solver(3, 2);
  solver.addNewConstraint(0, 1, 2, true);
  solver.addNewConstraint(1, 0, 2, true);
  solver.desactivateConstraint(0, true, false, 1, 2, false);
  solver.desactivateConstraint(1, false, true, 0, 1, false);
  solver.bakeSystem(solver.getGlobalSystemRoot(), nullptr, false);
  solver.solve();
  EXPECT_EQ(solver.bestCost, 6u);
  EXPECT_EQ(solver.bestState.words[0], 0x2u);
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
  for (unsigned int g : {3, 4, 5})
    set.add(g);
  clustering.pushCluster(set, false);
  solver.bakeSystem(solver.getGlobalSystemRoot(), &clustering, false);

  gNoAllocations = 0;
  gCountAllocations = true;
  solver.solve();
  gCountAllocations = false;
  EXPECT_EQ(gNoAllocations.load(), 0u);
  EXPECT_NE(solver.bestCost >> 32, 0u);
  EXPECT_LT(solver.bestCost, 0xFFFFFFFFFFFFFFFEull);
}

} // namespace
