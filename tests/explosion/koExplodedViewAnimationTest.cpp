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
#include <string>
#include <vector>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Animation = koExplodedViewAnimation;
using Keys = std::map<unsigned int, Vec3>;  // time step -> increment
constexpr unsigned int None = 0xFFFFFFFFu;

// An animation worked out from the key rules alone, reading only the diagram's getters, its
// hierarchy and the meshes. Every split must have both groups. Keys do not carry their key group:
// clamping reads each key's own increment, so the key group never reaches the controllers.
struct KeyRules {
  struct Cluster {
    std::vector<const ko::koTriMesh*> meshes;  // of every group of the cluster's leaf
    std::vector<float> times, translations;     // translations: x, y, z per key
  };
  KeyRules(const koExplosionDiagram& diagram, const koMeshGroups& meshGroups)
      : d(diagram), h(diagram.hierarchy), groups(meshGroups) {}

  const koDisassemblyHierarchy::tTreeNode& node(unsigned int v) const { return h.getNode(v); }
  bool isSplit(unsigned int v) const { return node(v).firstChild != None; }
  unsigned int listed(unsigned int position) const { return h.getGroupList()[position]; }
  unsigned int ref(unsigned int g) const { return d.getReferenceGroup(g); }
  // The moving (or the fixed) group and child of split v.
  unsigned int group(unsigned int v, bool moving) const {
    const koExplosionDiagram::tSplitData& split = d.getSplitData(v);
    return bool(split.moveFirstChild) == moving ? unsigned(split.groupA) : split.groupB;
  }
  unsigned int child(unsigned int v, bool moving) const {
    return bool(d.getSplitData(v).moveFirstChild) == moving ? node(v).firstChild
                                                            : node(v).secondChild;
  }
  std::vector<unsigned int> clustersUnder(unsigned int v) const {
    std::vector<unsigned int> found;
    for (unsigned int p = node(v).first; p < node(v).first + node(v).noGroups; ++p)
      if (ref(listed(p)) == listed(p))
        found.push_back(listed(p));
    return found;
  }

  // Numbering along chains of second children: policies 0 and 1, and policy 2 as the numbering
  // step defines it. Returns the number of splits under v.
  unsigned int chainTimes(unsigned int v, unsigned int t, unsigned int policy,
                          std::vector<unsigned int>& times) const {
    unsigned int count = 0;
    for (unsigned int x = v; isSplit(x); x = node(x).secondChild) {
      times[x] = t + 1;
      unsigned int base = t + 1;
      if (policy != Animation::ePolicyOptimal)
        ++t;
      else if (!d.getSplitData(x).moveFirstChild)
        base = t++;
      const unsigned int k = chainTimes(node(x).firstChild, base, policy, times);
      count += k + 1;
      t += policy == Animation::ePolicySequential ? k : 0;
    }
    return count;
  }

