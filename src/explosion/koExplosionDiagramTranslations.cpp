// The translation hierarchy: an axis and a moving side per split, then two passes over the tree
// that push every moving side clear of the side it leaves and pull it back to the smallest
// admissible travel, and the sum of the per-split translations into one translation per group.

#include "koExplosionDiagram.h"

#include "explosion/koExplosionDiagramTools.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <limits>
#include <utility>

using koExplosionTools::rangeEnd;

namespace {

using TreeNode = koDisassemblyHierarchy::tTreeNode;
using Prism = koExplosionDiagram::tBoundingPlanesMinMax;
using Vector = Wm4::Vector3<float>;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// computeBakedTranslation for every group of node's subtree at once: out[position - base] is the
// translation of the group at that position relative to the node's parent. Sums in the same
// order as the walk from the node down to the group's leaf, so the values are the same.
void accumulateSubtreeTranslations(const koExplosionDiagram& diagram, unsigned int node,
                                   const Vector& accumulated, unsigned int base,
                                   std::vector<Vector>& out) {
  const TreeNode& tree = diagram.hierarchy.getNode(node);
  if (tree.isLeaf()) {
    std::fill(out.begin() + (tree.first - base), out.begin() + (rangeEnd(tree) - base),
              accumulated);
    return;
  }
  accumulateSubtreeTranslations(diagram, tree.firstChild,
                                accumulated + diagram.perSplitTranslations[tree.firstChild], base,
                                out);
  accumulateSubtreeTranslations(diagram, tree.secondChild,
                                accumulated + diagram.perSplitTranslations[tree.secondChild], base,
                                out);
}

// The part of an offset across the axis u (unit): what remains after its axial part is removed.
Vector lateralPart(const Vector& offset, const Vector& u) {
  return offset - u * u.Dot(offset);
}

} // namespace

void koExplosionDiagram::computeTranslationHierarchy(float clearance) {
  computeReferenceGroups();

  const unsigned int noGroups = meshGroups.getNoGroups();
  const unsigned int noNodes = hierarchy.getNoNodes();
  gap = clearance;
  groupMinSplitDistances.assign(noGroups, -1.0f);
  perSplitTranslations.assign(noNodes, Vector(0.0f, 0.0f, 0.0f));
  splitData.assign(noNodes, tSplitData());
  if (noNodes == 0)
    return;

  std::vector<tOrthogonalDirectionSet> sets;
  std::vector<tBoundingPlanesMinMax> planes;
  computeBoundingPrisms(sets, planes);

  // The largest extent of every group over all its prisms; breaks ties between equal sides.
  std::vector<float> groupSizes(noGroups, 0.0f);
  const size_t noDirections = sets.size();
  for (unsigned int g = 0; g < noGroups; ++g) {
    for (size_t d = 0; d < noDirections; ++d) {
      for (const tBoundingPlanesMinMax::tMinMax& pair : planes[g * noDirections + d].pairs) {
        if (pair.max >= pair.min)
          groupSizes[g] = std::max(groupSizes[g], pair.max - pair.min);
      }
    }
  }

  splitHierarchyIteration(0, sets, planes, groupSizes);
  computePerSplitMovingChild();
  fixTranslationAlignment(sets, planes);
  std::vector<tBoundingPlanesMinMax> shifted(noGroups);
  translationHierarchyIterationBottomUp(0, sets, planes, shifted, clearance);
  computeFinalTranslations(0, Vector(0.0f, 0.0f, 0.0f));
  translationHierarchyIterationTopDown(0, sets, planes, shifted, clearance);
}

