// Seeded random assemblies whose every split is recomputed by brute force over all directions and
// all moving sides of the node, pass by pass, from the cost rules of the split solver; the same
// plan whatever the number of worker threads; replayed plans; and the deepest node holding a set
// of groups against a scan of every node.

#include "ko2SATState.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koGroupsClustering.h"
#include "support/koCountingNotifier.h"
#include "support/koHandDiagram.h"
#include "support/koHierarchyChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Builder = koDisassemblyHierarchyBuilder;
constexpr unsigned int None = koDisassemblyHierarchy::None;
constexpr unsigned int kOpposite = Builder::msOppositeFlag;
constexpr uint64_t kInfeasible = ~uint64_t{0};

// 2 to maxGroups groups (noGroups when given); contacts whose directions come from the 13 axis
// and diagonal lines, so that several directions often cost the same, and a few contacts that
// nothing separates; distant edges blocking random entries with random scores (an entry may
// repeat: its last score counts; one score more than entries, which the builder drops);
// sometimes sub-assemblies, some of which may be taken apart.
struct RandomAssembly {
  struct Distant {
    unsigned int group0, group1;
    std::vector<unsigned int> entries, scores;
  };

  RandomAssembly(unsigned int seed, unsigned int maxGroups, unsigned int noGroups = 0)
      : rng(seed), n(noGroups != 0 ? noGroups : 2 + rng() % (maxGroups - 1)), hand(n) {
    for (unsigned int c = 0, noContacts = n / 2 + rng() % n; c < noContacts; ++c) {
      std::vector<Wm4::Vector3<double>> directions(rng() % 10 == 0 ? 0 : 1 + rng() % 3);
      for (Wm4::Vector3<double>& d : directions) {
        const unsigned int i = 14 + rng() % 13;  // base-3 digits less 1: one of 13 cube lines
        d = Wm4::Vector3<double>(i % 3 - 1.0, i / 3 % 3 - 1.0, i / 9 - 1.0);
        d *= (rng() % 2 == 0 ? 1.0 : -1.0) / d.Length();
      }
      const auto [a, b] = distinctGroups();
      hand.diagram.pushContactEdge(a, b, directions.data(),
                                   static_cast<unsigned int>(directions.size()),
                                   Wm4::Vector3<float>(0.0f, 0.0f, 0.0f));
    }
    hand.diagram.computeDirectionSet(5.0f);
    const unsigned int noEntries = 2 * hand.diagram.getNoDirections();
    // Half the assemblies have no distant edge, so that more nodes fall apart into pieces that
    // nothing joins; the others have many, so that blocked splits often compete.
    for (unsigned int c = 0, noDistant = rng() % 2 == 0 ? 0 : rng() % (3 * n + 2); c < noDistant;
         ++c) {
      Distant edge;
      std::tie(edge.group0, edge.group1) = distinctGroups();
      for (unsigned int i = 0, count = rng() % (noEntries + 1); i < count; ++i) {
        const unsigned int entry = rng() % noEntries;
        edge.entries.push_back((entry >> 1) | (entry & 1) * kOpposite);
        edge.scores.push_back(rng() % 10);
      }
      edge.scores.push_back(rng() % 10);
      distant.push_back(edge);
    }
    if (rng() % 2 == 0) {
      clustering.reset(new koGroupsClustering(n));
      testing::internal::CaptureStdout();  // a cluster that crosses a newer one says "deleted"
      for (unsigned int c = 0, noClusters = 1 + rng() % 3; c < noClusters; ++c) {
        ko2SATState members(n);
        for (unsigned int g = 0; g < n; ++g)
          if (rng() % 2 == 0)
            members.add(g);
        clustering->pushCluster(members, rng() % 2 == 0);
      }
      testing::internal::GetCapturedStdout();
    }
  }
  std::pair<unsigned int, unsigned int> distinctGroups() {
    const unsigned int a = rng() % n;
    return {a, (a + 1 + rng() % (n - 1)) % n};
  }

  std::mt19937 rng;
  unsigned int n;
  koHandDiagram hand;
  std::vector<Distant> distant;
  std::unique_ptr<koGroupsClustering> clustering;
};

