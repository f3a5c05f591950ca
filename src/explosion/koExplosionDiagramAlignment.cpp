// Axis alignment: splits along one direction that share groups get one averaged direction, and
// those whose contact regions line up get their anchors on one common axis line, so that parts
// pulled apart along the same line are drawn and moved along the same line.

#include "koExplosionDiagram.h"

#include "explosion/koExplosionDiagramTools.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <utility>

using koExplosionTools::rangeEnd;

namespace {

using TreeNode = koDisassemblyHierarchy::tTreeNode;
using Prism = koExplosionDiagram::tBoundingPlanesMinMax;
using Vector = Wm4::Vector3<float>;

constexpr unsigned int None = koExplosionDiagram::None;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The split that separates two groups: walk down from the root while both lie in one child.
// None when they share a leaf.
unsigned int separatingSplit(const koDisassemblyHierarchy& hierarchy, unsigned int group0,
                             unsigned int group1) {
  const unsigned int position0 = hierarchy.getGroupPositions()[group0];
  const unsigned int position1 = hierarchy.getGroupPositions()[group1];
  unsigned int node = 0;
  while (!hierarchy.getNode(node).isLeaf()) {
    const TreeNode& tree = hierarchy.getNode(node);
    const unsigned int firstEnd = rangeEnd(hierarchy.getNode(tree.firstChild));
    const bool first0 = position0 < firstEnd;
    if (first0 != (position1 < firstEnd))
      return node;
    node = first0 ? tree.firstChild : tree.secondChild;
  }
  return None;
}

// Closed overlap of two regions in every lateral pair.
bool regionsOverlapLaterally(const Prism& a, const Prism& b) {
  for (int k = 1; k < 5; ++k)
    if (!(a.pairs[k].min <= b.pairs[k].max && b.pairs[k].min <= a.pairs[k].max))
      return false;
  return true;
}

// The point projects inside the region in every lateral pair.
bool projectsInside(const Vector& point, const Prism& region,
                    const koExplosionDiagram::tOrthogonalDirectionSet& set) {
  for (int k = 1; k < 5; ++k) {
    const float projection = point.Dot(set.directions[k]);
    if (!(region.pairs[k].min <= projection && projection <= region.pairs[k].max))
      return false;
  }
  return true;
}

} // namespace

