// The split solver on thousands of seeded random systems of up to 12 groups: its cost against
// subset enumeration, its assignment against the search order replayed on plain arrays, and its
// baked structure against a copy taken before the search.

#include "ko2SATSolver.h"
#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr unsigned int kNone = 0xFFFFFFFFu;
constexpr uint64_t kNoSolution = 0xFFFFFFFFFFFFFFFFull;
constexpr uint64_t kOneSided = 0xFFFFFFFFFFFFFFFEull;

// A constraint in the caller's terms ("in/out": a in the set, b not).
struct tConstraint {
  unsigned int a, b;
  bool releaseInOut = false, releaseOutIn = false;
  unsigned int weightInOut = 0, weightOutIn = 0;
  bool maximumCost = false;
};

struct tSystem {
  unsigned int n = 0, groupBits = 0;
  std::vector<tConstraint> constraints;
  std::unique_ptr<koGroupsClustering> clustering;
  bool useDisassemblableClusters = false;
  std::vector<unsigned int> clusters;  // chained for the system under test, as group masks
};

unsigned int popcount(unsigned int mask) { return unsigned(std::bitset<32>(mask).count()); }

void fromMask(unsigned int mask, ko2SATState& set) {
  set.clear(false);
  for (unsigned int g = 0; g < set.noBits; ++g)
    if ((mask >> g) & 1u)
      set.add(g);
}

// Straight from the meaning of the constraints: an unreleased crossing is forbidden, a released
// one adds its weight << groupBits or raises the maximum; a chained cluster must not be cut; then
// the side-size term, or the one-sided marker.
uint64_t assignmentCost(const tSystem& s, unsigned int system, unsigned int inSet) {
  uint32_t high = 0, low = 0;
  for (const tConstraint& c : s.constraints) {
    const bool aIn = (inSet >> c.a) & 1u, bIn = (inSet >> c.b) & 1u;
    if (((system >> c.a) & (system >> c.b) & 1u) == 0 || aIn == bIn)
      continue;
    const unsigned int weight = aIn ? c.weightInOut : c.weightOutIn;
    if (!(aIn ? c.releaseInOut : c.releaseOutIn))
      return kNoSolution;
    if (c.maximumCost && weight != 0)
      high = std::max(high, weight);
    else
      low += weight << s.groupBits;
  }
  for (unsigned int cluster : s.clusters)
    if ((inSet & cluster) != 0 && (inSet & cluster) != cluster)
      return kNoSolution;
  const unsigned int noIn = popcount(inSet), noOut = popcount(system) - noIn;
  if (noIn == 0 || noOut == 0)
    return kOneSided;
  const bool additive = (low >> s.groupBits) != 0;
  return ((uint64_t(high) << 32) | low) + (additive ? std::max(noIn, noOut)
                                                    : std::min(noIn, noOut));
}

// The search order replayed without dancing links or pruning, on the clauses as the caller
// defined them: the first cheapest assignment it meets is the one the solver must return.
class tSearchOrder {
public:
  struct tClause {
    unsigned int literal[2], slot;
    bool active, primary;
    unsigned int weight;
  };

  tSearchOrder(const tSystem& s, unsigned int system) : s(s), system(system), value(s.n, -1) {}

  // The column's clause, identified by its slot (a group clause by its group).
  void addColumn(const koDLXNode& item) {
    const unsigned int slot = item.constraintSlot(), g = item.literal0() >> 1;
    if (slot == 0xFFFFFu) {
      clauses.push_back(tClause{{2 * g, 2 * g + 1}, slot, true, true, 0});
      return;
    }
    const tConstraint& c = s.constraints[slot >> 1];
    const bool p = (slot & 1u) == 0;  // P = {x_a, not x_b}, Q = {not x_a, x_b}
    const unsigned int la = 2 * c.a + (p ? 0 : 1), lb = 2 * c.b + (p ? 1 : 0);
    const bool aFirst = c.a < c.b || (c.a == c.b && !p);
    const bool released = p ? c.releaseInOut : c.releaseOutIn;
    const unsigned int weight = p ? c.weightInOut : c.weightOutIn;
    clauses.push_back(tClause{{aFirst ? la : lb, aFirst ? lb : la}, slot, !released,
                              released ? c.maximumCost && weight != 0
                                       : !(p ? c.releaseOutIn : c.releaseInOut),
                              released ? weight : 0});
  }

