// The split solver on thousands of seeded random systems of up to 12 groups: its cost against
// subset enumeration, its assignment against the search order replayed on bit masks, and its
// baked structure against a copy taken before the search.

#include "ko2SATRandomSystem.h"
#include "ko2SATSolver.h"
#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace ko2SATRandom;

constexpr unsigned int kNone = 0xFFFFFFFFu, kGroupClause = 0xFFFFFu;
constexpr uint64_t kLayout = (1ull << 62) - 1;  // a clause word without its state flags

// The group of a clause word's literal k (literal 2g is x_g, 2g + 1 its negation).
unsigned int groupOf(uint64_t word, unsigned int k) {
  return (unsigned(word >> 20 * k) & 0xFFFFFu) >> 1;
}

class tRandomSystem : private tGenerator {
public:
  explicit tRandomSystem(unsigned int seed) : tGenerator(seed) {}

  // coverage counts results with a real split, one-sided, additive, maximum-type, tied, and
  // with a chained cluster of two or more groups.
  void run(unsigned int (&coverage)[6]) {
    drawConstraints();
    const unsigned int m = unsigned(constraints.size());
    solver = std::make_unique<ko2SATSolver>(n, m);
    for (unsigned int c = 0; c < m; ++c)  // not required: both crossings free, weight 0
      solver->addNewConstraint(c, constraints[c].a, constraints[c].b, !constraints[c].release[0]);
    const ko2SATSystemRoot global = solver->getGlobalSystemRoot();
    const std::vector<uint64_t> added = words(global, kLayout);
    changeStrengths(80);
    if (chance(40)) {
      clustering = std::make_unique<koGroupsClustering>(n);
      useDisassemblable = chance(50);
      ko2SATState cluster(n);
      testing::internal::CaptureStdout();  // the notes on dropped clusters
      for (unsigned int k = 1 + below(3); k > 0; --k) {
        cluster.words[0] = below(1u << n);  // n <= 12: one word holds every group
        clustering->pushCluster(cluster, chance(40));
      }
      testing::internal::GetCapturedStdout();
    }

    const uint32_t all = (1u << n) - 1u;
    ASSERT_NO_FATAL_FAILURE(solveAndCompare(global, all, coverage));

    // Two levels of splits; each part is baked and solved after some strengths changed.
    const uint32_t set0 = below(1u << n), set1 = below(1u << n);
    ko2SATSystemRoot parts[3] = {}, inside{};
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(global, set0, parts[0], inside));
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(inside, set1, parts[1], parts[2]));
    const uint32_t systems[3] = {all & ~set0, set0 & ~set1, set0 & set1};
    for (unsigned int k = 0; k < 3; ++k) {
      changeStrengths(20);
      ASSERT_NO_FATAL_FAILURE(solveAndCompare(parts[k], systems[k], coverage));
    }

    // Back together: the constructor's column order, with flags, weights and the constraints'
    // columns carried along.
    solver->reorderColumns(global);
    ASSERT_EQ(words(global, kLayout), added);
    changeStrengths(30);
    ASSERT_NO_FATAL_FAILURE(solveAndCompare(global, all, coverage));
  }

