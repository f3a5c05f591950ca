#include "koExplodedViewAnimation.h"

#include "explosion/koExplosionDiagramFixture.h"
#include "koSampleAssemblies.h"

#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Animation = koExplodedViewAnimation;
using Keys = std::map<unsigned int, Vec3>;  // time step -> increment
constexpr unsigned int None = 0xFFFFFFFFu;

// An animation worked out from the key rules alone, reading only the diagram and its hierarchy.
// Every split must have both groups. Keys carry no key group: clamping reads their own increments.
struct KeyRules {
  struct Cluster {
    std::vector<float> times;
    std::vector<Vec3> translations;
    koBBox travel;  // of the translations
  };
  const koExplosionDiagram& d;
  const koDisassemblyHierarchy& h;
  std::vector<Keys> keys{};           // per group
  std::vector<unsigned int> order{};  // list scheduling: splits in pre-order
  std::vector<std::set<unsigned int>> exclusions{}, movers{};
  std::vector<Cluster> clusters{};  // what play() found, at each reference group
  std::ostringstream report{};

  const koDisassemblyHierarchy::tTreeNode& node(unsigned int v) const { return h.getNode(v); }
  bool isSplit(unsigned int v) const { return node(v).firstChild != None; }
  unsigned int ref(unsigned int g) const { return d.getReferenceGroup(g); }
  bool movesFirst(unsigned int v) const { return d.getSplitData(v).moveFirstChild != 0; }
  // The moving (or the fixed) group and child of split v.
  unsigned int group(unsigned int v, bool moving) const {
    return movesFirst(v) == moving ? unsigned(d.getSplitData(v).groupA) : d.getSplitData(v).groupB;
  }
  unsigned int child(unsigned int v, bool moving) const {
    return movesFirst(v) == moving ? node(v).firstChild : node(v).secondChild;
  }
  std::vector<unsigned int> clustersUnder(unsigned int v) const {
    std::vector<unsigned int> found;
    for (unsigned int p = node(v).first; p < node(v).first + node(v).noGroups; ++p)
      if (ref(h.getGroupList()[p]) == h.getGroupList()[p])
        found.push_back(h.getGroupList()[p]);
    return found;
  }

  // Numbering along chains of second children, for every policy (policy 2 as its numbering step
  // has it: a fixed first child opens with its parent). Returns the number of splits under v.
  unsigned int chainTimes(unsigned int v, unsigned int t, unsigned int policy,
                          std::vector<unsigned int>& times) const {
    unsigned int count = 0;
    for (unsigned int x = v; isSplit(x); x = node(x).secondChild) {
      times[x] = t + 1;
      const bool optimal = policy == Animation::ePolicyOptimal;
      const bool together = optimal && !movesFirst(x);
      const unsigned int k = chainTimes(node(x).firstChild, together ? t : t + 1, policy, times);
      t += (!optimal || together) + (policy == Animation::ePolicySequential ? k : 0);
      count += k + 1;
    }
    return count;
  }