  unsigned int run() {
    for (unsigned int cluster : s.clusters) {  // x_p = x_q for consecutive members
      unsigned int p = kNone;
      for (unsigned int q = 0; q < s.n; ++q)
        if ((cluster >> q) & 1u) {
          if (p != kNone)
            clauses.push_back(tClause{{2 * p + 1, 2 * q}, 0xFFFFFu, true, true, 0});
          p = q;
        }
    }
    for (size_t x = 0; x + 1 < clauses.size(); ++x) {  // P(c), Q(c) both required: drop Q(c)
      const tClause &cx = clauses[x], &cy = clauses[x + 1];
      if (cy.slot == cx.slot + 1 && cx.active && cx.primary && cy.active && cy.primary)
        clauses.erase(clauses.begin() + long(x) + 1);
    }
    search(0, 0, 0);
    return bestSet;
  }

private:
  const tSystem& s;
  unsigned int system;
  std::vector<int> value;  // per group: -1 undecided, 0 out, 1 in
  std::vector<tClause> clauses;
  uint64_t best = kNoSolution;
  unsigned int bestSet = 0;

  bool chosen(unsigned int l) const { return value[l >> 1] == int((l & 1u) ^ 1u); }

  void search(uint64_t cost, unsigned int in, unsigned int out) {
    // A literal is out of play once an active clause holding it is satisfied; a released clause
    // with one literal chosen charges its other literal while that one is in play.
    bool hidden[32] = {};
    uint64_t charge[32] = {};
    for (const tClause& c : clauses)
      if (c.active && (chosen(c.literal[0]) || chosen(c.literal[1])))
        hidden[c.literal[0]] = hidden[c.literal[1]] = true;
    for (const tClause& c : clauses)
      for (unsigned int k = 0; k < 2 && !c.active; ++k) {
        uint64_t& other = charge[c.literal[1 - k]];
        if (chosen(c.literal[k]) && !hidden[c.literal[1 - k]])
          other = c.primary ? std::max(other, uint64_t(c.weight) << 32) | (other & 0xFFFFFFFFu)
                            : other + (uint64_t(c.weight) << s.groupBits);
      }
    // The first required clause with one literal in play, else the one whose cheaper literal
    // is the most expensive (in steps of 8), then whose dearer one is; the first on equal keys.
    const tClause* pick = nullptr;
    uint64_t pickKey[2] = {};
    for (const tClause& c : clauses) {
      if (!c.active || !c.primary || chosen(c.literal[0]) || chosen(c.literal[1]))
        continue;
      const unsigned int open = 2 - hidden[c.literal[0]] - hidden[c.literal[1]];
      if (open < 2) {
        if (open == 0)
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
      unsigned int set = 0;
      for (unsigned int g = 0; g < s.n; ++g)
        set |= value[g] == 1 ? 1u << g : 0u;
      if (assignmentCost(s, system, set) < best)
        best = assignmentCost(s, system, set), bestSet = set;
      return;
    }
    // Literals in column order; the second first only when its estimate is strictly smaller.
    unsigned int literals[2], noLiterals = 0;
    uint64_t costs[2], estimates[2];
    for (unsigned int l : pick->literal) {
      if (hidden[l])
        continue;
      const uint64_t c = (std::max(cost, charge[l]) & ~0xFFFFFFFFull) |
                         ((cost + charge[l]) & 0xFFFFFFFFu);
      const unsigned int i = in + ((l & 1u) ^ 1u), o = out + (l & 1u);
      const bool additive = (uint32_t(c) >> s.groupBits) != 0;
      estimates[noLiterals] = c + (additive ? std::max(i, o) : std::min(i, o));
      costs[noLiterals] = c;
      literals[noLiterals++] = l;
    }
    const bool swapped = noLiterals == 2 && estimates[1] < estimates[0];
    for (unsigned int k = 0; k < noLiterals; ++k) {
      const unsigned int i = swapped ? 1 - k : k, l = literals[i];
      value[l >> 1] = int((l & 1u) ^ 1u);
      search(costs[i], in + ((l & 1u) ^ 1u), out + (l & 1u));
      value[l >> 1] = -1;
    }
  }
};

struct tCoverage {
  unsigned int real = 0, oneSided = 0, additive = 0, maximum = 0, ties = 0, clustered = 0;
};

class tRandomSystem {
public:
  explicit tRandomSystem(unsigned int seed) : rng(seed) {}