void koExplosionDiagram::splitHierarchyIteration(unsigned int node,
                                                 const std::vector<tOrthogonalDirectionSet>& sets,
                                                 const std::vector<tBoundingPlanesMinMax>& planes,
                                                 const std::vector<float>& groupSizes) {
  const TreeNode& tree = hierarchy.getNode(node);
  const unsigned int d = tree.splitDirection;
  const size_t noDirections = sets.size();
  // Without a direction set (no prisms) the split stays unsolved, like its whole subtree.
  if (tree.isLeaf() || d >= noDirections)
    return;
  const TreeNode& first = hierarchy.getNode(tree.firstChild);
  const TreeNode& second = hierarchy.getNode(tree.secondChild);
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  const std::vector<unsigned int>& positions = hierarchy.getGroupPositions();
  auto prism = [&](unsigned int g) -> const Prism& { return planes[g * noDirections + d]; };

  tSplitData split;
  split.direction = sets[d].directions[0];
  unsigned int groupA = None, groupB = None;

  // The contacts this split cuts: the node's edges in front of its first child's.
  const unsigned int edgeBegin = builder.getNodeMetadata(node).firstEdge;
  const unsigned int edgeEnd = builder.getNodeMetadata(tree.firstChild).firstEdge;
  bool anyContact = false;
  float best = -kInfinity;
  for (unsigned int e = edgeBegin; e < edgeEnd; ++e) {
    const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = builder.getEdgeData(e);
    if (edge.distant)
      continue;
    anyContact = true;
    const bool firstIsA = positions[edge.group0] < positions[edge.group1];
    const unsigned int a = firstIsA ? edge.group0 : edge.group1;
    const unsigned int b = firstIsA ? edge.group1 : edge.group0;
    // How far a reaches past the start of b along the axis: the deepest contact positions it.
    const float value = prism(a).pairs[0].max - prism(b).pairs[0].min;
    if (!(value > best))
      continue;
    best = value;
    groupA = a;
    groupB = b;
    split.anchor = edge.contactPoint;
    // The edge's own direction merged into set entry d, turned to point along that entry.
    const size_t noOwn = std::min(edge.directions.size(), edge.perDirectionValues.size());
    for (size_t j = 0; j < noOwn; ++j) {
      const unsigned int entry = edge.perDirectionValues[j];
      if ((entry & ~koDisassemblyHierarchyBuilder::msOppositeFlag) != d)
        continue;
      const Wm4::Vector3<double>& own = edge.directions[j];
      split.direction = Vector(static_cast<float>(own.X()), static_cast<float>(own.Y()),
                               static_cast<float>(own.Z()));
      if ((entry & koDisassemblyHierarchyBuilder::msOppositeFlag) != 0)
        split.direction = -split.direction;
      break;
    }
  }

  const unsigned int referenceNode = builder.getNodeMetadata(node).referenceNode;
  if (!anyContact && referenceNode != None) {
    // No contact joins the two sides: take the pair of groups that face each other best among
    // those the reference split cut loose (or among all groups of a side with none of them).
    groupSet.clear(false);
    const TreeNode& reference = hierarchy.getNode(referenceNode);
    if (!reference.isLeaf()) {
      const unsigned int cutEnd = builder.getNodeMetadata(reference.firstChild).firstEdge;
      for (unsigned int e = builder.getNodeMetadata(referenceNode).firstEdge; e < cutEnd; ++e) {
        const koDisassemblyHierarchyBuilder::tDynamicEdgeData& edge = builder.getEdgeData(e);
        if (edge.distant)
          continue;
        groupSet.add(edge.group0);
        groupSet.add(edge.group1);
      }
    }
    for (const TreeNode* side : {&first, &second}) {
      bool anyMarked = false;
      for (unsigned int p = side->first; p < rangeEnd(*side) && !anyMarked; ++p)
        anyMarked = groupSet.test(groupList[p]);
      if (!anyMarked) {
        for (unsigned int p = side->first; p < rangeEnd(*side); ++p)
          groupSet.add(groupList[p]);
      }
    }

    bool found = false, foundAxial = false;
    float bestLateral = -kInfinity, bestAxialLateral = -kInfinity;
    unsigned int bestP = None, bestQ = None, axialP = None, axialQ = None;
    for (unsigned int i = first.first; i < rangeEnd(first); ++i) {
      const unsigned int p = groupList[i];
      if (!groupSet.test(p))
        continue;
      const Prism& pp = prism(p);
      for (unsigned int j = second.first; j < rangeEnd(second); ++j) {
        const unsigned int q = groupList[j];
        if (!groupSet.test(q))
          continue;
        const Prism& qq = prism(q);
        // The lateral overlap: negative when the two prisms miss each other across the axis.
        float lateral = kInfinity;
        for (int k = 1; k < 5; ++k)
          lateral = std::min(lateral, std::min(qq.pairs[k].max - pp.pairs[k].min,
                                               pp.pairs[k].max - qq.pairs[k].min));
        if (!found || lateral > bestLateral) {
          found = true;
          bestLateral = lateral;
          bestP = p;
          bestQ = q;
        }
        const bool axialOverlap =
            pp.pairs[0].max > qq.pairs[0].min && qq.pairs[0].max > pp.pairs[0].min;
        if (axialOverlap && (!foundAxial || lateral > bestAxialLateral)) {
          foundAxial = true;
          bestAxialLateral = lateral;
          axialP = p;
          axialQ = q;
        }
      }
    }
    if (found) {
      groupA = foundAxial ? axialP : bestP;
      groupB = foundAxial ? axialQ : bestQ;
      split.anchor = koExplosionTools::intersectionCentre(sets[d], prism(groupA), prism(groupB));
    }
  }
  split.groupA = groupA == None ? NoGroupA : groupA;
  split.groupB = groupB;

  // The smaller side moves; with equal counts the side whose largest part is smaller; on a full
  // tie the second child.
  if (first.noGroups != second.noGroups) {
    split.moveFirstChild = first.noGroups < second.noGroups ? 1u : 0u;
  } else {
    float largestFirst = -1.0f, largestSecond = -1.0f;
    for (unsigned int p = first.first; p < rangeEnd(first); ++p)
      largestFirst = std::max(largestFirst, groupSizes[groupList[p]]);
    for (unsigned int p = second.first; p < rangeEnd(second); ++p)
      largestSecond = std::max(largestSecond, groupSizes[groupList[p]]);
    split.moveFirstChild = largestSecond > largestFirst ? 1u : 0u;
  }

  splitData[node] = split;
  if (!split.isValid())
    return;
  splitHierarchyIteration(tree.firstChild, sets, planes, groupSizes);
  splitHierarchyIteration(tree.secondChild, sets, planes, groupSizes);
}