  // Pre-order, moving child first: a split and its moving subtree exclude every split that moves
  // the cluster they leave. movers: per cluster, the splits moving it.
  unsigned int gather(unsigned int v) {
    if (!isSplit(v))
      return 0;
    const size_t at = order.size();
    order.push_back(v);
    const unsigned int k1 = gather(child(v, true));
    gather(child(v, false));
    const std::set<unsigned int> fixedMovers = movers[ref(group(v, false))];
    for (size_t i = at; i <= at + k1; ++i)
      for (unsigned int m : fixedMovers) {
        exclusions[order[i]].insert(m);
        exclusions[m].insert(order[i]);
      }
    for (unsigned int r : clustersUnder(child(v, true))) {
      movers[r].insert(fixedMovers.begin(), fixedMovers.end());
      movers[r].insert(v);
    }
    return static_cast<unsigned int>(order.size() - at);
  }
  // List scheduling: the smallest (parent unplaced, time), lowest id first, at its first step that
  // no placed exclusion holds; its fixed child opens no earlier, its moving child a step later.
  void schedule(std::vector<unsigned int>& times) {
    order.clear();
    exclusions.assign(h.getNoNodes(), {});
    movers.assign(d.meshGroups.getNoGroups(), {});
    gather(0);
    times.assign(h.getNoNodes(), 1u);
    std::vector<unsigned int> candidates(order);
    std::sort(candidates.begin(), candidates.end());
    std::vector<bool> placed(h.getNoNodes(), false);
    auto rank = [&](unsigned int x) {
      return std::make_pair(node(x).parent != None && !placed[node(x).parent], times[x]);
    };
    while (!candidates.empty()) {
      const auto best = std::min_element(candidates.begin(), candidates.end(),
                                         [&](auto a, auto b) { return rank(a) < rank(b); });
      const unsigned int x = *best;
      candidates.erase(best);
      while (std::any_of(exclusions[x].begin(), exclusions[x].end(),
                         [&](unsigned int m) { return placed[m] && times[m] == times[x]; }))
        ++times[x];
      for (bool moving : {false, true})
        if (isSplit(child(x, moving)))
          times[child(x, moving)] = std::max(times[child(x, moving)], times[x] + moving);
      placed[x] = true;
    }
  }

  // Post-order, second child first: a moving cluster rides along with every key of the cluster it
  // leaves, then takes its own step. Motions meeting in one step (opening by level) add up.
  void writeKeys(unsigned int v, const std::vector<unsigned int>& times) {
    if (!isSplit(v))
      return;
    writeKeys(node(v).secondChild, times);
    writeKeys(node(v).firstChild, times);
    auto put = [](Keys& to, unsigned int t, const Vec3& increment) {
      if (const auto [key, added] = to.emplace(t, increment); !added)
        key->second += increment;
    };
    const Vec3 step = d.getFinalPerGroupTranslation(group(v, true)) -
                      d.getFinalPerGroupTranslation(group(v, false));
    for (unsigned int r : clustersUnder(child(v, true))) {
      for (const auto& [t, increment] : keys[ref(group(v, false))])
        put(keys[r], t, increment);
      put(keys[r], times[v], step);
    }
  }
  // Fixed clusters before the clusters that move away from them.
  void clampingOrder(unsigned int v, unsigned int g, std::vector<unsigned int>& out) const {
    if (isSplit(v)) {
      clampingOrder(child(v, false), g, out);
      clampingOrder(child(v, true), group(v, true), out);
    } else if (g != None) {
      out.push_back(ref(g));
    }
  }
  // Travel along the axis of the key at the split time T, from T on, goes to the first key in
  // its sense (at least the minimum split distance m at T); the last key takes what is left.
  void clamp(Keys& k, unsigned int T, float m) {
    auto unit = [](const Vec3& v) { return v.Length() > 0.0f ? v / v.Length() : v; };
    const auto from = k.lower_bound(T);
    const Vec3 u = from != k.end() && from->first == T ? unit(from->second) : Vec3(0, 0, 0);
    auto nearAxis = [&](const Vec3& v) { return std::fabs(unit(v).Dot(u)) > 0.9848077f; };
    float net = 0.0f;
    Vec3 total(0.0f, 0.0f, 0.0f);
    for (auto it = from; it != k.end(); ++it) {
      net += nearAxis(it->second) ? it->second.Dot(u) : 0.0f;
      total += it->second;
    }
    const bool positive = net > 0.0f;
    for (auto it = from; it != k.end() && std::next(it) != k.end(); ++it) {
      if (nearAxis(it->second)) {
        const float a = it->second.Dot(u);
        float take = (a > 0.0f) == positive ? net : 0.0f;
        take = it->first == T ? std::max(m, take) : take;
        net -= take;
        it->second -= (a - take) * u;
      }
      total -= it->second;
    }
    if (from != k.end())
      k.rbegin()->second = total;
  }