  void run(tCoverage& coverage) {
    makeSystem();
    const ko2SATSystemRoot global = solver->getGlobalSystemRoot();
    if (chance(30)) {
      // Scramble the columns, each constraint's pair staying together as splits keep it;
      // reorderColumns must leave every constraint reachable, flags and weights moved along.
      std::vector<unsigned int> units;  // first column of each group clause or clause pair
      for (unsigned int j = 0; j < global.noColumns; j += j < s.n ? 1 : 2)
        units.push_back(j);
      std::shuffle(units.begin(), units.end(), rng);
      std::vector<uint64_t> words;
      std::vector<unsigned int> weights;
      for (unsigned int j : units)
        for (unsigned int k = j; k < j + (j < s.n ? 1 : 2); ++k)
          words.push_back(solver->nodes[k + 1].word), weights.push_back(solver->columnWeights[k]);
      for (unsigned int j = 0; j < global.noColumns; ++j)
        solver->nodes[j + 1].word = words[j], solver->columnWeights[j] = weights[j];
      solver->reorderColumns(global);
      // Back in the constructor's order: group clauses by group, then clauses by slot.
      for (unsigned int j = 0; j < global.noColumns; ++j)
        ASSERT_EQ(solver->nodes[j + 1].constraintSlot(), j < s.n ? 0xFFFFFu : j - s.n);
      for (unsigned int g = 0; g < s.n; ++g)
        ASSERT_EQ(solver->nodes[g + 1].literal0(), 2 * g);
      changeStrengths(30);
    }
    const unsigned int all = (1u << s.n) - 1u;
    ASSERT_NO_FATAL_FAILURE(solveAndCompare(global, all, coverage));

    // Two levels of splits; each part is baked and solved after some strengths changed.
    ko2SATState set(s.n);
    const unsigned int set0 = below(1u << s.n), set1 = below(1u << s.n);
    ko2SATSystemRoot parts[3] = {}, inside{};
    fromMask(set0, set);
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(global, set, set0, parts[0], inside));
    fromMask(set1, set);
    ASSERT_NO_FATAL_FAILURE(splitAndCompare(inside, set, set1, parts[1], parts[2]));
    const unsigned int systems[3] = {all & ~set0, set0 & ~set1, set0 & set1};
    for (unsigned int k = 0; k < 3; ++k) {
      changeStrengths(20);
      ASSERT_NO_FATAL_FAILURE(solveAndCompare(parts[k], systems[k], coverage));
    }
  }

private:
  std::mt19937 rng;
  tSystem s;
  std::unique_ptr<ko2SATSolver> solver;

  unsigned int below(unsigned int bound) { return unsigned(rng() % bound); }
  bool chance(unsigned int percent) { return below(100) < percent; }
  unsigned int weight() { return chance(10) ? 0 : chance(85) ? 1 + below(2) : below(1000); }