// The builder's plan for a random assembly, set up in the order the pipeline prescribes. Distant
// edges must arrive as given, and the progress must reach the n - 1 steps it opened, a node left
// whole advancing it by all the splits it will not have.
struct Plan {
  Plan(RandomAssembly& assembly, unsigned int threads, bool search = true)
      : hierarchy(assembly.hand.groups), builder(hierarchy, assembly.hand.diagram, threads) {
    builder.setNoDistantConstraints(static_cast<unsigned int>(assembly.distant.size()));
    for (const RandomAssembly::Distant& edge : assembly.distant) {
      std::vector<unsigned int> entries = edge.entries;
      builder.pushDistantConstraint(edge.group0, edge.group1, edge.scores, entries);
      const Builder::tDynamicEdgeData& pushed = builder.getEdgeData(builder.getNoEdges() - 1);
      EXPECT_TRUE(entries.empty() && pushed.distant && pushed.group0 == edge.group0 &&
                  pushed.group1 == edge.group1 && pushed.entries == edge.entries &&
                  pushed.constraint == builder.getNoEdges() - 1);
      EXPECT_EQ(pushed.perDirectionValues,
                std::vector<unsigned int>(edge.scores.begin(), edge.scores.end() - 1));
    }
    builder.setGroupsClustering(assembly.clustering.get());
    builder.initSolver();
    if (search)
      compute();
  }
  void compute() {
    koCountingNotifier progress;
    testing::internal::CaptureStdout();  // timing lines
    builder.computeGroupsHierarchy(0, &progress);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(progress.lastRange, hierarchy.getGroupList().size() - 1.0);
    EXPECT_EQ(progress.advancedSteps.load(), hierarchy.getGroupList().size() - 1.0);
  }
  void replay(const koDisassemblyHierarchy& reference) {
    testing::internal::CaptureStdout();
    builder.copyGroupsHierarchy(reference);
    testing::internal::GetCapturedStdout();
  }
  koDisassemblyHierarchy hierarchy;
  Builder builder;
};

// One node's split problem. Bit i of a side stands for the node's i-th group.
struct NodeProblem {
  struct Edge {
    unsigned int a, b;  // group0, group1 as bits of the node
    const Builder::tDynamicEdgeData* data;
  };
  std::vector<unsigned int> groups;
  std::vector<Edge> edges;                // every edge, contact or distant, inside the node
  std::vector<unsigned int> together[2];  // clusters kept whole in passes 0-1 and in passes 2-3
  unsigned int groupBits = 0;             // binary digits of the assembly's number of groups

  bool crosses(const Edge& edge, unsigned int moving) const {
    return ((moving >> edge.a) & 1u) != ((moving >> edge.b) & 1u);
  }

  // What moving the side `moving` along direction k costs in a pass: cutting a contact that lets
  // the two groups part this way costs 1 when k is its first entry, else 2 (additive weights);
  // a distant edge that blocks the move forbids it in the strict passes 0 and 2 and charges its
  // score in the soft passes 1 and 3 (the largest score counts, above every additive cost). The
  // side count breaks ties: the smaller side when nothing additive was charged, else the larger.
  uint64_t cost(unsigned int k, unsigned int moving, unsigned int pass) const {
    for (unsigned int cluster : together[pass / 2])
      if ((moving & cluster) != 0 && (moving & cluster) != cluster)
        return kInfeasible;
    uint64_t blocking = 0, parting = 0;
    for (const Edge& edge : edges) {
      if (!crosses(edge, moving))
        continue;
      // The entry that names this move: k itself when group0 moves, its opposite otherwise.
      const unsigned int wanted = k | (((moving >> edge.a) & 1u) != 0 ? 0u : kOpposite);
      const std::vector<unsigned int>& entries = edge.data->entries;
      const auto last = std::find(entries.rbegin(), entries.rend(), wanted);
      if (!edge.data->distant) {
        if (last == entries.rend())
          return kInfeasible;
        parting += (entries[0] & ~kOpposite) == k ? 1 : 2;
      } else if (last != entries.rend()) {
        if (pass % 2 == 0)
          return kInfeasible;
        blocking = std::max<uint64_t>(
            blocking, edge.data->perDirectionValues[entries.rend() - last - 1]);
      }
    }
    const unsigned int noMoving = static_cast<unsigned int>(std::bitset<32>(moving).count());
    const unsigned int noStaying = static_cast<unsigned int>(groups.size()) - noMoving;
    return (blocking << 32) + (parting << groupBits) +
           (parting != 0 ? std::max(noMoving, noStaying) : std::min(noMoving, noStaying));
  }

  // The cheapest two-sided split of a pass and the lowest direction that reaches it.
  std::pair<uint64_t, unsigned int> cheapest(unsigned int noDirections, unsigned int pass) const {
    std::pair<uint64_t, unsigned int> best{kInfeasible, None};
    for (unsigned int k = 0; k < noDirections; ++k)
      for (unsigned int moving = 1; moving + 1 < 1u << groups.size(); ++moving)
        best = std::min(best, {cost(k, moving, pass), k});
    return best;
  }
};

