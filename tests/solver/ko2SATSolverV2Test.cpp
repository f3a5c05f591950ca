// The second split solver beside the first one on thousands of seeded random systems with
// additive and maximum-type weights, whole and split in parts: the same cheapest cost everywhere
// (and the enumerated one up to 12 groups), an assignment of that cost under the tie rule both
// solvers share, the same column order after splits, and a search that leaves nothing behind.

#include "ko2SATRandomSystem.h"
#include "ko2SATSolver.h"
#include "ko2SATSolverV2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace ko2SATRandom;

// Results with a real split, one-sided, additive, maximum-type, tied. Neither the empty nor the
// full set crosses a constraint, so there is always a solution.
enum tKind { kReal, kOneSidedKind, kAdditive, kMaximum, kTied, kNoKinds };

class tSolverPair : public tGenerator {
public:
  tSolverPair(unsigned int seed, unsigned int maxGroups) : tGenerator(seed) {
    drawConstraints(maxGroups);
    const unsigned int m = unsigned(constraints.size());
    first = std::make_unique<ko2SATSolver>(n, m);
    second = std::make_unique<ko2SATSolverV2>(n, m);
    for (unsigned int c = 0; c < m; ++c) {  // not required: both crossings free, weight 0
      const tConstraint& k = constraints[c];
      first->addNewConstraint(c, k.a, k.b, !k.release[0]);
      second->createConstraint(c, k.a, k.b, true);
      if (k.release[0])
        second->setConstraintParameters(c, true, true, 0, 0, false);
    }
  }

  // The whole system, then the parts of two levels of random splits, with strengths changed
  // before every search.
  void run(bool enumerate, unsigned int (&coverage)[kNoKinds]) {
    const uint32_t all = uint32_t((uint64_t{1} << n) - 1);
    const ko2SATSystemRoot global = first->getGlobalSystemRoot();
    changeStrengths(80);
    ASSERT_NO_FATAL_FAILURE(solveAndCompare(global, all, enumerate, coverage));
    const uint32_t set0 = uint32_t(rng()) & all, set1 = uint32_t(rng()) & all;
    ko2SATSystemRoot parts[3] = {}, inside{};
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(global, set0, parts[0], inside));
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(inside, set1, parts[1], parts[2]));
    const uint32_t systems[3] = {all & ~set0, set0 & ~set1, set0 & set1};
    for (unsigned int k = 0; k < 3; ++k) {
      changeStrengths(20);
      ASSERT_NO_FATAL_FAILURE(solveAndCompare(parts[k], systems[k], enumerate, coverage));
    }
  }