private:
  struct tClause {  // as the solver's item: two literals, a released one's weight, the flags
    unsigned int literal[2], weight;
    bool active, primary;
  };

  std::unique_ptr<ko2SATSolver> solver;
  std::unique_ptr<koGroupsClustering> clustering;
  bool useDisassemblable = false;
  std::vector<uint32_t> clusters;  // chained for the system under test, as group masks
  std::vector<tClause> clauses;    // of the system under test, as the caller defined them
  uint64_t replayCost = 0;
  uint32_t replaySet = 0;

  void changeStrengths(unsigned int percent) {
    tGenerator::changeStrengths(percent, [this](unsigned int i, const tConstraint& c) {
      solver->desactivateConstraint(i, c.release[0], c.release[1], c.weight[0], c.weight[1],
                                    c.maximumCost);
    });
  }

  // The item words of the root's columns, each masked (kLayout: all but the clause state).
  std::vector<uint64_t> words(const ko2SATSystemRoot& root, uint64_t mask = ~0ull) const {
    std::vector<uint64_t> result(root.noColumns);
    for (unsigned int j = 0; j < root.noColumns; ++j)
      result[j] = solver->nodes[root.firstColumn + j + 1].word & mask;
    return result;
  }

  // The search order on bit masks instead of dancing links; `chosen` has bit l for each true
  // literal l. A literal is out of play once an active clause holding it is satisfied; a released
  // clause with one literal chosen charges its other literal (read only while in play). The first
  // cheapest assignment met is the one the solver must return.
  void replay(uint32_t system, uint64_t cost, uint32_t chosen) {
    uint32_t hidden = 0;
    uint64_t charge[24] = {};
    for (const tClause& c : clauses)
      for (unsigned int k = 0; k < 2; ++k)
        if ((chosen >> c.literal[k] & 1u) != 0 && c.active)
          hidden |= 1u << c.literal[0] | 1u << c.literal[1];
        else if ((chosen >> c.literal[k] & 1u) != 0)
          charge[c.literal[1 - k]] = combine(charge[c.literal[1 - k]],
                                             uint64_t(c.weight) << (c.primary ? 32 : groupBits));
    // The first required clause with one literal in play, else the one whose cheaper literal
    // is the most expensive (in steps of 8), then whose dearer one is; the first on equal keys.
    const tClause* pick = nullptr;
    uint64_t pickKey[2] = {};
    for (const tClause& c : clauses) {
      const uint32_t both = 1u << c.literal[0] | 1u << c.literal[1];
      if (!c.active || !c.primary || (chosen & both) != 0)
        continue;
      if ((hidden & both) != 0) {
        if ((hidden & both) == both)
          return;
        pick = &c;
        break;
      }
      const uint64_t c0 = charge[c.literal[0]], c1 = charge[c.literal[1]];
      const uint64_t key[2] = {~std::min(c0, c1) >> 3, ~std::max(c0, c1)};
      if (!pick || std::lexicographical_compare(key, key + 2, pickKey, pickKey + 2))
        pick = &c, pickKey[0] = key[0], pickKey[1] = key[1];
    }
    if (!pick) {
      uint32_t in = 0;
      for (unsigned int g = 0; g < n; ++g)
        in |= (chosen >> 2 * g & 1u) << g;
      const uint64_t total = assignmentCost(system, in, clusters);
      if (total < replayCost)
        replayCost = total, replaySet = in;
      return;
    }
    // Literals in column order; the second first only when its estimate is strictly smaller.
    unsigned int order[2], count = 0;
    for (unsigned int l : pick->literal)
      if ((hidden >> l & 1u) == 0)
        order[count++] = l;
    const auto estimate = [&](unsigned int l) {
      const uint32_t next = chosen | 1u << l;
      return withSides(combine(cost, charge[l]), popcount(next & 0x555555u),
                       popcount(next & 0xAAAAAAu), groupBits);
    };
    if (count == 2 && estimate(order[1]) < estimate(order[0]))
      std::swap(order[0], order[1]);
    for (unsigned int k = 0; k < count; ++k)
      if (estimate(order[k]) < replayCost)  // a lower bound: no completion can do better
        replay(system, combine(cost, charge[order[k]]), chosen | 1u << order[k]);
  }

  // The root's columns must come out as [crossing][outside][inside], each in its old order.
  void splitAndCompare(const ko2SATSystemRoot& root, uint32_t mask, ko2SATSystemRoot& outside,
                       ko2SATSystemRoot& inside) {
    std::vector<uint64_t> expected[3];
    for (uint64_t word : words(root)) {
      const unsigned int in0 = mask >> groupOf(word, 0) & 1u;
      expected[in0 != (mask >> groupOf(word, 1) & 1u) ? 0 : 1 + in0].push_back(word);
    }
    ko2SATState set(n);
    set.words[0] = mask;
    solver->splitSystem(root, set, outside, inside);
    ASSERT_EQ(outside.firstColumn, root.firstColumn + expected[0].size());
    ASSERT_EQ(inside.firstColumn + inside.noColumns, root.firstColumn + root.noColumns);
    ASSERT_EQ(words(outside), expected[1]);
    ASSERT_EQ(words(inside), expected[2]);
  }

  void solveAndCompare(const ko2SATSystemRoot& root, uint32_t system,
                       unsigned int (&coverage)[6]) {
    clusters.clear();
    if (clustering) {
      ko2SATState groupSet(n), cluster(n);
      groupSet.words[0] = system;
      for (unsigned int id = clustering->getNextClusterId(useDisassemblable, groupSet, kNone);
           id != kNone; id = clustering->getNextClusterId(useDisassemblable, groupSet, id)) {
        clustering->getCluster(id, cluster);
        clusters.push_back(uint32_t(cluster.words[0]));
      }
    }
    solver->bakeSystem(root, clustering.get(), useDisassemblable);
    const std::vector<koDLXNode> baked(solver->nodes);
    const std::vector<unsigned int> bakedWeights(solver->columnWeights);

    uint64_t costs[1u << 12];
    unsigned int noCosts = 0;
    for (uint32_t in = 0; in <= system; ++in)
      if ((in & ~system) == 0)
        costs[noCosts++] = assignmentCost(system, in, clusters);
    const uint64_t cheapest = *std::min_element(costs, costs + noCosts);

    // The clauses as the caller defined them, in the solver's column order, then the cluster
    // chains x_p = x_q between consecutive members.
    clauses.clear();
    for (uint64_t word : words(root)) {
      const unsigned int slot = unsigned(word >> 40) & 0xFFFFFu, g = groupOf(word, 0);
      if (slot == kGroupClause) {
        clauses.push_back(tClause{{2 * g, 2 * g + 1}, 0, true, true});
        continue;
      }
      // P(c) = {x_a, not x_b} in slot 2c, Q(c) = {not x_a, x_b} in slot 2c + 1. Both required,
      // they state the same equality, and the search leaves Q(c) out.
      const tConstraint& c = constraints[slot / 2];
      const unsigned int s = slot % 2, weight = c.release[s] ? c.weight[s] : 0;
      if (s == 1 && !c.release[0] && !c.release[1])
        continue;
      const unsigned int la = 2 * c.a + s, lb = 2 * c.b + 1 - s;
      clauses.push_back(tClause{{std::min(la, lb), std::max(la, lb)}, weight, !c.release[s],
                                c.release[s] ? c.maximumCost && weight != 0 : !c.release[1 - s]});
    }
    for (uint32_t cluster : clusters)  // p: the member before q
      for (unsigned int p = kNone, q = 0; q < n; p = (cluster >> q & 1u) != 0 ? q : p, ++q)
        if ((cluster >> q & 1u) != 0 && p != kNone)
          clauses.push_back(tClause{{2 * p + 1, 2 * q}, 0, true, true});
    replayCost = kNoSolution;
    replaySet = 0;
    replay(system, 0, 0);
    ASSERT_EQ(replayCost, cheapest);

    for (int round = 0; round < 2; ++round) {
      solver->solve();
      ASSERT_EQ(solver->bestCost, cheapest) << "round " << round;
      ASSERT_EQ(uint32_t(solver->bestState.words[0]), replaySet) << "round " << round;
      // Everything the search touched is back as the bake left it.
      ASSERT_TRUE(
          std::memcmp(solver->nodes.data(), baked.data(), baked.size() * sizeof(koDLXNode)) == 0 &&
          solver->columnWeights == bakedWeights && solver->costStack.empty() &&
          solver->noRedundantItems == 0 &&
          solver->literalCosts == std::vector<uint64_t>(2 * n, 0));
    }

    // Under a live bound just above the cheapest cost, the same is found.
    if (cheapest < kOneSided) {
      const std::atomic<uint64_t> live(cheapest + 1);
      solver->solve(kNoSolution, &live);
      ASSERT_EQ(solver->bestCost, cheapest);
      ASSERT_EQ(uint32_t(solver->bestState.words[0]), replaySet);
    }

    const bool real = cheapest < kOneSided;
    const bool seen[6] = {real, cheapest == kOneSided,
                          real && (uint32_t(cheapest) >> groupBits) != 0,
                          real && (cheapest >> 32) != 0,
                          real && std::count(costs, costs + noCosts, cheapest) > 1,
                          std::any_of(clusters.begin(), clusters.end(),
                                      [](uint32_t c) { return popcount(c) > 1; })};
    for (unsigned int k = 0; k < 6; ++k)
      coverage[k] += seen[k] ? 1 : 0;
  }
};

TEST(ko2SATSolverRandom, MatchesEnumerationAndSearchOrder) {
  unsigned int coverage[6] = {};
  const unsigned int noSeeds = 6000;  // five systems each: the whole one twice, three parts
  for (unsigned int seed = 1; seed <= noSeeds; ++seed) {
    SCOPED_TRACE(seed);
    ASSERT_NO_FATAL_FAILURE(tRandomSystem(seed).run(coverage));
  }
  // The sample reached every kind of result.
  const unsigned int atLeast[6] = {noSeeds, noSeeds, noSeeds / 4, noSeeds / 10, noSeeds,
                                   noSeeds / 5};
  for (unsigned int k = 0; k < 6; ++k)
    EXPECT_GT(coverage[k], atLeast[k]) << "kind " << k;
}

} // namespace
