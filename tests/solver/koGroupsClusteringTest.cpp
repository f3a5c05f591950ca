#include "koGroupsClustering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Groups = std::set<unsigned int>;
using tEntry = std::pair<Groups, bool>;  // a cluster's groups and its disassemblable flag

bool includes(const Groups& outer, const Groups& inner) {
  return std::includes(outer.begin(), outer.end(), inner.begin(), inner.end());
}

// Random pushes, deletions, flag changes and chain scans against a plain family of group sets
// kept in list order (first position ascending, the larger set first) and a plain group order.
// A new set drops the sets it partly overlaps, reporting those met after its insertion point;
// its span of positions is partitioned stably, its groups first. Reading every cluster through
// getCluster also proves each one a contiguous run.
TEST(koGroupsClustering, RandomOperationsMatchAFamilyOfSets) {
  std::mt19937 rng(20240611);
  unsigned int noNested = 0, noDropped = 0, noReported = 0, noRepushed = 0, noChained = 0,
               noDeletedWithNested = 0;
  for (int round = 0; round < 60; ++round) {
    const unsigned int n = 1 + rng() % (round < 30 ? 12u : 140u);
    koGroupsClustering clustering(n);
    ko2SATState state(n), cluster(n);
    clustering.pushCluster(state, true);  // an empty set adds nothing
    std::vector<unsigned int> order(n);   // position -> group
    std::iota(order.begin(), order.end(), 0u);
    std::vector<tEntry> model;
    const auto key = [&](const Groups& set) {
      long first = n;
      for (unsigned int g : set)
        first = std::min(first, long(std::find(order.begin(), order.end(), g) - order.begin()));
      return std::make_pair(first, -long(set.size()));
    };
    for (int step = 0; step < 40; ++step) {
      const unsigned int kind = model.empty() ? 0 : rng() % 7;
      if (kind == 5) {
        const unsigned int id = rng() % model.size();
        const bool withNested = rng() % 2 == 0;
        const Groups deleted = model[id].first;
        clustering.deleteCluster(id, withNested);
        const size_t before = model.size();
        for (size_t i = model.size(); i-- > 0;)
          if (model[i].first == deleted || (withNested && includes(deleted, model[i].first)))
            model.erase(model.begin() + long(i));
        noDeletedWithNested += before > model.size() + 1;
      } else if (kind == 6) {
        const unsigned int id = rng() % model.size();
        model[id].second = !model[id].second;
        clustering.setClusterDisassemblable(id, model[id].second);
      } else {
        // Mostly variations of earlier sets, so that nesting and re-pushing happen.
        Groups groups = kind == 0 ? Groups() : model[rng() % model.size()].first;
        for (unsigned int size = 1 + rng() % std::min(n, 6u); kind == 0 && groups.size() < size;)
          groups.insert(rng() % n);
        if (kind == 2)
          groups.insert(rng() % n);
        if (kind == 3 && groups.size() > 1)
          groups.erase(std::next(groups.begin(), rng() % groups.size()));
        const bool disassemblable = rng() % 2 == 0;
        // Re-pushing a set only sets its flag: the family has no set crossing it.
        std::string expectedOutput;
        std::vector<tEntry> kept;
        bool afterInsertionPoint = false;
        for (const tEntry& entry : model) {
          size_t common = 0;
          for (unsigned int g : entry.first)
            common += groups.count(g);
          noNested += common == entry.first.size();
          noRepushed += entry.first == groups;
          if (common > 0 && common < entry.first.size() && common < groups.size()) {
            ++noDropped;
            if (afterInsertionPoint)
              expectedOutput += "deleted\n", ++noReported;
          } else if (entry.first != groups) {
            kept.push_back(entry);
            afterInsertionPoint = afterInsertionPoint || key(groups) < key(entry.first);
          }
        }
        kept.emplace_back(groups, disassemblable);
        model = kept;
        const auto inSet = [&](unsigned int g) { return groups.count(g) != 0; };
        std::stable_partition(std::find_if(order.begin(), order.end(), inSet),
                              std::find_if(order.rbegin(), order.rend(), inSet).base(), inSet);
        state.clear(false);
        for (unsigned int g : groups)
          state.add(g);
        testing::internal::CaptureStdout();
        clustering.pushCluster(state, disassemblable);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOutput);
      }
      std::sort(model.begin(), model.end(),
                [&](const tEntry& a, const tEntry& b) { return key(a.first) < key(b.first); });

      std::vector<tEntry> actual;
      for (unsigned int id = 0; id < clustering.getNoClusters(); ++id) {
        clustering.getCluster(id, cluster);
        actual.emplace_back(Groups(), clustering.getCluster(id).isDisassemblable());
        cluster.forEachMember([&](unsigned int g) { actual.back().first.insert(g); });
      }
      ASSERT_EQ(actual, model) << "round " << round << " step " << step;
      for (unsigned int p = 0; p < n; ++p)
        ASSERT_EQ(clustering.getGroupIdFromOrderedIndex(p), order[p]) << "position " << p;

      // One scan of getNextClusterId over a system made of some sets: the eligible clusters
      // inside it that no other eligible one holds, in list order. A disassemblable cluster
      // binds only when it is a proper part of the system, and only when asked for.
      Groups system;
      for (unsigned int k = rng() % 3; k > 0 && !model.empty(); --k) {
        const Groups& part = model[rng() % model.size()].first;
        system.insert(part.begin(), part.end());
      }
      if (rng() % 3 == 0)
        system.insert(rng() % n);
      const bool useDisassemblable = rng() % 2 == 0;
      const auto eligible = [&](const tEntry& e) {
        return includes(system, e.first) &&
               (useDisassemblable ? e.first.size() < system.size() || !e.second : !e.second);
      };
      std::vector<Groups> expectedChain, chain;
      for (const tEntry& e : model)
        if (eligible(e) && std::none_of(model.begin(), model.end(), [&](const tEntry& o) {
              return o.first != e.first && eligible(o) && includes(o.first, e.first);
            }))
          expectedChain.push_back(e.first);
      state.clear(false);
      for (unsigned int g : system)
        state.add(g);
      for (unsigned int id = clustering.getNextClusterId(useDisassemblable, state, 0xFFFFFFFFu);
           id != 0xFFFFFFFFu; id = clustering.getNextClusterId(useDisassemblable, state, id))
        chain.push_back(id < model.size() ? model[id].first : Groups());
      EXPECT_EQ(chain, expectedChain) << "round " << round << " step " << step;
      noChained += unsigned(chain.size());
    }
  }
  EXPECT_GT(std::min({noNested, noDropped, noRepushed, noChained}), 100u);
  EXPECT_GT(noReported, 10u);
  EXPECT_LT(noReported, noDropped);  // some drops come before the insertion point
  EXPECT_GT(noDeletedWithNested, 20u);
}

} // namespace
