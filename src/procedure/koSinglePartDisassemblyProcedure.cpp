#include "koSinglePartDisassemblyProcedure.h"

#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <cassert>
#include <iostream>

namespace {

typedef koDisassemblyHierarchyBuilder::tDynamicEdgeData tEdge;

// A direction entry k | s * 2^31 as the direction code 2k + s.
unsigned int codeFromEntry(unsigned int entry) { return (entry << 1) | (entry >> 31); }

unsigned int popCount(uint64_t word) {
  return static_cast<unsigned int>(__builtin_popcountll(word));
}

// Swaps bits 2k and 2k + 1 of every pair: a code set seen from the other node of the pair.
uint64_t mirrorCodes(uint64_t word) {
  const uint64_t even = 0x5555555555555555ULL;
  return ((word & even) << 1) | ((word >> 1) & even);
}

// A pair of ordering nodes constrained by at least one edge: `owner` is removed before `other`.
// The pair's row (at the same index in the row scratch) holds the codes along which `owner` can
// leave without hitting `other`.
struct tPair {
  unsigned int owner;
  unsigned int other;
  bool contact;
};

// One entry of a node's slice before it is written: the pair it comes from, seen from `owner`.
struct tPlacedEntry {
  unsigned int owner;
  unsigned int other;
  unsigned int pair;
  bool mirrored;  // the pair seen from its later-removed node
};

} // namespace

koSinglePartDisassemblyProcedure::koSinglePartDisassemblyProcedure(
    const koDisassemblyHierarchyBuilder& builder)
    : meshGroups(builder.getMeshGroups()), hierarchy(builder.getHierarchy()), builder(builder),
      groupNodes(builder.getMeshGroups().getNoGroups(), None),
      orderingPositions(builder.getHierarchy().getNoNodes(), None),
      constraintSets(builder.getHierarchy().getNoNodes(), tConstraintSet{0, 0, 0}),
      groupSet(builder.getMeshGroups().getNoGroups()),
      noDirections(builder.getContactDiagram().getNoDirections()),
      mRowWords((2 * noDirections + 63) / 64) {}

koSinglePartDisassemblyProcedure::~koSinglePartDisassemblyProcedure() = default;

void koSinglePartDisassemblyProcedure::buildProcedure(unsigned int node) {
  initializeRemovalOrdering(node);
  initializeConstraintList();
  simplifyOrdering();
}

void koSinglePartDisassemblyProcedure::initializeRemovalOrdering(unsigned int node) {
  // Walking up from the part, every split on the way leaves behind the sibling of the path.
  ordering.assign(1, node);
  for (unsigned int x = node; hierarchy.getNode(x).parent != None;) {
    const koDisassemblyHierarchy::tTreeNode& split = hierarchy.getNode(hierarchy.getNode(x).parent);
    ordering.push_back(split.firstChild ^ split.secondChild ^ x);
    x = hierarchy.getNode(x).parent;
  }
  std::reverse(ordering.begin(), ordering.end());

  const unsigned int count = static_cast<unsigned int>(ordering.size());
  steps.resize(count);
  for (unsigned int k = 0; k < count; ++k) {
    unsigned int code = msFinalCode;
    if (k + 1 < count) {
      const unsigned int removed = ordering[k];
      const koDisassemblyHierarchy::tTreeNode& split =
          hierarchy.getNode(hierarchy.getNode(removed).parent);
      const unsigned int side = removed != split.secondChild ? 1u : 0u;
      code = side | (split.splitDirection << 1);
    }
    steps[k] = tNodeCluster{k, 1, code};
  }
}

