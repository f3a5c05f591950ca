// When each split opens: the depth-first numberings of the sequential and by-level policies, and
// the list scheduling of the optimal policy.

#include "koExplodedViewAnimation.h"

#include "explosion/koExplodedViewAnimationSides.h"
#include "koDisassemblyHierarchy.h"
#include "koExplosionDiagram.h"
#include "koMeshGroups.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <queue>
#include <utility>

using namespace koAnimationSides;

unsigned int
koExplodedViewAnimation::computeTimeIndexPerSplit(unsigned int node, unsigned int t,
                                                  std::vector<unsigned int>& times) const {
  if (!isSplit(hierarchy.getNode(node)))
    return 0;
  // Walk the chain of second children; each split of it starts its first child's subtree.
  unsigned int count = 0;
  for (unsigned int x = node; isSplit(hierarchy.getNode(x)); x = hierarchy.getNode(x).secondChild) {
    times[x] = t + 1;
    unsigned int base;
    if (animationPolicy == ePolicyOptimal) {
      // The fixed side may open together with its parent, the moving side only after it.
      if (!explosionDiagram.getSplitData(x).moveFirstChild) {
        base = t;
        t = t + 1;
      } else {
        base = t + 1;
      }
    } else {
      base = t + 1;
      t = t + 1;
    }
    const unsigned int k = computeTimeIndexPerSplit(hierarchy.getNode(x).firstChild, base, times);
    count += k + 1;
    if (animationPolicy == ePolicySequential)
      t += k;
  }
  return count;
}

unsigned int koExplodedViewAnimation::splitTimeConstraintsIteration(
    unsigned int node, unsigned int parent, unsigned int flag, std::vector<unsigned int>& order,
    std::vector<std::vector<unsigned int>>& movers, std::vector<tSplitTimeGEConstraint>& ge,
    std::vector<tSplitTimeNEConstraint>& ne) const {
  const Node& tree = hierarchy.getNode(node);
  if (!isSplit(tree))
    return 0;
  const Split& split = explosionDiagram.getSplitData(node);
  const size_t p = order.size();
  order.push_back(node);
  if (parent != None)
    ge.push_back({node, parent, flag});
  const unsigned int k1 =
      splitTimeConstraintsIteration(movingChild(tree, split), node, 1, order, movers, ge, ne);
  const unsigned int k2 =
      splitTimeConstraintsIteration(fixedChild(tree, split), node, 0, order, movers, ge, ne);
  if (!split.isValid())
    return k1 + k2 + 1;

  // This split and its moving subtree must not open while the cluster they separate from moves.
  const unsigned int fixed = explosionDiagram.getReferenceGroup(fixedGroup(split));
  const std::vector<unsigned int>& fixedMovers = movers[fixed];
  for (size_t i = p; i <= p + k1; ++i)
    for (unsigned int m : fixedMovers)
      ne.push_back({std::min(order[i], m), std::max(order[i], m)});

  // The moving clusters are moved by this split and by whatever moves the fixed cluster. This
  // split precedes its subtree in node-id order, so putting it in front keeps the lists sorted.
  const Node& moving = hierarchy.getNode(movingChild(tree, split));
  const std::vector<unsigned int>& groupList = hierarchy.getGroupList();
  std::vector<unsigned int> merged;
  for (unsigned int pos = moving.first; pos < moving.first + moving.noGroups; ++pos) {
    const unsigned int r = groupList[pos];
    if (explosionDiagram.getReferenceGroup(r) != r)
      continue;
    merged.assign(1, node);
    std::set_union(movers[r].begin(), movers[r].end(), fixedMovers.begin(), fixedMovers.end(),
                   std::back_inserter(merged));
    movers[r].swap(merged);
  }
  return k1 + k2 + 1;
}

void koExplodedViewAnimation::computeOptimalTimeIndex(std::vector<unsigned int>& times) const {
  const unsigned int noNodes = hierarchy.getNoNodes();
  times.assign(noNodes, 1u);
  if (noNodes == 0)
    return;

  std::vector<unsigned int> order;
  std::vector<std::vector<unsigned int>> movers(meshGroups.getNoGroups());
  std::vector<tSplitTimeGEConstraint> ge;
  std::vector<tSplitTimeNEConstraint> ne;
  splitTimeConstraintsIteration(0, None, 0, order, movers, ge, ne);

  std::vector<unsigned int> inDegree(noNodes, 0u);
  std::vector<std::vector<std::pair<unsigned int, unsigned int>>> successors(noNodes);
  for (const tSplitTimeGEConstraint& c : ge) {
    ++inDegree[c.split];
    successors[c.parentSplit].emplace_back(c.split, c.flag);
  }
  // Exclusion neighbours of split x: exclusions[exclusionStart[x] .. exclusionStart[x + 1]).
  // A pair may be listed twice; the step search below does not mind repeated times.
  std::vector<unsigned int> exclusionStart(noNodes + 1, 0u);
  for (const tSplitTimeNEConstraint& c : ne) {
    ++exclusionStart[c.smallerSplit + 1];
    ++exclusionStart[c.largerSplit + 1];
  }
  for (unsigned int x = 0; x < noNodes; ++x)
    exclusionStart[x + 1] += exclusionStart[x];
  std::vector<unsigned int> exclusions(exclusionStart.back());
  {
    std::vector<unsigned int> fill(exclusionStart.begin(), exclusionStart.end() - 1);
    for (const tSplitTimeNEConstraint& c : ne) {
      exclusions[fill[c.smallerSplit]++] = c.largerSplit;
      exclusions[fill[c.largerSplit]++] = c.smallerSplit;
    }
  }

  // List scheduling: the candidate with the smallest (in-degree, time), the lowest node id on
  // ties. Every split but the root has exactly one ordering constraint (its parent), so while
  // splits remain one of them is free, and a free split's time no longer changes: a heap of the
  // free splits by (time, id) takes them in the same order as a scan of the whole list.
  typedef std::pair<unsigned int, unsigned int> TimeAndSplit;
  std::priority_queue<TimeAndSplit, std::vector<TimeAndSplit>, std::greater<TimeAndSplit>> free;
  for (unsigned int x : order)
    if (inDegree[x] == 0)
      free.emplace(times[x], x);
  std::vector<char> placed(noNodes, 0);
  std::vector<unsigned int> taken;
  while (!free.empty()) {
    const unsigned int x = free.top().second;
    free.pop();
    // The first step from its earliest one that no placed exclusion neighbour holds.
    taken.clear();
    for (unsigned int i = exclusionStart[x]; i < exclusionStart[x + 1]; ++i)
      if (placed[exclusions[i]] && times[exclusions[i]] >= times[x])
        taken.push_back(times[exclusions[i]]);
    std::sort(taken.begin(), taken.end());
    for (unsigned int t : taken)
      if (t == times[x])
        ++times[x];
      else if (t > times[x])
        break;
    for (const auto& [s, f] : successors[x]) {
      times[s] = std::max(times[s], times[x] + f);
      if (--inDegree[s] == 0)
        free.emplace(times[s], s);
    }
    placed[x] = 1;
  }
}
