// The translation keys of the clusters: which split moves each cluster, the keys every split
// writes, and the gathering of each cluster's axial travel at its own split's time step.

#include "koExplodedViewAnimation.h"

#include "explosion/koExplodedViewAnimationSides.h"
#include "koDisassemblyHierarchy.h"
#include "koExplosionDiagram.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace koAnimationSides;

namespace {

// A key lies near the cluster's axis when it is within 10 degrees of it, either way.
constexpr float kCosNearAxis = 0.9848077f;

// Adds a motion to a cluster's step. Two motions meet in one step when the two sides of a split
// open in parallel (the by-level policy times the splits below both sides alike): the cluster
// then moves by both, and the step keeps the key group of the motion written first.
void addKey(koExplodedViewAnimation::tKeyMap& keys, unsigned int time, unsigned int keyGroup,
            const Wm4::Vector3<float>& increment) {
  const auto [it, inserted] =
      keys.emplace(time, koExplodedViewAnimation::tKey{keyGroup, increment});
  if (!inserted)
    it->second.increment += increment;
}

} // namespace

void koExplodedViewAnimation::computePerGroupReferenceSplit(
    std::vector<unsigned int>& referenceSplits) const {
  const unsigned int n = meshGroups.getNoGroups();
  referenceSplits.assign(n, None);
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  // Node ids are in pre-order, so a split is seen before the leaves below it.
  for (unsigned int i = 0; i < hierarchy.getNoNodes(); ++i) {
    const Node& node = hierarchy.getNode(i);
    if (isSplit(node)) {
      const unsigned int moving = movingGroup(explosionDiagram.getSplitData(i));
      if (moving < n)
        referenceSplits[explosionDiagram.getReferenceGroup(moving)] = i;
    } else if (isUsedLeaf(node)) {
      const unsigned int v =
          referenceSplits[explosionDiagram.getReferenceGroup(groupList[node.first])];
      for (unsigned int pos = node.first; pos < node.first + node.noGroups; ++pos)
        referenceSplits[groupList[pos]] = v;
    }
  }
}

void koExplodedViewAnimation::createKeyFramesIteration(
    unsigned int node, std::vector<tKeyMap>& keys, const std::vector<unsigned int>& times,
    const std::vector<unsigned int>& referenceSplits) const {
  const Node& tree = hierarchy.getNode(node);
  if (!isSplit(tree))
    return;
  createKeyFramesIteration(tree.secondChild, keys, times, referenceSplits);
  createKeyFramesIteration(tree.firstChild, keys, times, referenceSplits);
  const Split& split = explosionDiagram.getSplitData(node);
  if (!split.isValid())
    return;

  const unsigned int t = times[node];
  const unsigned int fixed = explosionDiagram.getReferenceGroup(fixedGroup(split));
  const unsigned int moving = explosionDiagram.getReferenceGroup(movingGroup(split));
  const Wm4::Vector3<float> increment =
      explosionDiagram.getFinalPerGroupTranslation(movingGroup(split)) -
      explosionDiagram.getFinalPerGroupTranslation(fixedGroup(split));
  // The cluster a moved cluster was positioned against; the cluster itself when no split moves
  // it.
  auto positionedAgainst = [&](unsigned int r) {
    const unsigned int s = referenceSplits[r];
    return s == None
               ? r
               : explosionDiagram.getReferenceGroup(fixedGroup(explosionDiagram.getSplitData(s)));
  };

  const Node& movingNode = hierarchy.getNode(movingChild(tree, split));
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  for (unsigned int pos = movingNode.first; pos < movingNode.first + movingNode.noGroups; ++pos) {
    const unsigned int r = groupList[pos];
    if (explosionDiagram.getReferenceGroup(r) != r)
      continue;
    // The moving side rides along with every motion of the cluster it separates from, then
    // takes its own step away from it.
    tKeyMap& own = keys[r];
    const unsigned int carrier = positionedAgainst(r);
    for (const auto& [time, key] : keys[fixed])
      addKey(own, time, carrier, key.increment);
    addKey(own, t, referenceSplits[r] == node ? moving : carrier, increment);
  }
}

void koExplodedViewAnimation::computeTranslationClampingProcessingOrder(
    unsigned int node, unsigned int group, std::vector<unsigned int>& order) const {
  const Node& tree = hierarchy.getNode(node);
  if (isSplit(tree)) {
    const Split& split = explosionDiagram.getSplitData(node);
    computeTranslationClampingProcessingOrder(fixedChild(tree, split), group, order);
    computeTranslationClampingProcessingOrder(movingChild(tree, split), movingGroup(split), order);
  } else if (group != None) {
    order.push_back(explosionDiagram.getReferenceGroup(group));
  }
}

void koExplodedViewAnimation::computeTranslationClamping(
    std::vector<tKeyMap>& keys, const std::vector<unsigned int>& times,
    const std::vector<unsigned int>& referenceSplits) const {
  std::vector<unsigned int> order;
  computeTranslationClampingProcessingOrder(0, None, order);

  for (unsigned int r : order) {
    // A cluster that no split moves has no split time and no axis: its keys stay as they are.
    if (referenceSplits[r] == None || keys[r].empty())
      continue;
    tKeyMap& clusterKeys = keys[r];
    const unsigned int splitTime = times[referenceSplits[r]];
    const float minDistance = explosionDiagram.getGroupMinSplitDistance(r);

    // Directions by plain division: a library-wide cut-off for short vectors would make the
    // result depend on the model's unit. A zero vector stays zero.
    auto unit = [](const Wm4::Vector3<float>& v) {
      const float length = v.Length();
      return length > 0.0f ? v / length : v;
    };
    // The cluster's axis: the direction of its own step.
    const auto own = clusterKeys.find(splitTime);
    const Wm4::Vector3<float> axis =
        own != clusterKeys.end() ? unit(own->second.increment) : Wm4::Vector3<float>::ZERO;
    auto nearAxis = [&](const Wm4::Vector3<float>& increment) {
      return std::fabs(unit(increment).Dot(axis)) > kCosNearAxis;
    };

    const auto first = clusterKeys.lower_bound(splitTime);
    if (first == clusterKeys.end())
      continue;
    float net = 0.0f;
    Wm4::Vector3<float> total(0.0f, 0.0f, 0.0f);
    std::vector<char> near;
    for (auto it = first; it != clusterKeys.end(); ++it) {
      near.push_back(nearAxis(it->second.increment));
      if (near.back())
        net += it->second.increment.Dot(axis);
      total += it->second.increment;
    }
    const bool positive = net > 0.0f;

    // All the net axial travel goes into the first axial key in its sense (at least the minimum
    // split distance at the split's own step); the last key takes whatever is left, so the sum
    // is kept.
    const auto last = std::prev(clusterKeys.end());
    size_t k = 0;
    for (auto it = first; it != clusterKeys.end(); ++it, ++k) {
      tKey& key = it->second;
      const bool isLast = it == last;
      if (near[k]) {
        const float along = key.increment.Dot(axis);
        float take = (along > 0.0f) == positive ? net : 0.0f;
        if (it->first == splitTime)
          take = std::max(minDistance, take);
        net -= take;
        if (!isLast) {
          key.increment -= (along - take) * axis;
          if (along != take)
            key.keyGroup = r;
        }
      }
      if (!isLast)
        total -= key.increment;
    }
    last->second.increment = total;
    last->second.keyGroup = r;
  }
}
