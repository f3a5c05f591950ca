#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Groups = std::set<unsigned int>;
using Ids = std::vector<unsigned int>;
constexpr unsigned int kNone = 0xFFFFFFFFu;

// A registry over n groups driven and read through group sets.
struct tRegistry {
  unsigned int n;
  koGroupsClustering clustering{n};

  void fill(ko2SATState& state, const Groups& groups) const {
    state.clear(false);
    for (unsigned int g : groups)
      state.add(g);
  }
  // What the push printed.
  std::string push(const Groups& groups, bool disassemblable = false) {
    ko2SATState state(n);
    fill(state, groups);
    testing::internal::CaptureStdout();
    clustering.pushCluster(state, disassemblable);
    return testing::internal::GetCapturedStdout();
  }
  Groups cluster(unsigned int id) const {
    ko2SATState state(n);
    clustering.getCluster(id, state);
    Groups groups;
    state.forEachMember([&](unsigned int g) { groups.insert(g); });
    return groups;
  }
  std::vector<Groups> clusters() const {
    std::vector<Groups> all;
    for (unsigned int id = 0; id < clustering.getNoClusters(); ++id)
      all.push_back(cluster(id));
    return all;
  }
  Ids order() const {
    Ids groups;
    for (unsigned int p = 0; p < n; ++p)
      groups.push_back(clustering.getGroupIdFromOrderedIndex(p));
    return groups;
  }
  // Every cluster one scan of getNextClusterId hands out for a system.
  std::vector<Groups> chain(const Groups& system, bool useDisassemblable) {
    ko2SATState state(n);
    fill(state, system);
    std::vector<Groups> chained;
    for (unsigned int id = clustering.getNextClusterId(useDisassemblable, state, kNone);
         id != kNone; id = clustering.getNextClusterId(useDisassemblable, state, id))
      chained.push_back(cluster(id));
    return chained;
  }
};

TEST(koGroupsClustering, PushReordersTheSpanAndRepushingOnlySetsTheFlag) {
  tRegistry four{4};
  EXPECT_EQ(four.push({}), "");
  EXPECT_EQ(four.clustering.getNoClusters(), 0u);
  four.push({1, 3});
  EXPECT_EQ(four.order(), Ids({0, 1, 3, 2}));
  EXPECT_EQ(four.clustering.getCluster(0).first, 1u);
  EXPECT_EQ(four.clustering.getCluster(0).countAndFlag, 2u);
  four.push({3, 1}, true);
  EXPECT_EQ(four.clustering.getNoClusters(), 1u);
  EXPECT_EQ(four.clustering.getCluster(0).countAndFlag, 0x80000002u);
}

TEST(koGroupsClustering, ChainsOutermostEligibleClustersAndDeletesSubclusters) {
  tRegistry six{6};
  six.push({0, 1, 2, 3}, true);
  six.push({0, 1});
  six.push({2});
  six.push({4, 5}, true);
  ASSERT_EQ(six.clusters(), std::vector<Groups>({{0, 1, 2, 3}, {0, 1}, {2}, {4, 5}}));

  const Groups all{0, 1, 2, 3, 4, 5};
  EXPECT_EQ(six.chain(all, false), std::vector<Groups>({{0, 1}, {2}}));
  EXPECT_EQ(six.chain(all, true), std::vector<Groups>({{0, 1, 2, 3}, {4, 5}}));
  // A disassemblable cluster as large as the system never binds it; a fixed one does.
  EXPECT_EQ(six.chain({0, 1, 2, 3}, true), std::vector<Groups>({{0, 1}, {2}}));
  EXPECT_EQ(six.chain({0, 1}, false), std::vector<Groups>({{0, 1}}));
  EXPECT_EQ(six.chain({1, 2, 3, 4}, true), std::vector<Groups>({{2}}));

  const Ids order = six.order();
  six.clustering.setClusterDisassemblable(3, false);
  six.clustering.deleteCluster(0, false);
  EXPECT_EQ(six.clusters(), std::vector<Groups>({{0, 1}, {2}, {4, 5}}));
  six.push({0, 1, 2, 3});
  six.clustering.deleteCluster(0, true);
  EXPECT_EQ(six.clusters(), std::vector<Groups>({{4, 5}}));
  EXPECT_FALSE(six.clustering.getCluster(0).isDisassemblable());
  EXPECT_EQ(six.order(), order);
}

