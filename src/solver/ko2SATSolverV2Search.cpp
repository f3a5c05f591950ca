// The search of ko2SATSolverV2: branch and bound over the queue of forced columns and the heap
// of required columns, every choice masking literals in bit sets and recording its changes for
// the way back.

#include "ko2SATSolverV2.h"

#include "ko2SATCost.h"

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <utility>

namespace {

constexpr uint64_t kForcedKey = uint64_t(1) << 62;  // one literal left
constexpr uint64_t kOpenKey = uint64_t(1) << 63;    // both literals left

// The heap order: the 128-bit number (key, column).
inline bool comesBefore(const koDLXColumn& a, const koDLXColumn& b) {
  return a.key < b.key || (a.key == b.key && a.column < b.column);
}

inline void setBit(std::vector<uint64_t>& bits, unsigned int i) {
  bits[i >> 6] |= uint64_t(1) << (i & 63u);
}

inline void clearBit(std::vector<uint64_t>& bits, unsigned int i) {
  bits[i >> 6] &= ~(uint64_t(1) << (i & 63u));
}

inline bool isRequired(const ko2SATSolverV2::tColumn& column) {
  const unsigned int required = ko2SATSolverV2::msActive | ko2SATSolverV2::msPrimary;
  return (column.flags & required) == required;
}

} // namespace

unsigned long ko2SATSolverV2::computeColumnCost(unsigned int column) const {
  const tColumn& c = columns[column];
  const bool open0 = !isMasked(c.literal0), open1 = !isMasked(c.literal1);
  // A dead end outranks everything, a forced choice every branching; among branchings the one
  // whose cheaper literal costs most comes first, as it raises the bound most.
  if (open0 && open1)
    return kOpenKey | (~std::min(literalCosts[c.literal0], literalCosts[c.literal1]) >> 2);
  if (open0 || open1)
    return kForcedKey | (~literalCosts[open0 ? c.literal0 : c.literal1] >> 2);
  return 0;
}

void ko2SATSolverV2::siftUp(unsigned int position) {
  const koDLXColumn entry = heap[position];
  while (position > 0) {
    const unsigned int parent = (position - 1) / 2;
    if (!comesBefore(entry, heap[parent]))
      break;
    heap[position] = heap[parent];
    heapPositions[heap[position].column] = position;
    position = parent;
  }
  heap[position] = entry;
  heapPositions[entry.column] = position;
}

void ko2SATSolverV2::siftDown(unsigned int position) {
  const koDLXColumn entry = heap[position];
  for (;;) {
    unsigned int child = 2 * position + 1;
    if (child >= noHeapEntries)
      break;
    if (child + 1 < noHeapEntries && comesBefore(heap[child + 1], heap[child]))
      ++child;
    if (!comesBefore(heap[child], entry))
      break;
    heap[position] = heap[child];
    heapPositions[heap[position].column] = position;
    position = child;
  }
  heap[position] = entry;
  heapPositions[entry.column] = position;
}

void ko2SATSolverV2::popTop() {
  heapPositions[heap[0].column] = msNone;
  if (--noHeapEntries > 0) {
    heap[0] = heap[noHeapEntries];
    siftDown(0);
  }
}

void ko2SATSolverV2::pushEntry(const koDLXColumn& entry) {
  const unsigned int position = noHeapEntries++;
  heap[position] = entry;
  siftUp(position);
}

unsigned int ko2SATSolverV2::selectColumn() {
  // Queued columns first: every uncovered one has lost a literal on this path.
  while (forcedHead < forcedTail) {
    const tColumn& column = columns[forcedColumns[forcedHead]];
    if (isCovered(column)) {
      ++forcedHead;
      continue;
    }
    if (isMasked(column.literal0) && isMasked(column.literal1))
      return msDeadEnd;
    assert(isMasked(column.literal0) || isMasked(column.literal1));  // queued on this path
    return forcedColumns[forcedHead++];
  }
  // With the queue checked, a heap column that lost a literal is covered: pop it.
  while (noHeapEntries > 0) {
    const koDLXColumn top = heap[0];
    const tColumn& column = columns[top.column];
    if (!isMasked(column.literal0) && !isMasked(column.literal1))
      return unsigned(top.column);
    poppedEntries.push_back(top);
    popTop();
  }
  return msComplete;
}

void ko2SATSolverV2::rekeyOpenColumns(unsigned int literal) {
  const tRowIndex row = rowIndex[literal];
  for (unsigned int k = row.first; k < row.first + row.count; ++k) {
    const unsigned int position = heapPositions[rowColumns[k]];
    const tColumn& column = columns[rowColumns[k]];
    if (position == msNone || isMasked(column.literal0) || isMasked(column.literal1))
      continue;  // stale entries keep their key (see the class comment)
    const uint64_t key = computeColumnCost(rowColumns[k]);
    const uint64_t old = heap[position].key;
    heap[position].key = key;
    if (key < old)
      siftUp(position);
    else if (key > old)
      siftDown(position);
  }
}

void ko2SATSolverV2::maskLiteral(unsigned int literal) {
  setBit(maskedLiterals, literal);
  changes.push_back(tChange{0, msChangeMask, literal});
  ++noMaskedRows;
  const tRowIndex row = rowIndex[literal];
  for (unsigned int k = row.first; k < row.first + row.count; ++k) {
    const tColumn& column = columns[rowColumns[k]];
    if (isRequired(column) && !isCovered(column)) {
      assert(forcedTail < forcedColumns.size());
      forcedColumns[forcedTail++] = rowColumns[k];
    }
  }
}

