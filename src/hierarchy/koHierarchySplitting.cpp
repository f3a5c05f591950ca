// The recursive splitting of a disassembly hierarchy: per node, the direction search on the
// worker pool (or the replay of a reference hierarchy), then the division of the node's edges,
// solver columns and group slice between its two children.

#include "koDisassemblyHierarchyBuilder.h"

#include "hierarchy/koSplitDirectionTester.h"
#include "ko2SATSolver.h"
#include "ko2SATState.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"

#include <ko/koProgressNotifierInterface.h>
#include <ko/koSystemUtils.h>

#include <algorithm>
#include <iostream>
#include <limits>
#include <tuple>

namespace {

constexpr uint64_t kNoSolution = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kOneSided = kNoSolution - 1;

} // namespace

void koDisassemblyHierarchyBuilder::computeGroupsHierarchy(
    unsigned int node, ko::koProgressNotifierInterface* progress) {
  computeGroupsHierarchyPrivate(node, nullptr, progress);
}

void koDisassemblyHierarchyBuilder::copyGroupsHierarchy(const koDisassemblyHierarchy& reference) {
  mHierarchy->copyFrom(reference);
  computeGroupsHierarchyPrivate(0, &reference, nullptr);
}

void koDisassemblyHierarchyBuilder::computeGroupsHierarchyPrivate(
    unsigned int node, const koDisassemblyHierarchy* reference,
    ko::koProgressNotifierInterface* progress) {
  const unsigned int noGroups = mHierarchy->getNode(node).noGroups;
  if (progress != nullptr)
    progress->openRange(noGroups > 1 ? noGroups - 1.0 : 1.0);

  clearSubHierarchy(node);
  mTotalSolverTime = 0.0;
  for (unsigned int t = 0; t < mNoThreads; ++t) {
    mSolverTimes[t] = 0.0;
    mJobCounts[t] = 0;
    mSolvers[t]->reorderColumns(mNodeMetadata[node].systemRoot);
  }

  ko2SATState scratch(mMeshGroups->getNoGroups());
  splitGroupsCluster(node, None, scratch, reference, progress);
  printSolverTimes();
  mHierarchy->computeHierarchyIndexing(node);
}

void koDisassemblyHierarchyBuilder::printSolverTimes() const {
  std::cout << "solver time: " << 0.001 * mTotalSolverTime << " s." << std::endl;
  double threadTimes = 0.0;
  unsigned long jobs = 0;
  for (unsigned int t = 0; t < mNoThreads; ++t) {
    std::cout << "t" << t << ": " << 0.001 * mSolverTimes[t] << " s. for " << mJobCounts[t]
              << "jobs" << std::endl;
    threadTimes += mSolverTimes[t];
    jobs += mJobCounts[t];
  }
  std::cout << "total: " << 0.001 * threadTimes << " s. for " << jobs << std::endl;
}