  // Key arrays of reference group r; adds its error line.
  Cluster arrays(unsigned int r, unsigned int maxTime, unsigned int style, float speed) {
    std::vector<float> t{0.0f};
    std::vector<Vec3> p{Vec3(0.0f, 0.0f, 0.0f)};
    auto add = [&](float time, const Vec3& translation) {
      t.push_back(time);
      p.push_back(translation);
    };
    for (const auto& [time, increment] : keys[r]) {
      if (time > t.back() + 1)
        add(float(time - 1), p.back());
      add(float(time), p.back() + increment);
    }
    const Vec3 exploded = p.back();
    if (t.back() < maxTime)
      add(float(maxTime), exploded);
    const size_t c = t.size();
    if (style == Animation::ePlayImplode || style == Animation::ePlayImplodeExplode) {
      std::reverse(t.begin(), t.end());
      std::reverse(p.begin(), p.end());
      for (float& time : t)
        time = maxTime - time;
    }
    const bool twoHalves = style >= Animation::ePlayImplodeExplode;  // a hold of one step each
    for (size_t j = 0; twoHalves && j < c; ++j)
      add(maxTime - t[c - 1 - j] + maxTime + 1.0f, p[c - 1 - j]);
    add(twoHalves ? 2 * (maxTime + 1.0f) : maxTime + 1.0f, p[twoHalves ? 0 : c - 1]);

    Cluster cluster{{}, p, {}};
    for (size_t i = 0; i < t.size(); ++i) {
      cluster.times.push_back(t[i] * speed);
      cluster.travel.grow(p[i]);
    }
    const Vec3 miss = exploded - d.getFinalPerGroupTranslation(r);
    if (miss.Length() > 0.001f)
      report << "error: " << r << ": " << double(miss.X()) << " " << double(miss.Y()) << " "
             << double(miss.Z()) << "\n";
    return cluster;
  }

  void play(unsigned int policy, unsigned int style, float speed) {
    const unsigned int n = d.meshGroups.getNoGroups();
    std::vector<unsigned int> times(h.getNoNodes(), 0u), splitOf(n, None), clamped;
    if (policy == Animation::ePolicyOptimal)
      schedule(times);
    else
      chainTimes(0, 0, policy, times);
    // The split that moves each cluster: the last in node-id order whose moving group it holds.
    for (unsigned int v = 0; v < h.getNoNodes(); ++v)
      if (isSplit(v))
        splitOf[ref(group(v, true))] = v;
    keys.assign(n, {});
    writeKeys(0, times);
    clampingOrder(0, None, clamped);
    for (unsigned int r : clamped)
      if (splitOf[r] != None)  // a cluster no split moves keeps its keys unclamped
        clamp(keys[r], times[splitOf[r]], d.getGroupMinSplitDistance(r));
    unsigned int maxTime = 0;
    for (const Keys& k : keys)
      maxTime = k.empty() ? maxTime : std::max(maxTime, k.rbegin()->first);
    clusters.assign(n, {});
    report.str("");
    for (unsigned int r = 0; r < n; ++r)
      if (ref(r) == r)
        clusters[r] = arrays(r, maxTime, style, speed);
  }
};

// Merges small subtrees of a plan into leaves of several boxes and replans. Every other tree shifts
// each moved cluster by a random offset (keys then meet its axis at any angle); every other pair
// of trees has one split move its other side (two splits then move one cluster, missing keys).
void replan(koExplodedAssembly& plan, unsigned int seed) {
  std::mt19937 random(seed);
  for (unsigned int v = 0; v < plan.hierarchy.getNoNodes(); ++v)
    if (!plan.hierarchy.getNode(v).isLeaf() && plan.hierarchy.getNode(v).noGroups < 4 &&
        random() % 3 == 0)
      plan.hierarchy.clearSubHierarchy(v);
  plan.hierarchy.computeHierarchyIndexing(0);
  plan.explosion.computeTranslationHierarchy(0.5f);
  std::vector<unsigned int> splits;
  for (unsigned int v = 0; v < plan.hierarchy.getNoNodes(); ++v)
    if (!plan.hierarchy.getNode(v).isLeaf()) {
      splits.push_back(v);
      EXPECT_TRUE(plan.explosion.getSplitData(v).isValid()) << "seed " << seed << ", split " << v;
    }
  const unsigned int n = plan.explosion.meshGroups.getNoGroups();
  std::vector<Vec3> offsets(n);
  std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
  for (unsigned int c = 0; c < 3 * n; ++c)
    offsets[c / 3][c % 3] = coordinate(random);
  for (unsigned int g = 0; seed % 2 == 0 && g < n; ++g)
    if (plan.explosion.getFinalPerGroupTranslation(g) != Vec3(0.0f, 0.0f, 0.0f))
      plan.explosion.finalPerGroupTranslations[g] += offsets[plan.explosion.getReferenceGroup(g)];
  if (seed % 4 < 2 && !splits.empty())
    plan.explosion.splitData[splits[random() % splits.size()]].moveFirstChild ^= 1u;
}