  void setStrength(unsigned int index) {
    tConstraint& c = s.constraints[index];
    const unsigned int kind = below(10);  // 20% kept, 20% in/out, 20% out/in, 40% both
    c.releaseInOut = kind >= 2 && kind != 4 && kind != 5;
    c.releaseOutIn = kind >= 4;
    c.weightInOut = weight();
    c.weightOutIn = weight();
    c.maximumCost = chance(25);
    solver->desactivateConstraint(index, c.releaseInOut, c.releaseOutIn, c.weightInOut,
                                  c.weightOutIn, c.maximumCost);
  }

  void changeStrengths(unsigned int percent) {
    for (unsigned int c = 0; c < s.constraints.size(); ++c)
      if (chance(percent))
        setStrength(c);
  }

  void makeSystem() {
    s.n = 1 + below(12);
    while ((s.n >> s.groupBits) != 0)
      ++s.groupBits;
    const unsigned int m = below(3 * s.n + 3);
    solver = std::make_unique<ko2SATSolver>(s.n, m);
    for (unsigned int c = 0; c < m; ++c) {
      tConstraint constraint{below(s.n), below(s.n)};
      while (s.n > 1 && constraint.a == constraint.b && !chance(5))
        constraint.b = below(s.n);
      if (c > 0 && chance(15)) {  // parallel to an earlier one, possibly reversed
        const tConstraint& other = s.constraints[below(c)];
        constraint.a = chance(50) ? other.a : other.b;
        constraint.b = constraint.a == other.a ? other.b : other.a;
      }
      const bool required = chance(50);  // not required: both crossings free
      constraint.releaseInOut = constraint.releaseOutIn = !required;
      s.constraints.push_back(constraint);
      solver->addNewConstraint(c, constraint.a, constraint.b, required);
    }
    changeStrengths(80);
    if (chance(40)) {
      s.clustering = std::make_unique<koGroupsClustering>(s.n);
      s.useDisassemblableClusters = chance(50);
      ko2SATState cluster(s.n);
      testing::internal::CaptureStdout();  // the notes on dropped clusters
      for (unsigned int k = 1 + below(3); k > 0; --k) {
        fromMask(below(1u << s.n), cluster);
        s.clustering->pushCluster(cluster, chance(40));
      }
      testing::internal::GetCapturedStdout();
    }
  }

  // The root's columns must come out as [crossing][outside][inside], each in its old order.
  void splitAndCompare(const ko2SATSystemRoot& root, const ko2SATState& set, unsigned int mask,
                       ko2SATSystemRoot& outside, ko2SATSystemRoot& inside) {
    std::vector<uint64_t> expected[3];
    for (unsigned int j = root.firstColumn; j < root.firstColumn + root.noColumns; ++j) {
      const koDLXNode& item = solver->nodes[j + 1];
      const unsigned int in0 = (mask >> (item.literal0() >> 1)) & 1u;
      expected[in0 != ((mask >> (item.literal1() >> 1)) & 1u) ? 0 : 1 + in0].push_back(item.word);
    }
    solver->splitSystem(root, set, outside, inside);
    ASSERT_EQ(outside.firstColumn, root.firstColumn + expected[0].size());
    ASSERT_EQ(outside.noColumns, expected[1].size());
    ASSERT_EQ(inside.firstColumn, outside.firstColumn + outside.noColumns);
    ASSERT_EQ(inside.noColumns, expected[2].size());
    unsigned int j = root.firstColumn;
    for (const auto& part : expected)
      for (uint64_t word : part)
        ASSERT_EQ(solver->nodes[1 + j++].word, word) << "column " << j - 1;
  }