void koDisassemblyHierarchyBuilder::splitGroupsCluster(unsigned int node,
                                                       unsigned int referenceNode,
                                                       ko2SATState& scratch,
                                                       const koDisassemblyHierarchy* reference,
                                                       ko::koProgressNotifierInterface* progress) {
  const koDisassemblyHierarchy::tTreeNode parent = mHierarchy->getNode(node);
  if (parent.noGroups < 2)
    return;
  if (verbose)
    std::cout << "splitting group: " << node << std::endl;

  unsigned int direction = 0, referenceOut = node;
  scratch.clear(false);
  if (reference == nullptr)
    computeBestSplitConfiguration(node, referenceNode, direction, referenceOut, scratch);
  else
    cloneSplitConfiguration(*reference, node, referenceNode, direction, referenceOut, scratch);

  std::vector<unsigned int>& groupList = mHierarchy->editGroupList();
  const auto sliceBegin = groupList.begin() + parent.first;
  const auto sliceEnd = sliceBegin + parent.noGroups;
  const unsigned int noMoving = static_cast<unsigned int>(
      std::count_if(sliceBegin, sliceEnd, [&](unsigned int g) { return scratch.test(g); }));
  if (noMoving == 0 || noMoving == parent.noGroups) {
    if (progress != nullptr)
      progress->advance(parent.noGroups - 1.0);
    return;
  }
  const unsigned int noStaying = parent.noGroups - noMoving;

  // Edges of the node: those crossing the split first, then the staying side's, then the moving
  // side's. Crossing edges belong to neither child.
  const tNodeMetadata metadata = mNodeMetadata[node];
  const unsigned int end = metadata.firstEdge + metadata.noEdges;
  unsigned int crossingEnd = metadata.firstEdge;
  for (unsigned int e = metadata.firstEdge; e < end; ++e)
    if (scratch.test(mEdges[e].group0) != scratch.test(mEdges[e].group1))
      swapConstraints(e, crossingEnd++);
  unsigned int stayingEnd = crossingEnd;
  for (unsigned int e = crossingEnd; e < end; ++e)
    if (!scratch.test(mEdges[e].group0))
      swapConstraints(e, stayingEnd++);

  ko2SATSystemRoot outside{0, 0}, inside{0, 0};
  for (unsigned int t = 0; t < mNoThreads; ++t) {
    ko2SATSystemRoot threadOutside, threadInside;
    mSolvers[t]->splitSystem(metadata.systemRoot, scratch, threadOutside, threadInside);
    if (t == 0) {
      outside = threadOutside;
      inside = threadInside;
    }
  }

  std::stable_partition(sliceBegin, sliceEnd, [&](unsigned int g) { return !scratch.test(g); });

  const unsigned int firstChild = mHierarchy->requestNewNode(
      {parent.first, noStaying, None, None, node, None});
  const unsigned int secondChild = mHierarchy->requestNewNode(
      {parent.first + noStaying, noMoving, None, None, node, None});
  koDisassemblyHierarchy::tTreeNode& split = mHierarchy->editNodes()[node];
  split.splitDirection = direction;
  split.firstChild = firstChild;
  split.secondChild = secondChild;

  mNodeMetadata[firstChild] = {referenceOut, crossingEnd, stayingEnd - crossingEnd, outside};
  mNodeMetadata[secondChild] = {referenceOut, stayingEnd, end - stayingEnd, inside};

  if (progress != nullptr)
    progress->advance(1.0);
  splitGroupsCluster(firstChild, referenceOut, scratch, reference, progress);
  splitGroupsCluster(secondChild, referenceOut, scratch, reference, progress);
}

void koDisassemblyHierarchyBuilder::computeBestSplitConfiguration(unsigned int node,
                                                                  unsigned int referenceNode,
                                                                  unsigned int& direction,
                                                                  unsigned int& referenceOut,
                                                                  ko2SATState& set) {
  const double start = ko::koSystemUtils::GetTimeBaseMs();
  const ko2SATSystemRoot& root = mNodeMetadata[node].systemRoot;
  koSplitDirectionBatch batch{this, &root, node, 1, mDiagram->getNoDirections(), true};

  // Passes 0 and 1 keep every cluster smaller than the node together, passes 2 and 3 only the
  // clusters that may not be taken apart; the strict passes 0 and 2 forbid what distant edges
  // block, the soft passes 1 and 3 only charge it.
  uint64_t best = kNoSolution;
  unsigned int chosen = None;
  for (unsigned int pass = 0; pass < 4 && best >= kOneSided; ++pass) {
    if (pass % 2 == 0)
      for (auto& solver : mSolvers)
        solver->bakeSystem(root, mClustering, pass == 0);
    batch.strict = pass % 2 == 0;
    std::fill(mBestCosts.begin(), mBestCosts.end(), kNoSolution);
    mSharedBestCost = kNoSolution;
    mSharedBestDirection = None;
    mSharedBound.store(kNoSolution, std::memory_order_relaxed);
    mPool->run(&batch, batch.noDirections);
    // The pass's winner: lowest cost, then lowest direction. Each thread kept the first of its
    // equal-cost directions and jobs ascend, so the plan does not depend on which thread tested
    // which direction. A thread that found nothing has the largest cost and is never taken.
    unsigned int winner = 0;
    for (unsigned int t = 1; t < mNoThreads; ++t)
      if (std::tie(mBestCosts[t], mBestDirections[t]) <
          std::tie(mBestCosts[winner], mBestDirections[winner]))
        winner = t;
    if (mBestCosts[winner] < best) {
      best = mBestCosts[winner];
      chosen = mBestDirections[winner];
      set = *mBestStates[winner];
    }
  }
  mTotalSolverTime += ko::koSystemUtils::GetTimeBaseMs() - start;
  if (best >= kOneSided)
    return;

  if (!checkDisjointSets(node, set)) {
    direction = chosen;
    return;
  }
  if (verbose)
    std::cout << node << ": disjoint sets spotted" << std::endl;
  referenceOut = referenceNode;
  direction = referenceNode == None ? chosen : chooseDisjointDirection(node, referenceNode, chosen);
}