NodeProblem nodeProblem(const Plan& plan, unsigned int node, koGroupsClustering* clustering) {
  NodeProblem problem;
  problem.groups = groupsOfNode(plan.hierarchy, node);
  const unsigned int n = static_cast<unsigned int>(plan.hierarchy.getGroupList().size());
  std::vector<unsigned int> bit(n, None);
  for (unsigned int i = 0; i < problem.groups.size(); ++i)
    bit[problem.groups[i]] = i;
  for (unsigned int e = 0; e < plan.builder.getNoEdges(); ++e) {
    const Builder::tDynamicEdgeData& edge = plan.builder.getEdgeData(e);
    if (bit[edge.group0] != None && bit[edge.group1] != None)
      problem.edges.push_back({bit[edge.group0], bit[edge.group1], &edge});
  }
  // Clusters inside the node are kept whole (keeping the outermost whole where they nest keeps
  // the inner ones whole too); a disassemblable one only in passes 0 and 1, and only when smaller
  // than the node.
  std::vector<std::pair<unsigned int, bool>> clusters;  // members, disassemblable
  for (unsigned int id = 0; clustering != nullptr && id < clustering->getNoClusters(); ++id) {
    ko2SATState members(n);
    clustering->getCluster(id, members);
    unsigned int mask = 0;
    for (unsigned int i = 0; i < problem.groups.size(); ++i)
      mask |= members.test(problem.groups[i]) ? 1u << i : 0u;
    if (std::bitset<32>(mask).count() == clustering->getCluster(id).getCount())
      clusters.push_back({mask, clustering->getCluster(id).isDisassemblable()});
  }
  const unsigned int all = (1u << problem.groups.size()) - 1;
  for (unsigned int late = 0; late < 2; ++late)
    for (const auto& c : clusters)
      if (!c.second || (late == 0 && c.first != all))
        problem.together[late].push_back(c.first);
  while ((n >> problem.groupBits) != 0)
    ++problem.groupBits;
  return problem;
}

struct Coverage {
  unsigned int splitsInPass[4] = {0, 0, 0, 0};
  unsigned int redirected = 0;   // disjoint splits whose direction the reference split chose
  unsigned int stuckLeaves = 0;  // leaves of several groups
};

void checkAgainstBruteForce(const Plan& plan, koGroupsClustering* clustering, Coverage& seen) {
  const koDisassemblyHierarchy& hierarchy = plan.hierarchy;
  const Builder& builder = plan.builder;
  // Node ids grow from parent to child, so every node's reference is known before it is visited.
  std::vector<unsigned int> reference(hierarchy.getNoNodes(), None);
  for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
    const koDisassemblyHierarchy::tTreeNode& node = hierarchy.getNode(v);
    if (node.noGroups == None || node.noGroups < 2)
      continue;
    SCOPED_TRACE("node " + std::to_string(v) + " of " + describe(hierarchy));
    const NodeProblem problem = nodeProblem(plan, v, clustering);
    std::pair<uint64_t, unsigned int> best;
    unsigned int pass = 0;
    while (pass < 4 &&
           (best = problem.cheapest(builder.getContactDiagram().getNoDirections(), pass)).first ==
               kInfeasible)
      ++pass;
    if (node.isLeaf()) {
      EXPECT_EQ(pass, 4u) << "left whole, yet pass " << pass << " splits it at cost "
                          << best.first << " along " << best.second;
      ++seen.stuckLeaves;
      continue;
    }
    ASSERT_LT(pass, 4u) << "split, yet no pass has a split with two non-empty sides";
    ++seen.splitsInPass[pass];
    const koSplitSides sides(hierarchy, v);
    unsigned int moving = 0;
    for (unsigned int i = 0; i < problem.groups.size(); ++i)
      moving |= sides.moves(problem.groups[i]) ? 1u << i : 0u;
    EXPECT_EQ(problem.cost(best.second, moving, pass), best.first)
        << "the moving side is not the cheapest along " << best.second << " in pass " << pass;

    // When no edge joins the two sides the direction is free: it follows the contacts that the
    // reference split cut (any direction of their groups), and the children keep the node's own
    // reference. No distant edge joins the sides either, so none takes a candidate away, and the
    // smallest candidate is always a direction in its own sense: the moving side is never swapped
    // for its complement.
    const bool disjoint =
        std::none_of(problem.edges.begin(), problem.edges.end(),
                     [&](const NodeProblem::Edge& edge) { return problem.crosses(edge, moving); });
    unsigned int expected = best.second;
    if (disjoint && reference[v] != None) {
      const koSplitSides cut(hierarchy, reference[v]);
      std::set<unsigned int> candidates;
      for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
        const Builder::tDynamicEdgeData& edge = builder.getEdgeData(e);
        for (unsigned int g : {edge.group0, edge.group1})
          if (!edge.distant && cut.cuts(edge.group0, edge.group1) &&
              std::count(problem.groups.begin(), problem.groups.end(), g) != 0)
            candidates.insert(builder.getGroupDirections(g).begin(),
                              builder.getGroupDirections(g).end());
      }
      if (!candidates.empty() && candidates.count(best.second) == 0)
        expected = *candidates.begin();
      seen.redirected += expected != best.second ? 1 : 0;
    }
    EXPECT_EQ(node.splitDirection, expected) << "cheapest along " << best.second << " in pass "
                                             << pass << (disjoint ? ", disjoint sides" : "");
    for (unsigned int child : {node.firstChild, node.secondChild}) {
      reference[child] = disjoint ? reference[v] : v;
      EXPECT_EQ(builder.getNodeMetadata(child).referenceNode, reference[child]);
    }
  }
}