unsigned int ko2SATSolverV2::maskRow(unsigned int literal) {
  assert(!isMasked(literal));
  const size_t before = changes.size();
  // Chosen first, so that the clauses holding it count as covered from here on.
  setBit(maskedLiterals, literal);
  setBit(chosenLiterals, literal);
  ++noMaskedRows;
  const tRowIndex row = rowIndex[literal];
  for (unsigned int k = row.first; k < row.first + row.count; ++k) {
    const tColumn& column = columns[rowColumns[k]];
    const unsigned int other = column.literal0 ^ column.literal1 ^ literal;
    if (isMasked(other))
      continue;
    if ((column.flags & msActive) != 0) {  // covered: the other literal would cover it twice
      maskLiteral(other);
    } else if (column.weight != 0) {
      // Released: choosing the other literal later completes the crossing, so it carries the
      // charge.
      uint64_t& cost = literalCosts[other];
      changes.push_back(tChange{cost, msChangeCharge, other});
      if ((column.flags & msPrimary) != 0)
        cost = (std::max(cost >> 32, uint64_t{column.weight}) << 32) | (cost & koCostLowWord);
      else
        cost += uint64_t{column.weight} << groupBits;
      rekeyOpenColumns(other);
    }
  }
  return unsigned(changes.size() - before);
}

void ko2SATSolverV2::unmaskRow(unsigned int literal, unsigned int noChanges) {
  for (; noChanges > 0; --noChanges) {
    const tChange change = changes.back();
    changes.pop_back();
    if (change.kind == msChangeMask) {
      clearBit(maskedLiterals, change.index);
    } else {
      literalCosts[change.index] = change.oldCost;
      rekeyOpenColumns(change.index);
    }
  }
  clearBit(chosenLiterals, literal);
  clearBit(maskedLiterals, literal);
}

void ko2SATSolverV2::recordAssignment(const tSystemState& state) {
  const uint64_t finalCost =
      (state.noInSet == 0 || state.noOutOfSet == 0)
          ? msOneSided
          : state.cost + koSideTerm(state.cost, groupBits, state.noInSet, state.noOutOfSet);
  if (finalCost < bestCost) {
    bestCost = finalCost;
    bestState = currentState;
  }
}

void ko2SATSolverV2::branch(tSystemState& state, unsigned int column, unsigned int depth) {
  struct tCandidate {
    unsigned int literal;
    uint64_t cost;
    uint64_t estimate;
  };
  tCandidate candidates[2];
  unsigned int noCandidates = 0;
  for (unsigned int literal : {columns[column].literal0, columns[column].literal1}) {
    if (isMasked(literal))
      continue;
    const uint64_t cost = koCombineCosts(state.cost, literalCosts[literal]);
    const unsigned int in = (literal & 1u) == 0 ? 1u : 0u;
    // Never decreases along a path, so it bounds every completion from below.
    const uint64_t estimate =
        cost + koSideTerm(cost, groupBits, state.noInSet + in, state.noOutOfSet + 1u - in);
    candidates[noCandidates++] = tCandidate{literal, cost, estimate};
  }
  if (noCandidates == 2 && candidates[1].estimate < candidates[0].estimate)
    std::swap(candidates[0], candidates[1]);

  const tSystemState saved = state;
  const unsigned int forcedTailBefore = forcedTail;
  for (unsigned int k = 0; k < noCandidates; ++k) {
    const tCandidate& candidate = candidates[k];
    if (!(candidate.estimate < bestCost))
      continue;
    const unsigned int group = candidate.literal >> 1;
    const bool in = (candidate.literal & 1u) == 0;
    if (in)
      currentState.add(group);
    const unsigned int noChanges = maskRow(candidate.literal);
    state.cost = candidate.cost;
    ++(in ? state.noInSet : state.noOutOfSet);
    iterateSolve(state, depth + 1);
    state = saved;
    unmaskRow(candidate.literal, noChanges);
    forcedTail = forcedTailBefore;
    if (in)
      currentState.remove(group);
  }
}

unsigned long ko2SATSolverV2::iterateSolve(tSystemState& state, unsigned int depth) {
  const unsigned int forcedHeadBefore = forcedHead, forcedTailBefore = forcedTail;
  const size_t noPoppedBefore = poppedEntries.size();
  const unsigned int column = selectColumn();
  if (column == msComplete)
    recordAssignment(state);
  else if (column != msDeadEnd)
    branch(state, column, depth);
  // The queue and the heap as this level found them.
  forcedHead = forcedHeadBefore;
  forcedTail = forcedTailBefore;
  for (; poppedEntries.size() > noPoppedBefore; poppedEntries.pop_back())
    pushEntry(poppedEntries.back());
  return column == msDeadEnd ? msNoSolution : bestCost;
}

void ko2SATSolverV2::solve(const tSystemRoot& root) {
  assert(root.firstColumn + root.noColumns <= columns.size());
  currentState.clear(false);
  bestState.clear(false);
  bestCost = msNoSolution;
  noMaskedRows = 0;
  forcedHead = forcedTail = 0;
  for (unsigned int position = 0; position < noHeapEntries; ++position)
    heapPositions[heap[position].column] = msNone;
  noHeapEntries = 0;
  for (unsigned int j = root.firstColumn; j < root.firstColumn + root.noColumns; ++j)
    if (isRequired(columns[j])) {
      heap[noHeapEntries] = koDLXColumn{computeColumnCost(j), j};
      heapPositions[j] = noHeapEntries++;
    }
  for (unsigned int position = noHeapEntries / 2; position-- > 0;)
    siftDown(position);

  tSystemState state(&root);
  iterateSolve(state, 0);
  assert(changes.empty() && poppedEntries.empty());
}