unsigned int koDisassemblyHierarchyBuilder::chooseDisjointDirection(unsigned int node,
                                                                    unsigned int referenceNode,
                                                                    unsigned int chosenDirection) {
  // Groups that the reference split cut loose: both ends of the edges crossing that split.
  markGroupsOfNode(node, 0);
  const unsigned int cutBegin = mNodeMetadata[referenceNode].firstEdge;
  const unsigned int cutEnd =
      mNodeMetadata[mHierarchy->getNode(referenceNode).firstChild].firstEdge;
  for (unsigned int e = cutBegin; e < cutEnd; ++e) {
    if (mEdges[e].distant)
      continue;
    mGroupScratch[mEdges[e].group0] = 1;
    mGroupScratch[mEdges[e].group1] = 1;
  }

  // The candidates are the directions those groups can part along, in both senses. No edge joins
  // the two sides (that is why the direction is free), so no distant edge between them removes a
  // sense: the smallest candidate is always a direction in its own sense, and the moving side
  // stays as the solver chose it.
  unsigned int smallest = None;
  bool chosenIsCandidate = false;
  const koDisassemblyHierarchy::tTreeNode& tree = mHierarchy->getNode(node);
  const std::vector<unsigned int>& groupList = mHierarchy->getGroupList();
  for (unsigned int p = tree.first; p < tree.first + tree.noGroups; ++p) {
    const unsigned int g = groupList[p];
    if (mGroupScratch[g] == 0)
      continue;
    for (unsigned int k : mPerGroupDirections[g]) {
      smallest = std::min(smallest, k);
      chosenIsCandidate = chosenIsCandidate || k == chosenDirection;
    }
  }
  return smallest == None || chosenIsCandidate ? chosenDirection : smallest;
}

void koDisassemblyHierarchyBuilder::markGroupsOfNode(unsigned int node, unsigned int mark) {
  const koDisassemblyHierarchy::tTreeNode& tree = mHierarchy->getNode(node);
  const std::vector<unsigned int>& groupList = mHierarchy->getGroupList();
  for (unsigned int p = tree.first; p < tree.first + tree.noGroups; ++p)
    mGroupScratch[groupList[p]] = mark;
}

void koDisassemblyHierarchyBuilder::cloneSplitConfiguration(const koDisassemblyHierarchy& reference,
                                                            unsigned int node,
                                                            unsigned int referenceNode,
                                                            unsigned int& direction,
                                                            unsigned int& referenceOut,
                                                            ko2SATState& set) {
  const koDisassemblyHierarchy::tTreeNode& replayed = reference.getNode(node);
  if (replayed.isLeaf())
    return;
  direction = replayed.splitDirection;
  const koDisassemblyHierarchy::tTreeNode& moving = reference.getNode(replayed.secondChild);
  for (unsigned int p = moving.first; p < moving.first + moving.noGroups; ++p)
    set.add(reference.getGroupList()[p]);
  if (checkDisjointSets(node, set)) {
    if (verbose)
      std::cout << node << ": disjoint sets spotted" << std::endl;
    referenceOut = referenceNode;
  }
}

bool koDisassemblyHierarchyBuilder::checkDisjointSets(unsigned int node,
                                                      const ko2SATState& set) const {
  const tNodeMetadata& metadata = mNodeMetadata[node];
  for (unsigned int e = metadata.firstEdge; e < metadata.firstEdge + metadata.noEdges; ++e)
    if (set.test(mEdges[e].group0) != set.test(mEdges[e].group1))
      return false;
  return true;
}