// The deepest node holding a set of groups is the last, in id order, of the nodes that hold it
// all, since ids grow from parent to child. Members: one random group, each other with chance 1/4.
void checkSmallestNodes(const koDisassemblyHierarchy& hierarchy, std::mt19937& rng) {
  const unsigned int n = static_cast<unsigned int>(hierarchy.getGroupList().size());
  for (unsigned int trial = 0; trial < 8; ++trial) {
    const unsigned int members = (rng() & rng() & ((1u << n) - 1)) | (1u << rng() % n);
    unsigned int expected = 0;
    ko2SATState set(n);
    for (unsigned int g = 0; g < n; ++g)
      if ((members >> g) & 1u)
        set.add(g);
    for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v) {
      unsigned int held = 0;
      for (unsigned int g : hierarchy.getNode(v).noGroups == None ? std::vector<unsigned int>{}
                                                                  : groupsOfNode(hierarchy, v))
        held |= 1u << g;
      expected = (held & members) == members ? v : expected;
    }
    EXPECT_EQ(hierarchy.getSmallestNodeIdContainingSet(set), expected)
        << "members " << std::bitset<9>(members) << " of " << describe(hierarchy);
  }
}

TEST(koHierarchyOracle, EverySplitIsTheCheapestOfTheFirstPassThatSplits) {
  Coverage seen;
  for (unsigned int seed = 0; seed < 250; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomAssembly assembly(seed, 9);
    Plan plan(assembly, 1);
    ASSERT_TRUE(isWellFormed(plan.hierarchy));
    checkAgainstBruteForce(plan, assembly.clustering.get(), seen);
    checkSmallestNodes(plan.hierarchy, assembly.rng);
  }
  // The sample reaches every rule: each pass decides some split, the reference split redirects
  // some disjoint ones, and some nodes cannot be split at all.
  for (unsigned int pass = 0; pass < 4; ++pass)
    EXPECT_GT(seen.splitsInPass[pass], 0u) << "pass " << pass;
  EXPECT_GT(seen.redirected, 0u);
  EXPECT_GT(seen.stuckLeaves, 0u);
}

// Equal-cost directions go to the lowest whatever thread tested them, 0 threads work as 1, and
// recomputing the tree on the same builder searches exactly as the first time. Replaying the plan
// on a builder that has searched nothing rebuilds its tree, node records and edge order; replaying
// the plan of another assembly over as many groups gives that plan, which no search would find.
TEST(koHierarchyOracle, SamePlanForEveryThreadCountWhenRecomputedAndReplayed) {
  for (unsigned int seed = 0; seed < 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomAssembly assembly(seed, 60), other(seed + 1000, 60, assembly.n);
    Plan single(assembly, 1), foreign(other, 1), replay(assembly, 1, false);
    const std::string expected = describe(single.hierarchy);
    EXPECT_TRUE(splitsRespectContacts(single.builder));
    for (unsigned int threads : {0u, 2u, 8u})
      EXPECT_EQ(describe(Plan(assembly, threads).hierarchy), expected) << threads << " threads";

    replay.replay(single.hierarchy);
    EXPECT_EQ(describe(replay.hierarchy), expected) << "replayed";
    for (unsigned int v = 0; v < single.hierarchy.getNoNodes(); ++v)
      EXPECT_EQ(0, std::memcmp(&single.builder.getNodeMetadata(v),
                               &replay.builder.getNodeMetadata(v), sizeof(Builder::tNodeMetadata)))
          << "node " << v;
    for (unsigned int e = 0; e < single.builder.getNoEdges(); ++e)
      EXPECT_EQ(replay.builder.getEdgeData(e).constraint, single.builder.getEdgeData(e).constraint);
    replay.replay(foreign.hierarchy);
    EXPECT_EQ(describe(replay.hierarchy), describe(foreign.hierarchy));

    single.compute();
    EXPECT_EQ(describe(single.hierarchy), expected) << "recomputed";
  }
}

} // namespace