void koExplosionDiagram::translationHierarchyIterationBottomUp(
    unsigned int node, const std::vector<tOrthogonalDirectionSet>& sets,
    const std::vector<tBoundingPlanesMinMax>& planes, std::vector<tBoundingPlanesMinMax>& shifted,
    float clearance) {
  const TreeNode& tree = hierarchy.getNode(node);
  if (tree.isLeaf())
    return;
  translationHierarchyIterationBottomUp(tree.firstChild, sets, planes, shifted, clearance);
  translationHierarchyIterationBottomUp(tree.secondChild, sets, planes, shifted, clearance);
  const tSplitData& split = splitData[node];
  if (split.groupB == None)
    return;

  const TreeNode& first = hierarchy.getNode(tree.firstChild);
  const TreeNode& second = hierarchy.getNode(tree.secondChild);
  const unsigned int d = tree.splitDirection;
  const size_t noDirections = sets.size();
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  const std::vector<unsigned int>& positions = hierarchy.getGroupPositions();
  auto prism = [&](unsigned int g) -> const Prism& { return planes[g * noDirections + d]; };

  std::vector<Vector> local(tree.noGroups);
  accumulateSubtreeTranslations(*this, node, perSplitTranslations[node], tree.first, local);
  const unsigned int groupA = split.groupA;
  const unsigned int groupB = split.groupB;
  const Vector& u = split.direction;
  // Taking the lateral offset between groupB and groupA off the second side lines the two up
  // along the axis before the axial clearance is measured.
  const Vector lateral =
      lateralPart(local[positions[groupB] - tree.first] - local[positions[groupA] - tree.first], u);
  for (unsigned int p = tree.first; p < rangeEnd(tree); ++p) {
    const unsigned int g = groupList[p];
    const Vector t = p < second.first ? local[p - tree.first] : local[p - tree.first] - lateral;
    shifted[g] = prism(g).shifted(sets[d], t);
  }

  float distance = 0.0f;
  for (unsigned int i = first.first; i < rangeEnd(first); ++i) {
    const Prism& p = shifted[groupList[i]];
    for (unsigned int j = second.first; j < rangeEnd(second); ++j) {
      const Prism& q = shifted[groupList[j]];
      if (p.overlapsLaterally(q))
        distance = std::max(distance, clearance - (q.pairs[0].min - p.pairs[0].max));
    }
  }

  const Vector travel = u * distance - lateral;
  const Vector zero(0.0f, 0.0f, 0.0f);
  perSplitTranslations[tree.firstChild] = split.moveFirstChild ? -travel : zero;
  perSplitTranslations[tree.secondChild] = split.moveFirstChild ? zero : travel;

  // The axial travel that clears the moving cluster from the other one, on the unmoved prisms.
  const TreeNode& leafA = hierarchy.getNode(hierarchy.getGroupLeaves()[groupA]);
  const TreeNode& leafB = hierarchy.getNode(hierarchy.getGroupLeaves()[groupB]);
  float minimum = -kInfinity;
  for (unsigned int i = leafA.first; i < rangeEnd(leafA); ++i)
    for (unsigned int j = leafB.first; j < rangeEnd(leafB); ++j)
      minimum = std::max(minimum, clearance + prism(groupList[i]).pairs[0].max -
                                      prism(groupList[j]).pairs[0].min);
  groupMinSplitDistances[referenceGroups[split.moveFirstChild ? groupA : groupB]] = minimum;
}