// Random pushes against a plain family of group sets, in which a new set drops the sets it
// partly overlaps: the registry must hold exactly the surviving sets, each a contiguous run,
// listed by first position with the larger first, reporting exactly the drops met after the
// insertion point.
TEST(koGroupsClustering, RandomPushesMatchAFamilyOfSets) {
  std::mt19937 rng(20240611);
  unsigned int noNested = 0, noDropped = 0, noReported = 0, noRepushed = 0;
  for (int round = 0; round < 40; ++round) {
    tRegistry registry{static_cast<unsigned int>(1 + rng() % (round < 20 ? 12u : 140u))};
    const unsigned int n = registry.n;
    std::vector<std::pair<Groups, bool>> model;
    for (int step = 0; step < 30; ++step) {
      // Mostly variations of earlier sets, so that nesting and re-pushing happen.
      Groups groups;
      const unsigned int kind = model.empty() ? 0 : rng() % 4;
      if (kind == 0)
        for (unsigned int size = 1 + rng() % std::min(n, 6u); groups.size() < size;)
          groups.insert(rng() % n);
      else
        groups = model[rng() % model.size()].first;
      if (kind == 2)
        groups.insert(rng() % n);
      if (kind == 3 && groups.size() > 1)
        groups.erase(std::next(groups.begin(), rng() % groups.size()));
      const bool disassemblable = rng() % 2 == 0;

      Ids positions(n);
      for (unsigned int p = 0; p < n; ++p)
        positions[registry.clustering.getGroupIdFromOrderedIndex(p)] = p;
      const auto listKey = [&](const Groups& set) {
        unsigned int first = kNone;
        for (unsigned int g : set)
          first = std::min(first, positions[g]);
        return std::make_pair(first, -static_cast<long>(set.size()));
      };
      std::sort(model.begin(), model.end(),
                [&](const auto& a, const auto& b) { return listKey(a.first) < listKey(b.first); });
      std::string expectedOutput;
      const auto same = std::find_if(model.begin(), model.end(),
                                     [&](const auto& entry) { return entry.first == groups; });
      if (same != model.end()) {
        same->second = disassemblable;
        ++noRepushed;
      } else {
        std::vector<std::pair<Groups, bool>> kept;
        bool afterInsertionPoint = false;
        for (const auto& entry : model) {
          size_t common = 0;
          for (unsigned int g : entry.first)
            common += groups.count(g);
          noNested += common == entry.first.size();
          if (common > 0 && common < entry.first.size() && common < groups.size()) {
            ++noDropped;
            if (afterInsertionPoint) {
              expectedOutput += "deleted\n";
              ++noReported;
            }
          } else {
            kept.push_back(entry);
            afterInsertionPoint = afterInsertionPoint || listKey(groups) < listKey(entry.first);
          }
        }
        kept.emplace_back(groups, disassemblable);
        model = kept;
      }
      EXPECT_EQ(registry.push(groups, disassemblable), expectedOutput);

      // getCluster reads a run of positions, so matching the model proves every set contiguous.
      std::vector<std::pair<Groups, bool>> actual;
      for (unsigned int id = 0; id < registry.clustering.getNoClusters(); ++id) {
        const koGroupsClustering::tCluster& cluster = registry.clustering.getCluster(id);
        actual.emplace_back(registry.cluster(id), cluster.isDisassemblable());
        if (id == 0)
          continue;
        const koGroupsClustering::tCluster& previous = registry.clustering.getCluster(id - 1);
        EXPECT_TRUE(previous.first < cluster.first ||
                    (previous.first == cluster.first && previous.getCount() > cluster.getCount()))
            << "clusters " << id - 1 << " and " << id;
      }
      std::sort(model.begin(), model.end());
      std::sort(actual.begin(), actual.end());
      ASSERT_EQ(actual, model) << "round " << round << " step " << step;
    }
  }
  EXPECT_GT(noNested, 50u);
  EXPECT_GT(noDropped, 50u);
  EXPECT_GT(noReported, 10u);
  EXPECT_LT(noReported, noDropped);
  EXPECT_GT(noRepushed, 20u);
}

} // namespace
