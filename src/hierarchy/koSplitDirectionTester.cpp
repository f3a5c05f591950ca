#include "hierarchy/koSplitDirectionTester.h"

#include "ko2SATSolver.h"
#include "ko2SATState.h"
#include "koDisassemblyHierarchyBuilder.h"
#include "koMiniThreadPool.h"

#include <ko/koSystemUtils.h>

#include <tuple>

namespace {

using Builder = koDisassemblyHierarchyBuilder;
constexpr unsigned int kDistantFlag = 0x80000000u;

// The strength a direction gives to one edge's constraint, from the entries of the edge that
// name it. Returns false when the edge does not list the direction at all.
bool matchDirection(const Builder::tDynamicEdgeData& edge, unsigned int direction, bool strict,
                    Builder::tConstraintConf& conf) {
  conf = Builder::tConstraintConf{edge.constraint, 0, 2, 0, 0};
  const size_t noEntries = edge.entries.size();
  for (size_t i = 0; i < noEntries; ++i) {
    const unsigned int entry = edge.entries[i];
    if ((entry & ~Builder::msOppositeFlag) != direction)
      continue;
    const bool opposite = (entry & Builder::msOppositeFlag) != 0;
    conf.matchBits |= opposite ? 2u : 1u;
    if (i == 0)
      conf.weight = 1;
    if (edge.distant && !strict)
      (opposite ? conf.weightOutIn : conf.weightInOut) = edge.perDirectionValues[i];
  }
  if (edge.distant)
    conf.constraint |= kDistantFlag;
  return conf.matchBits != 0;
}

} // namespace

void koSplitDirectionTester::operator()(unsigned int job, unsigned int thread, void* jobData) {
  const auto& batch = *static_cast<const koSplitDirectionBatch*>(jobData);
  Builder& builder = *batch.builder;
  ko2SATSolver& solver = *builder.mSolvers[thread];
  std::vector<Builder::tConstraintConf>& changes = builder.mConstraintChanges[thread];
  const unsigned int direction = job;

  // Contact edges that list the direction may part along it (at cost 1 when it is their first
  // entry, 2 otherwise); distant edges that list it block the matched configurations, strictly
  // or at their score as a maximum-type cost. Every other edge keeps its initial strength.
  changes.clear();
  const Builder::tNodeMetadata& metadata = builder.mNodeMetadata[batch.node];
  for (unsigned int e = metadata.firstEdge; e < metadata.firstEdge + metadata.noEdges; ++e) {
    const Builder::tDynamicEdgeData& edge = builder.mEdges[e];
    Builder::tConstraintConf conf;
    if (edge.entries.empty() || !matchDirection(edge, direction, batch.strict, conf))
      continue;
    const bool inOut = (conf.matchBits & 1u) != 0;
    const bool outIn = (conf.matchBits & 2u) != 0;
    if (!edge.distant)
      solver.desactivateConstraint(edge.constraint, inOut, outIn, conf.weight, conf.weight, false);
    else if (batch.strict)
      solver.desactivateConstraint(edge.constraint, !inOut, !outIn, 0, 0, false);
    else
      solver.desactivateConstraint(edge.constraint, true, true, conf.weightInOut,
                                   conf.weightOutIn, true);
    changes.push_back(conf);
  }

  // Only a split that beats the batch's best so far can win: one cheaper, or as cheap along a
  // lower direction (the lower direction wins ties). The bound cuts every other search short and
  // leaves the winner's search, and so the plan, as it would be without it. Splits found by
  // other directions while this one runs lower the bound further: the live bound.
  ko::koMutex& sharedBestMutex = builder.mPool->jobCounter.mutex;
  // The bound under the batch's best so far, read under the mutex: that cost, or one more for a
  // lower direction, which wins ties.
  const auto sharedBound = [&builder, direction] {
    uint64_t cost = builder.mSharedBestCost;
    if (cost < ko2SATSolver::msOneSided && builder.mSharedBestDirection > direction)
      ++cost;
    return cost;
  };
  sharedBestMutex.lock();
  const uint64_t bound = sharedBound();
  sharedBestMutex.unlock();

  const double start = ko::koSystemUtils::GetTimeBaseMs();
  solver.solve(bound, &builder.mSharedBound);
  builder.mSolverTimes[thread] += ko::koSystemUtils::GetTimeBaseMs() - start;
  ++builder.mJobCounts[thread];

  for (size_t i = changes.size(); i-- > 0;) {
    const unsigned int constraint = changes[i].constraint & ~kDistantFlag;
    const bool distant = (changes[i].constraint & kDistantFlag) != 0;
    solver.desactivateConstraint(constraint, distant, distant, 0, 0, false);
  }

  // A cost at or above the bound as it stands now either is a value of the live bound or cannot
  // win; one below it is this direction's cheapest split.
  sharedBestMutex.lock();
  const bool found = solver.bestCost < std::min(bound, sharedBound());
  if (found && solver.bestCost < ko2SATSolver::msOneSided &&
      std::tie(solver.bestCost, direction) <
          std::tie(builder.mSharedBestCost, builder.mSharedBestDirection)) {
    builder.mSharedBestCost = solver.bestCost;
    builder.mSharedBestDirection = direction;
    builder.mSharedBound.store(solver.bestCost + 1, std::memory_order_relaxed);
  }
  sharedBestMutex.unlock();
  if (found && solver.bestCost < builder.mBestCosts[thread]) {
    builder.mBestCosts[thread] = solver.bestCost;
    builder.mBestDirections[thread] = direction;
    *builder.mBestStates[thread] = solver.bestState;
  }
}
