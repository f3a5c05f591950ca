#include "koDisassemblyHierarchyBuilder.h"

#include "hierarchy/koSplitDirectionTester.h"
#include "ko2SATSolver.h"
#include "ko2SATState.h"
#include "koContactDiagram.h"
#include "koDisassemblyHierarchy.h"
#include "koMeshGroups.h"
#include "koMiniThreadPool.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A contact diagram direction id 2k + s as a direction entry k | s * 2^31.
unsigned int entryFromDirectionId(unsigned int id) {
  return (id >> 1) | ((id & 1u) << 31);
}

} // namespace

koDisassemblyHierarchyBuilder::koDisassemblyHierarchyBuilder(koDisassemblyHierarchy& hierarchy,
                                                             const koContactDiagram& diagram,
                                                             unsigned int threadCount)
    : mHierarchy(&hierarchy), mMeshGroups(&hierarchy.getMeshGroups()), mDiagram(&diagram),
      verbose(false), mNodeMetadata(hierarchy.getNoNodes(), tNodeMetadata{0, 0, 0, {0, 0}}),
      mGroupScratch(mMeshGroups->getNoGroups(), 0u), mClustering(nullptr),
      mTester(new koSplitDirectionTester), mTotalSolverTime(0.0),
      mNoThreads(threadCount == 0 ? 1u : threadCount) {
  mConstraintChanges.resize(mNoThreads);
  mBestStates.resize(mNoThreads);
  mBestDirections.assign(mNoThreads, None);
  mBestCosts.assign(mNoThreads, std::numeric_limits<uint64_t>::max());
  mSharedBestCost = std::numeric_limits<uint64_t>::max();
  mSharedBestDirection = None;
  mSharedBound.store(std::numeric_limits<uint64_t>::max(), std::memory_order_relaxed);
  mSolverTimes.assign(mNoThreads, 0.0);
  mJobCounts.assign(mNoThreads, 0u);
  mSolvers.resize(mNoThreads);
  mPool.reset(new koMiniThreadPool<koSplitDirectionTester>(*mTester, mNoThreads, nullptr));
  buildDynamicGraph();
  fillEdgeDisassemblyDirectionData();
  // The per-group lists need the expanded entries, which exist only now.
  initializePerGroupDirections();
}

koDisassemblyHierarchyBuilder::~koDisassemblyHierarchyBuilder() = default;

void koDisassemblyHierarchyBuilder::setGroupsClustering(koGroupsClustering* clustering) {
  mClustering = clustering;
}

void koDisassemblyHierarchyBuilder::setNoDistantConstraints(unsigned int k) {
  if (k != 0)
    mEdges.reserve(mEdges.size() + k);
}

void koDisassemblyHierarchyBuilder::pushDistantConstraint(unsigned int group0, unsigned int group1,
                                                          const std::vector<unsigned int>& scores,
                                                          std::vector<unsigned int>& entries) {
  tDynamicEdgeData edge;
  edge.group0 = group0;
  edge.group1 = group1;
  edge.constraint = static_cast<unsigned int>(mEdges.size());
  edge.contactPoint = Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
  edge.distant = true;
  edge.perDirectionValues.assign(scores.begin(), scores.begin() + entries.size());
  edge.entries.swap(entries);
  mEdges.push_back(std::move(edge));
}

void koDisassemblyHierarchyBuilder::initSolver() {
  const unsigned int n = mMeshGroups->getNoGroups();
  const unsigned int m = getNoEdges();
  for (unsigned int t = 0; t < mNoThreads; ++t) {
    if (!mSolvers[t])
      mSolvers[t].reset(new ko2SATSolver(n, m));
    if (!mBestStates[t])
      mBestStates[t].reset(new ko2SATState(n));
    // Room for one change per edge, so that direction tests never allocate.
    mConstraintChanges[t].reserve(m);
  }
  for (const tDynamicEdgeData& edge : mEdges)
    for (auto& solver : mSolvers)
      solver->addNewConstraint(edge.constraint, edge.group0, edge.group1, !edge.distant);
  mNodeMetadata[0] = tNodeMetadata{None, 0, m, mSolvers[0]->getGlobalSystemRoot()};
}

void koDisassemblyHierarchyBuilder::swapConstraints(unsigned int i, unsigned int j) {
  if (i != j)
    std::swap(mEdges[i], mEdges[j]);
}

void koDisassemblyHierarchyBuilder::buildDynamicGraph() {
  const unsigned int noContacts = mDiagram->getNoContacts();
  mEdges.resize(noContacts);
  for (unsigned int e = 0; e < noContacts; ++e) {
    const koContactDiagram::tContactEdge& contact = mDiagram->getEdgeData(e);
    tDynamicEdgeData& edge = mEdges[e];
    edge.group0 = contact.group0;
    edge.group1 = contact.group1;
    edge.constraint = e;
    edge.distant = false;
    edge.directions = mDiagram->getDisassemblyDirections(e);
    edge.perDirectionValues.resize(edge.directions.size());
    edge.contactPoint = mDiagram->getContactPoint(e);
  }
  initializePerGroupDirections();
}