  // Ordering pairs (parent, flag) and exclusions of the subtree of v, reached from split p
  // through its moving (f = 1) or fixed (f = 0) child; movers: per cluster, the splits moving it.
  unsigned int gather(unsigned int v, unsigned int p, unsigned int f) {
    if (!isSplit(v))
      return 0;
    const size_t at = order.size();
    order.push_back(v);
    parent[v] = p;
    flag[v] = f;
    const unsigned int k1 = gather(child(v, true), v, 1);
    gather(child(v, false), v, 0);
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
  // List scheduling over the splits by increasing id: the smallest (in-degree, time) first, the
  // earliest of equals, at the first step from its time that no placed exclusion holds. A split's
  // in-degree is 1 until its parent is placed.
  void schedule(std::vector<unsigned int>& times) {
    const unsigned int noNodes = h.getNoNodes();
    order.clear();
    parent.assign(noNodes, None);
    flag.assign(noNodes, 0u);
    exclusions.assign(noNodes, {});
    movers.assign(groups.getNoGroups(), {});
    gather(0, None, 0);
    times.assign(noNodes, 1u);
    std::vector<unsigned int> candidates(order);
    std::sort(candidates.begin(), candidates.end());
    std::vector<bool> placed(noNodes, false);
    auto rank = [&](unsigned int x) {
      return std::make_pair(parent[x] != None && !placed[parent[x]], times[x]);
    };
    while (!candidates.empty()) {
      const auto best = std::min_element(candidates.begin(), candidates.end(),
                                         [&](auto a, auto b) { return rank(a) < rank(b); });
      const unsigned int x = *best;
      candidates.erase(best);
      auto held = [&](unsigned int m) { return placed[m] && times[m] == times[x]; };
      while (std::any_of(exclusions[x].begin(), exclusions[x].end(), held))
        ++times[x];
      for (unsigned int s : order)
        if (parent[s] == x)
          times[s] = std::max(times[s], times[x] + flag[s]);
      placed[x] = true;
    }
  }

  // Post-order, second child first: each moving cluster rides along with every key of the
  // cluster it leaves, then takes its own step. Two motions in one step (both sides of a split
  // opening together, as in the by-level numbering) both apply, so that the keys add up.
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
  // Travel along the cluster's own axis from its split time T on goes to T (at least the minimum
  // split distance m there); the last key takes whatever is left.
  void clamp(Keys& k, unsigned int T, float m) {
    const auto from = k.lower_bound(T);
    Vec3 u(0.0f, 0.0f, 0.0f);
    if (from != k.end() && from->first == T && from->second.Length() > 0.0f)
      u = from->second / from->second.Length();
    auto nearAxis = [&](const Vec3& increment) {
      const float length = increment.Length();
      return std::fabs((length > 0.0f ? increment / length : increment).Dot(u)) > 0.9848077f;
    };
    float net = 0.0f;
    Vec3 total(0.0f, 0.0f, 0.0f);
    for (auto it = from; it != k.end(); ++it) {
      net += nearAxis(it->second) ? it->second.Dot(u) : 0.0f;
      total += it->second;
    }
    const bool positive = net > 0.0f;
    for (auto it = from; it != k.end(); ++it) {
      const bool last = std::next(it) == k.end();
      if (nearAxis(it->second)) {
        const float a = it->second.Dot(u);
        float take = (a > 0.0f) == positive ? net : 0.0f;
        take = it->first == T ? std::max(m, take) : take;
        net -= take;
        if (!last)
          it->second -= (a - take) * u;
      }
      if (!last)
        total -= it->second;
      else
        it->second = total;
    }
  }

  // Key arrays of reference group r; adds its error line and its share of the box.
  Cluster arrays(unsigned int r, unsigned int maxTime, unsigned int style, float speed) {
    const float hold = 1.0f;
    std::vector<float> t;
    std::vector<Vec3> p;
    auto add = [&](float time, const Vec3& translation) {
      t.push_back(time);
      p.push_back(translation);
    };
    add(0.0f, Vec3(0.0f, 0.0f, 0.0f));
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
    const bool twoHalves = style >= Animation::ePlayImplodeExplode;
    for (size_t j = 0; twoHalves && j < c; ++j)
      add(maxTime - t[c - 1 - j] + maxTime + hold, p[c - 1 - j]);
    add(twoHalves ? 2 * (maxTime + hold) : maxTime + hold, twoHalves ? p[0] : p[c - 1]);

    Cluster cluster;
    koBBox travel, vertices;
    for (size_t i = 0; i < t.size(); ++i) {
      cluster.times.push_back(t[i] * speed);
      cluster.translations.insert(cluster.translations.end(), {p[i].X(), p[i].Y(), p[i].Z()});
      travel.grow(p[i]);
    }
    const Vec3 miss = exploded - d.getFinalPerGroupTranslation(r);
    if (miss.Length() > 0.001f) {
      std::ostringstream line;
      line << "error: " << r << ": " << double(miss.X()) << " " << double(miss.Y()) << " "
           << double(miss.Z()) << "\n";
      report += line.str();
    }
    const koDisassemblyHierarchy::tTreeNode& leaf = node(h.getGroupLeaves()[r]);
    for (unsigned int q = leaf.first; q < leaf.first + leaf.noGroups; ++q)
      for (unsigned int k = 0; k < groups.getNoMeshes(listed(q)); ++k) {
        cluster.meshes.push_back(groups.getMesh(listed(q), k));
        for (int i = 0; i < cluster.meshes.back()->VBuffer->GetVertexQuantity(); ++i)
          vertices.grow(cluster.meshes.back()->VBuffer->Position3(i));
      }
    if (!vertices.isEmpty()) {
      box.grow(vertices.min + travel.min);
      box.grow(vertices.max + travel.max);
    }
    return cluster;
  }

  void play(unsigned int policy, unsigned int style, float speed) {
    const unsigned int n = groups.getNoGroups();
    std::vector<unsigned int> times(h.getNoNodes(), 0u), splitOf(n, None), clamped;
    if (policy == Animation::ePolicyOptimal)
      schedule(times);
    else
      chainTimes(0, 0, policy, times);
    // The split that moves each cluster; node ids are in pre-order, splits before their leaves.
    for (unsigned int i = 0; i < h.getNoNodes(); ++i)
      if (isSplit(i)) {
        splitOf[ref(group(i, true))] = i;
      } else if (node(i).noGroups != None && node(i).noGroups > 0) {
        const unsigned int moving = splitOf[ref(listed(node(i).first))];
        for (unsigned int q = node(i).first; q < node(i).first + node(i).noGroups; ++q)
          splitOf[listed(q)] = moving;
      }
    keys.assign(n, {});
    writeKeys(0, times);
    clampingOrder(0, None, clamped);
    for (unsigned int r : clamped)
      if (splitOf[r] != None)  // a cluster no split moves keeps its keys unclamped
        clamp(keys[r], times[splitOf[r]], d.getGroupMinSplitDistance(r));
    unsigned int maxTime = 0;
    for (unsigned int r = 0; r < n; ++r)
      if (ref(r) == r && !keys[r].empty())
        maxTime = std::max(maxTime, keys[r].rbegin()->first);
    clusters.clear();
    box.makeEmpty();
    report.clear();
    for (unsigned int r = 0; r < n; ++r)
      if (ref(r) == r)
        clusters.push_back(arrays(r, maxTime, style, speed));
  }

  const koExplosionDiagram& d;
  const koDisassemblyHierarchy& h;
  const koMeshGroups& groups;
  std::vector<Keys> keys;                         // per group
  std::vector<unsigned int> order, parent, flag;  // list scheduling: splits in pre-order
  std::vector<std::set<unsigned int>> exclusions, movers;
  std::vector<Cluster> clusters;  // what play() found, by reference group
  koBBox box;
  std::string report;
};

// A random packing of boxes planned by the builder and exploded, some small subtrees of its plan
// merged into leaves of several boxes.
struct RandomExplosion {
  explicit RandomExplosion(unsigned int seed)
      : boxes(koSampleAssemblies::randomPacking(4 + seed % 9, seed, seed % 3 == 0)),
        planned(*boxes, 0.5f), hierarchy(planned.hierarchy), explosion(planned.explosion),
        random(seed) {
    for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v)
      if (!hierarchy.getNode(v).isLeaf() && hierarchy.getNode(v).noGroups < 4 && random() % 3 == 0)
        hierarchy.clearSubHierarchy(v);
    hierarchy.computeHierarchyIndexing(0);
    explosion.computeTranslationHierarchy(0.5f);
    for (unsigned int v = 0; v < hierarchy.getNoNodes(); ++v)
      if (!hierarchy.getNode(v).isLeaf())
        splits.push_back(v);
    // The rules take the diagram's records as they are. Every other tree has each cluster's
    // translation moved by a random offset (but the zero of the cluster that never moves), so that
    // keys meet a cluster's axis at any angle, not only at the few angles of box faces; every other
    // pair of trees has one split move its other side, so that two splits move one cluster and
    // some keys miss their exploded translation.
    const unsigned int n = boxes->meshGroups().getNoGroups();
    std::vector<Vec3> offsets(n);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    for (unsigned int c = 0; c < 3 * n; ++c)
      offsets[c / 3][c % 3] = coordinate(random);
    for (unsigned int g = 0; seed % 2 == 0 && g < n; ++g)
      if (explosion.getFinalPerGroupTranslation(g) != Vec3(0.0f, 0.0f, 0.0f))
        explosion.finalPerGroupTranslations[g] += offsets[explosion.getReferenceGroup(g)];
    if (seed % 4 < 2 && !splits.empty())
      explosion.splitData[splits[random() % splits.size()]].moveFirstChild ^= 1u;
  }
  koSampleAssemblies::Assembly boxes;
  koExplodedAssembly planned;
  koDisassemblyHierarchy& hierarchy;
  koExplosionDiagram& explosion;
  std::mt19937 random;
  std::vector<unsigned int> splits;
};