void koSinglePartDisassemblyProcedure::initializeConstraintList() {
  const unsigned int noNodes = hierarchy.getNoNodes();
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  const unsigned int noOrdered = static_cast<unsigned int>(ordering.size());

  std::fill(orderingPositions.begin(), orderingPositions.end(), None);
  std::fill(groupNodes.begin(), groupNodes.end(), None);
  for (unsigned int k = 0; k < noOrdered; ++k) {
    const unsigned int x = ordering[k];
    orderingPositions[x] = k;
    const koDisassemblyHierarchy::tTreeNode& tree = hierarchy.getNode(x);
    for (unsigned int p = tree.first; p < tree.first + tree.noGroups; ++p)
      groupNodes[groupList[p]] = x;
  }

  // Calls visit(edge, other) for every edge that the split above ordering position k cut, with
  // the ordering node on its other side when that node is removed later. The cut edges lead the
  // split node's edges, up to where its first child's edges begin.
  auto forEachLaterEdge = [&](unsigned int k, auto&& visit) {
    const unsigned int x = ordering[k];
    const unsigned int s = hierarchy.getNode(x).parent;
    if (s == None)
      return;
    const unsigned int begin = builder.getNodeMetadata(s).firstEdge;
    const unsigned int end = builder.getNodeMetadata(hierarchy.getNode(s).firstChild).firstEdge;
    for (unsigned int e = begin; e < end; ++e) {
      const tEdge& edge = builder.getEdgeData(e);
      const unsigned int y = groupNodes[edge.group0] ^ groupNodes[edge.group1] ^ x;
      if (y < noNodes && orderingPositions[y] != None && orderingPositions[y] > k)
        visit(edge, y);
    }
  };

  // First pass: the distinct later partners of every node, counted on a bit set over the nodes;
  // each slice has room for its own partners and for the earlier nodes that name it.
  std::fill(constraintSets.begin(), constraintSets.end(), tConstraintSet{0, 0, 0});
  std::vector<unsigned int> ownCounts(noNodes, 0);
  std::vector<uint64_t> partnerBits((noNodes + 63) / 64, 0);
  for (unsigned int k = 0; k < noOrdered; ++k) {
    forEachLaterEdge(k, [&](const tEdge&, unsigned int y) {
      partnerBits[y >> 6] |= uint64_t(1) << (y & 63);
    });
    unsigned int count = 0;
    for (size_t w = 0; w < partnerBits.size(); ++w) {
      count += popCount(partnerBits[w]);
      for (uint64_t bits = partnerBits[w]; bits != 0; bits &= bits - 1)
        ++constraintSets[64 * w + ko2SATState::bitIndex(bits & (~bits + 1))].incoming;
      partnerBits[w] = 0;
    }
    ownCounts[ordering[k]] = count;
  }
  unsigned int total = 0;
  for (unsigned int v = 0; v < noNodes; ++v) {
    constraintSets[v].first = total;
    constraintSets[v].count = ownCounts[v] + constraintSets[v].incoming;
    total += constraintSets[v].count;
  }
  constraintData.assign(total, msNodeMask);
  constraintRows.assign(size_t(total) * mRowWords, ~uint64_t(0));

  // Second pass: one row per pair, the AND over the pair's edges of the codes each edge lets the
  // earlier node leave along, plus the code of its own step, which its split already proved.
  std::vector<tPair> pairs;
  std::vector<uint64_t> pairRows;
  std::vector<unsigned int> pairOfNode(noNodes, None);
  std::vector<uint64_t> codes(mRowWords);
  const unsigned int noCodes = 2 * noDirections;
  auto addCode = [&](unsigned int code) {
    if (code < noCodes)
      codes[code >> 6] |= uint64_t(1) << (code & 63);
  };
  for (unsigned int k = 0; k < noOrdered; ++k) {
    const unsigned int x = ordering[k];
    const unsigned int ownCode = steps[stepOfPosition(k)].code;
    const size_t firstPair = pairs.size();
    forEachLaterEdge(k, [&](const tEdge& edge, unsigned int y) {
      if (pairOfNode[y] == None) {
        pairOfNode[y] = static_cast<unsigned int>(pairs.size());
        pairs.push_back(tPair{x, y, false});
        pairRows.insert(pairRows.end(), mRowWords, ~uint64_t(0));
      }
      tPair& pair = pairs[pairOfNode[y]];
      // Entries are written for group0 moving; seen from group1's node the sense flips.
      const unsigned int flip = groupNodes[edge.group0] == x ? 0u : 1u;
      if (!edge.distant) {
        pair.contact = true;
        std::fill(codes.begin(), codes.end(), 0);
        for (unsigned int entry : edge.entries)
          addCode(codeFromEntry(entry) ^ flip);
      } else {
        // A distant edge lists the codes it blocks; every other code is free.
        std::fill(codes.begin(), codes.end(), ~uint64_t(0));
        for (unsigned int entry : edge.entries) {
          const unsigned int code = codeFromEntry(entry) ^ flip;
          if (code < noCodes)
            codes[code >> 6] &= ~(uint64_t(1) << (code & 63));
        }
      }
      addCode(ownCode);
      uint64_t* row = &pairRows[size_t(pairOfNode[y]) * mRowWords];
      for (unsigned int w = 0; w < mRowWords; ++w)
        row[w] &= codes[w];
    });
    for (size_t i = firstPair; i < pairs.size(); ++i)
      pairOfNode[pairs[i].other] = None;
  }

  // Every pair is an entry of both its nodes' slices: as it is for the earlier node, mirrored for
  // the later one. Sorted by owner and then by the node named, the entries fill the slices in
  // order, since the slices follow one another by node id.
  std::vector<tPlacedEntry> placed;
  placed.reserve(2 * pairs.size());
  for (unsigned int i = 0; i < pairs.size(); ++i) {
    placed.push_back(tPlacedEntry{pairs[i].owner, pairs[i].other, i, false});
    placed.push_back(tPlacedEntry{pairs[i].other, pairs[i].owner, i, true});
  }
  std::sort(placed.begin(), placed.end(), [](const tPlacedEntry& a, const tPlacedEntry& b) {
    return a.owner != b.owner ? a.owner < b.owner : a.other < b.other;
  });
  assert(placed.size() == total);
  for (unsigned int i = 0; i < placed.size(); ++i) {
    const tPlacedEntry& entry = placed[i];
    const tPair& pair = pairs[entry.pair];
    assert(i >= constraintSets[entry.owner].first &&
           i < constraintSets[entry.owner].first + constraintSets[entry.owner].count);
    constraintData[i] = entry.other | (pair.contact ? msContactFlag : 0u);
    const uint64_t* source = &pairRows[size_t(entry.pair) * mRowWords];
    uint64_t* row = &constraintRows[size_t(i) * mRowWords];
    for (unsigned int w = 0; w < mRowWords; ++w)
      row[w] = entry.mirrored ? mirrorCodes(source[w]) : source[w];
  }
}