void koDisassemblyHierarchyBuilder::fillEdgeDisassemblyDirectionData() {
  const double tolerance = std::sin(mDiagram->getAngleTolerance() * 3.141592653589793 / 180.0);
  const double toleranceSquared = tolerance * tolerance;
  const unsigned int noDirections = mDiagram->getNoDirections();
  std::vector<bool> own(noDirections, false);

  for (tDynamicEdgeData& edge : mEdges) {
    if (edge.distant)
      continue;
    const unsigned int e = edge.constraint;
    const std::vector<Wm4::Vector3<double>>& directions = mDiagram->getDisassemblyDirections(e);
    const std::vector<unsigned int>& ids = mDiagram->getDisassemblyDirectionIds(e);
    const size_t noOwn = directions.size();
    // buildDynamicGraph copied the directions and sized their entries.
    for (size_t j = 0; j < noOwn; ++j) {
      edge.perDirectionValues[j] = entryFromDirectionId(ids[j]);
      own[ids[j] >> 1] = true;
    }
    edge.entries = edge.perDirectionValues;
    if (noOwn == 0)
      continue;

    // Up to three independent own directions span the motion the contact allows. A direction
    // within the tolerance of a basis line is no new basis; when it points against that basis,
    // the contact allows both senses along it.
    Wm4::Vector3<double> bases[3];
    bool hasOpposite[3] = {false, false, false};
    unsigned int noBases = 0;
    bases[noBases++] = directions[0];
    for (size_t j = 1; j < noOwn; ++j) {
      bool parallel = false;
      for (unsigned int b = 0; b < noBases; ++b) {
        const double p = directions[j].Dot(bases[b]);
        if (1.0 - p * p <= toleranceSquared) {
          parallel = true;
          if (p < -0.99)
            hasOpposite[b] = true;
        }
      }
      if (!parallel && noBases < 3)
        bases[noBases++] = directions[j];
    }

    // Add every other set direction close to the span of the bases, in each sense that no
    // one-sided basis points against.
    for (unsigned int k = 0; k < noDirections; ++k) {
      if (own[k])
        continue;
      const Wm4::Vector3<double>& d = mDiagram->getDirectionFromId(k);
      double along[3] = {0.0, 0.0, 0.0};
      double alongSquared = 0.0;
      for (unsigned int b = 0; b < noBases; ++b) {
        along[b] = d.Dot(bases[b]);
        alongSquared += along[b] * along[b];
      }
      if (noBases < 3 && 1.0 - alongSquared > toleranceSquared)
        continue;
      bool forward = true, backward = true;
      for (unsigned int b = 0; b < noBases; ++b) {
        if (hasOpposite[b])
          continue;
        forward = forward && !(along[b] < -tolerance);
        backward = backward && !(along[b] > tolerance);
      }
      if (forward)
        edge.entries.push_back(k);
      if (backward)
        edge.entries.push_back(k | msOppositeFlag);
    }
    for (size_t j = 0; j < noOwn; ++j)
      own[ids[j] >> 1] = false;
  }
}

void koDisassemblyHierarchyBuilder::initializePerGroupDirections() {
  const unsigned int n = mMeshGroups->getNoGroups();
  const unsigned int noDirections = mDiagram->getNoDirections();
  std::vector<bool> seen(size_t(n) * noDirections, false);
  for (const tDynamicEdgeData& edge : mEdges) {
    if (edge.distant)
      continue;
    for (unsigned int entry : edge.entries) {
      const unsigned int k = entry & ~msOppositeFlag;
      seen[size_t(edge.group0) * noDirections + k] = true;
      seen[size_t(edge.group1) * noDirections + k] = true;
    }
  }
  mPerGroupDirections.assign(n, {});
  for (unsigned int g = 0; g < n; ++g)
    for (unsigned int k = 0; k < noDirections; ++k)
      if (seen[size_t(g) * noDirections + k])
        mPerGroupDirections[g].push_back(k);
}

void koDisassemblyHierarchyBuilder::clearSubHierarchy(unsigned int node) {
  mHierarchy->clearSubHierarchy(node);
  const unsigned int noGroups = mHierarchy->getNode(node).noGroups;
  const size_t end = node + 2 * size_t(noGroups) - 1;
  if (end > size_t(node) + 1)
    std::memset(static_cast<void*>(&mNodeMetadata[node + 1]), 0xFF,
                (end - node - 1) * sizeof(tNodeMetadata));
}