void koExplosionDiagram::computeFinalTranslations(unsigned int node,
                                                  const Wm4::Vector3<float>& accumulated) {
  const Vector t = accumulated + perSplitTranslations[node];
  const TreeNode& tree = hierarchy.getNode(node);
  if (tree.isLeaf()) {
    const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
    for (unsigned int p = tree.first; p < rangeEnd(tree); ++p)
      finalPerGroupTranslations[groupList[p]] = t;
    return;
  }
  computeFinalTranslations(tree.firstChild, t);
  computeFinalTranslations(tree.secondChild, t);
}

Wm4::Vector3<float> koExplosionDiagram::computeBakedTranslation(unsigned int group,
                                                                unsigned int node) const {
  const unsigned int position = hierarchy.getGroupPositions()[group];
  Vector t = perSplitTranslations[node];
  for (const TreeNode* tree = &hierarchy.getNode(node); !tree->isLeaf();) {
    const unsigned int child =
        position < rangeEnd(hierarchy.getNode(tree->firstChild)) ? tree->firstChild
                                                                 : tree->secondChild;
    t += perSplitTranslations[child];
    tree = &hierarchy.getNode(child);
  }
  return t;
}

void koExplosionDiagram::translationHierarchyIterationTopDown(
    unsigned int node, const std::vector<tOrthogonalDirectionSet>& sets,
    const std::vector<tBoundingPlanesMinMax>& planes, std::vector<tBoundingPlanesMinMax>& shifted,
    float clearance) {
  const TreeNode& tree = hierarchy.getNode(node);
  if (tree.isLeaf())
    return;
  translationHierarchyIterationTopDown(tree.firstChild, sets, planes, shifted, clearance);
  translationHierarchyIterationTopDown(tree.secondChild, sets, planes, shifted, clearance);
  const tSplitData& split = splitData[node];
  if (split.groupB == None)
    return;

  const TreeNode& first = hierarchy.getNode(tree.firstChild);
  const TreeNode& second = hierarchy.getNode(tree.secondChild);
  const unsigned int d = tree.splitDirection;
  const size_t noDirections = sets.size();
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  auto prism = [&](unsigned int g) -> const Prism& { return planes[g * noDirections + d]; };
  std::vector<Vector>& F = finalPerGroupTranslations;

  const unsigned int groupA = split.groupA;
  const unsigned int groupB = split.groupB;
  const Vector& u = split.direction;
  const Vector lateral = lateralPart(F[groupB] - F[groupA], u);
  for (unsigned int p = tree.first; p < rangeEnd(tree); ++p) {
    const unsigned int g = groupList[p];
    shifted[g] = prism(g).shifted(sets[d], p < second.first ? F[g] : F[g] - lateral);
  }

  // need: the axial travel still to add to the second side (negative: back towards the first).
  // Pairs that faced each other in the assembly must keep their order; pairs that only face each
  // other now may end on either side, so each forbids one interval of travel.
  float need = clearance - (shifted[groupB].pairs[0].min - shifted[groupA].pairs[0].max);
  std::vector<std::pair<float, float>> forbidden;
  for (unsigned int i = first.first; i < rangeEnd(first); ++i) {
    const unsigned int gp = groupList[i];
    const Prism& p = shifted[gp];
    for (unsigned int j = second.first; j < rangeEnd(second); ++j) {
      const unsigned int gq = groupList[j];
      const Prism& q = shifted[gq];
      if (!p.overlapsLaterally(q))
        continue;
      if (prism(gp).overlapsLaterally(prism(gq)) &&
          prism(gp).pairs[0].min < prism(gq).pairs[0].max)
        need = std::max(need, clearance - (q.pairs[0].min - p.pairs[0].max));
      koExplosionTools::insertInterval(forbidden,
                                       p.pairs[0].min - q.pairs[0].max - clearance,
                                       p.pairs[0].max - q.pairs[0].min + clearance);
    }
  }
  // The smallest travel from need on that no interval forbids. An interval's ends are admissible:
  // there the two parts are exactly the clearance apart.
  size_t next = 0;
  while (next < forbidden.size() && forbidden[next].second < need)
    ++next;
  if (next < forbidden.size() && forbidden[next].first < need)
    need = forbidden[next].second;

  const Vector travel = u * need - lateral;
  if (split.moveFirstChild) {
    perSplitTranslations[tree.firstChild] -= travel;
    for (unsigned int p = first.first; p < rangeEnd(first); ++p)
      F[groupList[p]] -= travel;
  } else {
    perSplitTranslations[tree.secondChild] += travel;
    for (unsigned int p = second.first; p < rangeEnd(second); ++p)
      F[groupList[p]] += travel;
  }
}