void koSinglePartDisassemblyProcedure::simplifyOrdering() {
  const unsigned int noSteps = getNoSteps();
  if (noSteps < 3)
    return;
  // From the back, so that a sub-assembly is postponed into steps that are already final.
  for (unsigned int k = 0; k <= noSteps - 3; ++k) {
    std::cout << "simplifying step : " << k << " / " << noSteps - 2 << std::endl;
    simplifyOrderingIteration(noSteps - 3 - k);
  }
}

void koSinglePartDisassemblyProcedure::simplifyOrderingIteration(unsigned int step) {
  const unsigned int x = ordering[steps[step].first];
  // Never into the last step: that is the wanted part, which does not move.
  for (unsigned int j = step + 1; j + 1 < getNoSteps(); ++j) {
    if (tryAndMergeNodeToStep(x, j))
      return;
    if (!checkNodeAndStepConstraints(x, j))
      return;
  }
}

bool koSinglePartDisassemblyProcedure::mayJoinStep(unsigned int node, const tNodeCluster& target,
                                                   bool& touches) const {
  const tConstraintSet& set = constraintSets[node];
  for (unsigned int e = set.first; e < set.first + set.count; ++e) {
    const unsigned int position = orderingPositions[constraintData[e] & msNodeMask];
    if (position < target.first)
      continue;
    if (position < target.first + target.count)
      touches = touches || (constraintData[e] & msContactFlag) != 0;
    else if (!rowAllows(e, target.code))
      return false;
  }
  return true;
}

bool koSinglePartDisassemblyProcedure::tryAndMergeNodeToStep(unsigned int node, unsigned int step) {
  bool touches = false;
  if (!mayJoinStep(node, steps[step], touches) || !touches)
    return false;
  moveNodeToStep(node, step);
  return true;
}

bool koSinglePartDisassemblyProcedure::checkNodeAndStepConstraints(unsigned int node,
                                                                   unsigned int step) {
  // Both the slice and the step's nodes are sorted by node id: one merge walk.
  const tNodeCluster& target = steps[step];
  const tConstraintSet& set = constraintSets[node];
  unsigned int e = set.first;
  const unsigned int eEnd = set.first + set.count;
  unsigned int p = target.first;
  const unsigned int pEnd = target.first + target.count;
  while (e < eEnd && p < pEnd) {
    const unsigned int named = constraintData[e] & msNodeMask;
    if (named < ordering[p]) {
      ++e;
    } else if (ordering[p] < named) {
      ++p;
    } else {
      // The step's node leaves along the step's code while `node` stays, which is `node` moving
      // the opposite way relative to it.
      if (!rowAllows(e, target.code ^ 1u))
        return false;
      ++e;
      ++p;
    }
  }
  return true;
}

unsigned int koSinglePartDisassemblyProcedure::findRequestedNodeCst(unsigned int otherNode,
                                                                    unsigned int node) const {
  const tConstraintSet& set = constraintSets[node];
  const auto begin = constraintData.begin() + set.first;
  const auto end = begin + set.count;
  const auto found = std::lower_bound(
      begin, end, otherNode, [](tConstraintData entry, unsigned int id) {
        return (entry & msNodeMask) < id;
      });
  if (found == end || (*found & msNodeMask) != otherNode)
    return None;
  return static_cast<unsigned int>(found - constraintData.begin());
}