  void solveAndCompare(const ko2SATSystemRoot& root, unsigned int system, tCoverage& coverage) {
    unsigned int rootGroups = 0;
    for (unsigned int j = root.firstColumn; j < root.firstColumn + root.noColumns; ++j)
      rootGroups |= (1u << (solver->nodes[j + 1].literal0() >> 1)) |
                    (1u << (solver->nodes[j + 1].literal1() >> 1));
    ASSERT_EQ(rootGroups, system);  // no crossing clause kept, no group clause lost

    s.clusters.clear();
    if (s.clustering) {
      ko2SATState groups(s.n), cluster(s.n);
      fromMask(system, groups);
      for (unsigned int id = s.clustering->getNextClusterId(s.useDisassemblableClusters, groups,
                                                            kNone);
           id != kNone;
           id = s.clustering->getNextClusterId(s.useDisassemblableClusters, groups, id)) {
        s.clustering->getCluster(id, cluster);
        s.clusters.push_back(unsigned(cluster.words[0]));
      }
    }
    solver->bakeSystem(root, s.clustering.get(), s.useDisassemblableClusters);
    const std::vector<koDLXNode> baked = solver->nodes;
    const std::vector<unsigned int> bakedWeights = solver->columnWeights;

    uint64_t cheapest = kNoSolution;
    unsigned int noCheapest = 0;
    for (unsigned int inSet = system;; inSet = (inSet - 1) & system) {
      const uint64_t cost = assignmentCost(s, system, inSet);
      noCheapest = cost < cheapest ? 1 : noCheapest + (cost == cheapest ? 1 : 0);
      cheapest = std::min(cheapest, cost);
      if (inSet == 0)
        break;
    }
    tSearchOrder order(s, system);
    for (unsigned int j = root.firstColumn; j < root.firstColumn + root.noColumns; ++j)
      order.addColumn(solver->nodes[j + 1]);
    const unsigned int firstCheapest = order.run();

    for (int round = 0; round < 2; ++round) {
      solver->solve();
      ASSERT_EQ(solver->bestCost, cheapest) << "round " << round;
      const unsigned int state = unsigned(solver->bestState.words[0]);
      ASSERT_EQ(assignmentCost(s, system, state), cheapest) << "round " << round;
      ASSERT_EQ(state, firstCheapest) << "round " << round;
      // Everything the search touched is back as the bake left it.
      for (size_t i = 0; i < baked.size(); ++i) {
        const koDLXNode &a = solver->nodes[i], &b = baked[i];
        ASSERT_TRUE(a.word == b.word && a.up == b.up && a.down == b.down && a.left == b.left &&
                    a.right == b.right)
            << "node " << i;
      }
      ASSERT_EQ(solver->columnWeights, bakedWeights);
      ASSERT_EQ(std::count(solver->literalCosts.begin(), solver->literalCosts.end(), 0u),
                long(solver->literalCosts.size()));
      ASSERT_TRUE(solver->costStack.empty());
      ASSERT_EQ(solver->noRedundantItems, 0u);
    }

    coverage.clustered += std::any_of(s.clusters.begin(), s.clusters.end(),
                                      [](unsigned int c) { return popcount(c) > 1; });
    coverage.ties += noCheapest > 1 && cheapest < kOneSided ? 1 : 0;
    coverage.oneSided += cheapest == kOneSided ? 1 : 0;
    coverage.real += cheapest < kOneSided ? 1 : 0;
    coverage.maximum += cheapest < kOneSided && (cheapest >> 32) != 0 ? 1 : 0;
    coverage.additive += cheapest < kOneSided && (uint32_t(cheapest) >> s.groupBits) != 0 ? 1 : 0;
  }
};

TEST(ko2SATSolverRandom, MatchesEnumerationAndSearchOrder) {
  tCoverage coverage;
  const unsigned int noSeeds = 8000;  // four systems each: the whole one and three parts
  for (unsigned int seed = 1; seed <= noSeeds; ++seed) {
    SCOPED_TRACE(seed);
    tRandomSystem random(seed);
    ASSERT_NO_FATAL_FAILURE(random.run(coverage));
  }
  // The sample reached every kind of result.
  EXPECT_GT(coverage.real, noSeeds);
  EXPECT_GT(coverage.oneSided, noSeeds);
  EXPECT_GT(coverage.additive, noSeeds / 4);
  EXPECT_GT(coverage.maximum, noSeeds / 10);
  EXPECT_GT(coverage.ties, noSeeds);
  EXPECT_GT(coverage.clustered, noSeeds / 5);
}

} // namespace