template <typename T>
std::vector<T> listed(const ko::koTSharedArray<T>& array) {
  return std::vector<T>(array.GetData(), array.GetData() + array.GetQuantity());
}

// Every policy and play style on random trees against the rules. Comparisons are exact: the rules
// use the same float operations in the same order, so any difference is a different rule.
TEST(koExplodedViewAnimation, KeysFollowTheRulesOnRandomTrees) {
  for (unsigned int seed = 1; seed <= 60; ++seed) {
    auto boxes = koSampleAssemblies::randomPacking(4 + seed % 9, seed, seed % 3 == 0);
    const koMeshGroups& groups = boxes->meshGroups();
    koExplodedAssembly plan(*boxes, 0.5f);
    replan(plan, seed);
    KeyRules rules{plan.explosion, plan.hierarchy};
    Animation animation(plan.explosion);
    animation.setAnimationBaseSpeed(0.3f);
    for (unsigned int policy = 0; policy < 3; ++policy) {
      animation.setAnimationPolicy(Animation::tAnimationPolicy(policy));
      std::vector<unsigned int> times(plan.hierarchy.getNoNodes(), 0u), expected(times);
      EXPECT_EQ(animation.computeTimeIndexPerSplit(0, 0, times),
                rules.chainTimes(0, 0, policy, expected));
      EXPECT_EQ(times, expected) << "seed " << seed << ", policy " << policy;
      for (unsigned int style = 0; style < 4; ++style) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", policy " << policy << ", style "
                                        << style);
        animation.setAnimationPlayStyle(Animation::tAnimationPlayStyle(style));
        rules.play(policy, style, 0.3f);
        testing::internal::CaptureStdout();
        animation.createKeyFrameControllers();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), rules.report.str());
        // One controller per mesh (the previous run's gone); the box: every vertex at every key.
        EXPECT_EQ(animation.getControllers().size(), groups.meshes.size());
        koBBox box;
        for (unsigned int m = 0; m < groups.meshes.size(); ++m) {
          const ko::koTriMesh& mesh = *groups.meshes[m];
          const KeyRules::Cluster& cluster = rules.clusters[rules.ref(groups.meshGroupIds[m])];
          ASSERT_EQ(mesh.GetControllerQuantity(), 1) << "mesh " << m;
          const auto& c = static_cast<const ko::koKeyframeController&>(*mesh.GetController(0));
          EXPECT_EQ(listed(*c.TranslationTimes), cluster.times) << "mesh " << m;
          EXPECT_EQ(listed(*c.TranslationData), cluster.translations) << "mesh " << m;
          EXPECT_EQ(c.MaxTime, double(cluster.times.back())) << "mesh " << m;
          for (int i = 0; i < mesh.VBuffer->GetVertexQuantity(); ++i) {
            box.grow(mesh.VBuffer->Position3(i) + cluster.travel.min);
            box.grow(mesh.VBuffer->Position3(i) + cluster.travel.max);
          }
        }
        EXPECT_EQ(animation.getGlobalBBox().min, box.min);
        EXPECT_EQ(animation.getGlobalBBox().max, box.max);
      }
    }
  }
}

} // namespace