// Every policy and play style on random trees against the rules worked out above. Comparisons
// are exact: each expected value comes from the same float operations in the same order as the
// rules state them, so any difference is a different rule.
TEST(koExplodedViewAnimation, KeysFollowTheRulesOnRandomTrees) {
  for (unsigned int seed = 1; seed <= 60; ++seed) {
    RandomExplosion plan(seed);
    for (unsigned int v : plan.splits)
      ASSERT_TRUE(plan.explosion.getSplitData(v).isValid());
    KeyRules rules(plan.explosion, plan.boxes->meshGroups());
    Animation animation(plan.explosion);
    animation.setAnimationBaseSpeed(0.3f);
    for (unsigned int policy = 0; policy < 3; ++policy) {
      animation.setAnimationPolicy(Animation::tAnimationPolicy(policy));
      std::vector<unsigned int> times(plan.hierarchy.getNoNodes(), 0u), expected(times);
      EXPECT_EQ(animation.computeTimeIndexPerSplit(0, 0, times),
                rules.chainTimes(0, 0, policy, expected));
      EXPECT_EQ(times, expected) << "seed " << seed << ", policy " << policy;
      for (unsigned int style = 0; style < 4; ++style) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", policy " + std::to_string(policy) +
                     ", style " + std::to_string(style));
        animation.setAnimationPlayStyle(Animation::tAnimationPlayStyle(style));
        rules.play(policy, style, 0.3f);
        testing::internal::CaptureStdout();
        animation.createKeyFrameControllers();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), rules.report);
        EXPECT_EQ(animation.getGlobalBBox().min, rules.box.min);
        EXPECT_EQ(animation.getGlobalBBox().max, rules.box.max);
        // One controller per mesh, in order, on its mesh alone (the previous run's are gone).
        auto made = animation.getControllers().begin();
        for (const KeyRules::Cluster& cluster : rules.clusters)
          for (const ko::koTriMesh* mesh : cluster.meshes) {
            ASSERT_TRUE(made != animation.getControllers().end());
            const ko::koKeyframeController& controller = **made++;
            EXPECT_TRUE(controller.GetObject() == mesh && mesh->GetControllerQuantity() == 1);
            const float* times = controller.TranslationTimes->GetData();
            EXPECT_EQ(std::vector<float>(times, times + controller.TranslationTimes->GetQuantity()),
                      cluster.times);
            std::vector<float> translations;
            for (int k = 0; k < controller.TranslationData->GetQuantity(); ++k)
              for (int a = 0; a < 3; ++a)
                translations.push_back((*controller.TranslationData)[k][a]);
            EXPECT_EQ(translations, cluster.translations);
            EXPECT_EQ(controller.MaxTime, double(cluster.times.back()));
          }
        EXPECT_TRUE(made == animation.getControllers().end());
      }
    }
  }
}

} // namespace