private:
  std::unique_ptr<ko2SATSolver> first;
  std::unique_ptr<ko2SATSolverV2> second;

  void changeStrengths(unsigned int percent) {
    tGenerator::changeStrengths(percent, [this](unsigned int i, const tConstraint& c) {
      first->desactivateConstraint(i, c.release[0], c.release[1], c.weight[0], c.weight[1],
                                   c.maximumCost);
      second->setConstraintParameters(i, c.release[0], c.release[1], c.weight[0], c.weight[1],
                                      c.maximumCost);
    });
  }

  void splitAndCompare(const ko2SATSystemRoot& root, uint32_t mask, ko2SATSystemRoot& outside,
                       ko2SATSystemRoot& inside) {
    ko2SATState set(n);
    set.words[0] = mask;
    ko2SATSolverV2::tSystemRoot outside2{}, inside2{};
    first->splitSystem(root, set, outside, inside);
    second->splitSystem({root.firstColumn, root.noColumns}, set, outside2, inside2);
    ASSERT_EQ(outside2.firstColumn, outside.firstColumn);
    ASSERT_EQ(outside2.noColumns, outside.noColumns);
    ASSERT_EQ(inside2.firstColumn, inside.firstColumn);
    ASSERT_EQ(inside2.noColumns, inside.noColumns);
    for (unsigned int j = 0; j < second->columns.size(); ++j) {
      ASSERT_EQ(second->columns[j].literal0, first->nodes[j + 1].literal0()) << "column " << j;
      ASSERT_EQ(second->columns[j].literal1, first->nodes[j + 1].literal1()) << "column " << j;
    }
  }

  void solveAndCompare(const ko2SATSystemRoot& root, uint32_t system, bool enumerate,
                       unsigned int (&coverage)[kNoKinds]) {
    first->bakeSystem(root, nullptr, false);
    first->solve();
    const ko2SATSolverV2::tSystemRoot root2{root.firstColumn, root.noColumns};
    second->bakeSystem(root2);
    second->solve(root2);
    const uint64_t cost = second->bestCost;
    const uint32_t state = uint32_t(second->bestState.words[0]);
    ASSERT_EQ(cost, first->bestCost);
    ASSERT_EQ(state & ~system, 0u);
    ASSERT_EQ(assignmentCost(system, state), cost) << std::hex << state;  // never unsolvable
    // Both branch first on the system's lowest group, in the set first.
    const uint32_t lowest = system & (0u - system);
    ASSERT_EQ(state & lowest, uint32_t(first->bestState.words[0]) & lowest);

    if (enumerate) {
      uint64_t cheapest = kNoSolution;
      unsigned int noCheapest = 0;
      bool cheapestWithLowest = false;
      for (uint32_t in = 0; in <= system; ++in) {
        if ((in & ~system) != 0)
          continue;
        const uint64_t c = assignmentCost(system, in);
        if (c < cheapest)
          cheapest = c, noCheapest = 0, cheapestWithLowest = false;
        noCheapest += c == cheapest ? 1 : 0;
        cheapestWithLowest |= c == cheapest && (in & lowest) != 0;
      }
      ASSERT_EQ(cost, cheapest);
      ASSERT_EQ((state & lowest) != 0, cheapestWithLowest);
      coverage[kTied] += cost < kOneSided && noCheapest > 1 ? 1 : 0;
    }

    // The first search left no change behind: its heap holds the root's required columns again,
    // in heap order on (key, column), each under the key it has with nothing chosen.
    ASSERT_TRUE(second->changes.empty());
    ASSERT_EQ(second->literalCosts, std::vector<uint64_t>(2 * n, 0));
    ASSERT_EQ(second->maskedLiterals, std::vector<uint64_t>(second->maskedLiterals.size(), 0));
    unsigned int noRequired = 0;
    for (unsigned int j = root.firstColumn; j < root.firstColumn + root.noColumns; ++j)
      noRequired += first->nodes[j + 1].required() ? 1 : 0;
    ASSERT_EQ(second->noHeapEntries, noRequired);
    for (unsigned int p = 0; p < noRequired; ++p) {
      const koDLXColumn &entry = second->heap[p], &parent = second->heap[p == 0 ? 0 : (p - 1) / 2];
      const unsigned int j = unsigned(entry.column);
      ASSERT_TRUE(j - root.firstColumn < root.noColumns && first->nodes[j + 1].required());
      ASSERT_EQ(second->heapPositions[j], p);
      ASSERT_EQ(entry.key, second->computeColumnCost(j));
      ASSERT_TRUE(p == 0 || parent.key < entry.key ||
                  (parent.key == entry.key && parent.column < entry.column));
    }
    // A second search finds the same.
    second->solve(root2);
    ASSERT_EQ(second->bestCost, cost);
    ASSERT_EQ(uint32_t(second->bestState.words[0]), state);

    coverage[kReal] += cost < kOneSided ? 1 : 0;
    coverage[kOneSidedKind] += cost == kOneSided ? 1 : 0;
    coverage[kAdditive] += cost < kOneSided && (uint32_t(cost) >> groupBits) != 0 ? 1 : 0;
    coverage[kMaximum] += cost < kOneSided && (cost >> 32) != 0 ? 1 : 0;
  }
};

TEST(ko2SATSolverV2, SameCostsAsSolverAndEnumeration) {
  const unsigned int noSmall = 5000, noLarge = 1000;  // five systems each
  unsigned int coverage[kNoKinds] = {};
  for (unsigned int seed = 1; seed <= noSmall + noLarge; ++seed) {
    SCOPED_TRACE(seed);
    const bool small = seed <= noSmall;
    ASSERT_NO_FATAL_FAILURE(tSolverPair(seed, small ? 12 : 31).run(small, coverage));
  }
  // The sample reached every kind of result.
  const unsigned int atLeast[kNoKinds] = {noSmall, noSmall, noSmall / 4, noSmall / 10,
                                          noSmall / 2};
  for (unsigned int k = 0; k < kNoKinds; ++k)
    EXPECT_GT(coverage[k], atLeast[k]) << "kind " << k;
}

} // namespace