bool koSinglePartDisassemblyProcedure::checkMerge(unsigned int i, unsigned int j) const {
  const tNodeCluster& source = steps[i];
  bool touches = false;
  for (unsigned int p = source.first; p < source.first + source.count; ++p)
    if (!mayJoinStep(ordering[p], steps[j], touches))
      return false;
  return touches;
}

bool koSinglePartDisassemblyProcedure::rowAllows(unsigned int entry, unsigned int code) const {
  if (code >= 2 * noDirections)
    return false;
  return ((constraintRows[size_t(entry) * mRowWords + (code >> 6)] >> (code & 63)) & 1u) != 0;
}

unsigned int koSinglePartDisassemblyProcedure::stepOfPosition(unsigned int p) const {
  const auto after = std::upper_bound(steps.begin(), steps.end(), p,
                                      [](unsigned int position, const tNodeCluster& step) {
                                        return position < step.first;
                                      });
  return static_cast<unsigned int>(after - steps.begin()) - 1;
}

void koSinglePartDisassemblyProcedure::moveNodeToStep(unsigned int node, unsigned int step) {
  const unsigned int from = orderingPositions[node];
  const unsigned int source = stepOfPosition(from);
  if (source == step)
    return;
  // The place in the target step that keeps its node ids ascending, as an index of the current
  // ordering: the node goes just before ordering[to].
  const tNodeCluster& target = steps[step];
  unsigned int to = target.first;
  while (to < target.first + target.count && ordering[to] < node)
    ++to;

  if (source < step) {
    // Everything between the node and its new place moves one to the front.
    std::rotate(ordering.begin() + from, ordering.begin() + from + 1, ordering.begin() + to);
    for (unsigned int p = from; p < to; ++p)
      orderingPositions[ordering[p]] = p;
    --steps[source].count;
    for (unsigned int s = source + 1; s <= step; ++s)
      --steps[s].first;
    ++steps[step].count;
  } else {
    // Everything between the new place and the node moves one to the back.
    std::rotate(ordering.begin() + to, ordering.begin() + from, ordering.begin() + from + 1);
    for (unsigned int p = to; p <= from; ++p)
      orderingPositions[ordering[p]] = p;
    ++steps[step].count;
    for (unsigned int s = step + 1; s <= source; ++s)
      ++steps[s].first;
    --steps[source].count;
  }
  if (steps[source].count == 0)
    steps.erase(steps.begin() + source);
}

void koSinglePartDisassemblyProcedure::copyToDisassemblyHierarchy(koDisassemblyHierarchy& target) {
  target.clearSubHierarchy(0);

  // The step of every group, from the procedure's own records, so that target may even be the
  // hierarchy the procedure was planned on.
  const unsigned int noGroups = meshGroups.getNoGroups();
  std::vector<unsigned int> groupSteps(noGroups, None);
  for (unsigned int g = 0; g < noGroups; ++g)
    if (groupNodes[g] != None)
      groupSteps[g] = stepOfPosition(orderingPositions[groupNodes[g]]);

  std::vector<unsigned int>& groupList = target.editGroupList();
  unsigned int c = 0;
  for (unsigned int s = 0; s + 1 < getNoSteps(); ++s) {
    const bool side = (steps[s].code & 1u) != 0;
    const koDisassemblyHierarchy::tTreeNode split = target.getNode(c);
    const auto begin = groupList.begin() + split.first;
    const auto end = begin + split.noGroups;
    // The step's groups get the bit opposite to `side`: clear (first child) when they move
    // against the direction, set (second child) when they move along it.
    groupSet.clear(side);
    for (auto it = begin; it != end; ++it) {
      if (groupSteps[*it] != s)
        continue;
      if (side)
        groupSet.remove(*it);
      else
        groupSet.add(*it);
    }
    const auto middle = std::stable_partition(begin, end, [&](unsigned int g) {
      return !groupSet.test(g);
    });
    const unsigned int noClear = static_cast<unsigned int>(middle - begin);
    const unsigned int firstChild =
        target.requestNewNode({split.first, noClear, None, None, c, None});
    const unsigned int secondChild = target.requestNewNode(
        {split.first + noClear, split.noGroups - noClear, None, None, c, None});
    koDisassemblyHierarchy::tTreeNode& node = target.editNodes()[c];
    node.firstChild = firstChild;
    node.secondChild = secondChild;
    node.splitDirection = steps[s].code >> 1;
    c = side ? secondChild : firstChild;
  }
  target.computeHierarchyIndexing(0);
}