void koExplosionDiagram::fixTranslationAlignment(const std::vector<tOrthogonalDirectionSet>& sets,
                                                 const std::vector<tBoundingPlanesMinMax>& planes) {
  const size_t noDirections = sets.size();
  const unsigned int noSplits = static_cast<unsigned int>(splitData.size());
  if (noDirections == 0 || noSplits == 0)
    return;
  const std::vector<TreeNode>& nodes = hierarchy.getNodes();
  auto prism = [&](unsigned int g, unsigned int d) -> const Prism& {
    return planes[g * noDirections + d];
  };

  // Contact region of every valid split: the overlap of its two groups' prisms, widened to hold
  // its anchor.
  std::vector<Prism> regions(noSplits);
  std::vector<std::vector<unsigned int>> involved(noSplits);
  for (unsigned int s = 0; s < noSplits; ++s) {
    const tSplitData& split = splitData[s];
    if (!split.isValid())
      continue;
    const unsigned int d = nodes[s].splitDirection;
    const Prism& a = prism(split.groupA, d);
    const Prism& b = prism(split.groupB, d);
    for (int k = 0; k < 5; ++k) {
      const float p = split.anchor.Dot(sets[d].directions[k]);
      regions[s].pairs[k].min = std::min(p, std::max(a.pairs[k].min, b.pairs[k].min));
      regions[s].pairs[k].max = std::max(p, std::min(a.pairs[k].max, b.pairs[k].max));
    }
    involved[s] = {split.groupA, split.groupB};
  }

  // A split also involves both groups of every contact it cuts; those contacts are its edges.
  std::vector<std::vector<unsigned int>> splitEdges(noSplits);
  for (unsigned int e = 0; e < builder.getNoEdges(); ++e) {
    const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = builder.getEdgeData(e);
    if (edge.distant)
      continue;
    const unsigned int s = separatingSplit(hierarchy, edge.group0, edge.group1);
    if (s == None || !splitData[s].isValid())
      continue;
    involved[s].push_back(edge.group0);
    involved[s].push_back(edge.group1);
    splitEdges[s].push_back(e);
  }
  // Per group and direction index, the splits along that direction that involve the group.
  std::vector<std::map<unsigned int, std::set<unsigned int>>> index(meshGroups.getNoGroups());
  for (unsigned int s = 0; s < noSplits; ++s) {
    std::sort(involved[s].begin(), involved[s].end());
    involved[s].erase(std::unique(involved[s].begin(), involved[s].end()), involved[s].end());
    for (unsigned int g : involved[s])
      index[g][nodes[s].splitDirection].insert(s);
  }

  // Breadth-first clustering over splits that share a direction index and a group; out: every
  // cluster's members in visiting order.
  auto clusterSplits = [&](const std::function<bool(unsigned int, unsigned int)>& joins,
                           std::vector<std::vector<unsigned int>>& members) {
    std::vector<unsigned int> clusterIds(noSplits, None);
    for (unsigned int start = 0; start < noSplits; ++start) {
      if (!splitData[start].isValid() || clusterIds[start] != None)
        continue;
      const unsigned int cluster = static_cast<unsigned int>(members.size());
      members.push_back({start});
      clusterIds[start] = cluster;
      std::deque<unsigned int> queue{start};
      while (!queue.empty()) {
        const unsigned int t = queue.front();
        queue.pop_front();
        const unsigned int d = nodes[t].splitDirection;
        for (unsigned int g : involved[t]) {
          const auto found = index[g].find(d);
          if (found == index[g].end())
            continue;
          for (unsigned int u : found->second) {
            if (clusterIds[u] != None || !joins(t, u))
              continue;
            clusterIds[u] = cluster;
            members[cluster].push_back(u);
            queue.push_back(u);
          }
        }
      }
    }
  };

  // Direction clusters: contact regions that face each other across the axis, or two cut
  // contacts whose four groups share a common lateral region.
  auto edgesShareRegion = [&](unsigned int t, unsigned int u) {
    const unsigned int d = nodes[t].splitDirection;
    for (unsigned int e : splitEdges[t]) {
      const auto& edgeT = builder.getEdgeData(e);
      for (unsigned int f : splitEdges[u]) {
        const auto& edgeU = builder.getEdgeData(f);
        const Prism* four[4] = {&prism(edgeT.group0, d), &prism(edgeT.group1, d),
                                &prism(edgeU.group0, d), &prism(edgeU.group1, d)};
        bool common = true;
        for (int k = 1; k < 5 && common; ++k) {
          float low = -kInfinity, high = kInfinity;
          for (const Prism* p : four) {
            low = std::max(low, p->pairs[k].min);
            high = std::min(high, p->pairs[k].max);
          }
          common = low <= high;
        }
        if (common)
          return true;
      }
    }
    return false;
  };
  std::vector<std::vector<unsigned int>> directionClusters;
  clusterSplits(
      [&](unsigned int t, unsigned int u) {
        return regionsOverlapLaterally(regions[t], regions[u]) || edgesShareRegion(t, u);
      },
      directionClusters);

  // Anchor clusters: each anchor lies inside the other split's contact region laterally.
  std::vector<std::vector<unsigned int>> anchorClusters;
  clusterSplits(
      [&](unsigned int t, unsigned int u) {
        const tOrthogonalDirectionSet& set = sets[nodes[t].splitDirection];
        return projectsInside(splitData[t].anchor, regions[u], set) &&
               projectsInside(splitData[u].anchor, regions[t], set);
      },
      anchorClusters);

  for (const std::vector<unsigned int>& cluster : directionClusters) {
    Vector sum(0.0f, 0.0f, 0.0f);
    for (unsigned int s : cluster)
      sum += splitData[s].direction;
    // Opposite directions may cancel; the members then keep their own.
    const float length = sum.Length();
    const float inverse = 1.0f / length;
    if (length == 0.0f || !std::isfinite(inverse))
      continue;
    for (unsigned int s : cluster)
      splitData[s].direction = sum * inverse;
  }

  for (const std::vector<unsigned int>& cluster : anchorClusters) {
    const tOrthogonalDirectionSet& set = sets[nodes[cluster.front()].splitDirection];
    // Chains: members whose spans of the group list overlap lie along one line of parts.
    auto span = [&](unsigned int s) {
      const std::vector<unsigned int>& positions = hierarchy.getGroupPositions();
      const unsigned int a = positions[referenceGroups[splitData[s].groupA]];
      const unsigned int b = positions[referenceGroups[splitData[s].groupB]];
      return std::make_pair(2 * std::min(a, b) + 1, 2 * std::max(a, b));
    };
    std::vector<std::pair<unsigned int, unsigned int>> chains;
    for (unsigned int s : cluster) {
      const auto range = span(s);
      koExplosionTools::insertInterval(chains, range.first, range.second);
    }
    std::vector<unsigned int> chainOf(cluster.size());
    std::vector<Prism> chainRegions(chains.size());
    for (Prism& region : chainRegions) {
      for (tBoundingPlanesMinMax::tMinMax& pair : region.pairs) {
        pair.min = -kInfinity;
        pair.max = kInfinity;
      }
    }
    for (size_t i = 0; i < cluster.size(); ++i) {
      const unsigned int low = span(cluster[i]).first;
      const auto chain = std::upper_bound(
          chains.begin(), chains.end(), low,
          [](unsigned int value, const std::pair<unsigned int, unsigned int>& range) {
            return value < range.first;
          });
      chainOf[i] = static_cast<unsigned int>(chain - chains.begin()) - 1u;
      Prism& region = chainRegions[chainOf[i]];
      for (int k = 1; k < 5; ++k) {
        region.pairs[k].min = std::max(region.pairs[k].min, regions[cluster[i]].pairs[k].min);
        region.pairs[k].max = std::min(region.pairs[k].max, regions[cluster[i]].pairs[k].max);
      }
    }

    // Each chain's point: the anchor closest to the middle of the chain's common region.
    std::vector<float> bestDeviations(chains.size(), kInfinity);
    std::vector<Vector> points(chains.size(), Vector(0.0f, 0.0f, 0.0f));
    std::vector<char> hasPoint(chains.size(), 0);
    for (size_t i = 0; i < cluster.size(); ++i) {
      const Vector& anchor = splitData[cluster[i]].anchor;
      const Prism& region = chainRegions[chainOf[i]];
      float deviation = 0.0f;
      for (int k = 1; k < 5; ++k) {
        const float middle = 0.5f * (region.pairs[k].min + region.pairs[k].max);
        deviation = std::max(deviation, std::fabs(middle - anchor.Dot(set.directions[k])));
      }
      if (!hasPoint[chainOf[i]] || deviation < bestDeviations[chainOf[i]]) {
        hasPoint[chainOf[i]] = 1;
        bestDeviations[chainOf[i]] = deviation;
        points[chainOf[i]] = anchor;
      }
    }
    for (size_t i = 0; i < cluster.size(); ++i) {
      tSplitData& split = splitData[cluster[i]];
      const Vector& point = points[chainOf[i]];
      split.anchor = point + split.direction * (split.anchor - point).Dot(split.direction);
    }
  }
}
