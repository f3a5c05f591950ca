#include "ko2SATSolverV2.h"

#include "ko2SATConstraintLiterals.h"
#include "ko2SATCost.h"

#include <cassert>
#include <initializer_list>
#include <vector>

namespace {

using tColumn = ko2SATSolverV2::tColumn;

inline bool crossesSet(const tColumn& column, const ko2SATState& set) {
  return set.test(column.literal0 >> 1) != set.test(column.literal1 >> 1);
}

// 0: crossing, 1: outside, 2: inside.
inline unsigned int splitPart(const tColumn& column, const ko2SATState& set) {
  return crossesSet(column, set) ? 0u : (set.test(column.literal0 >> 1) ? 2u : 1u);
}

// One clause of a constraint: released, optional or required (see setConstraintParameters).
void setClauseState(tColumn& column, bool released, bool otherReleased, unsigned int weight,
                    bool maximumCost) {
  const unsigned int slot = column.flags & ko2SATSolverV2::msSlotMask;
  if (released) {  // forbids nothing, charges its weight
    column.flags = slot | (maximumCost && weight != 0 ? ko2SATSolverV2::msPrimary : 0u);
    column.weight = weight;
  } else {  // optional (at most once) when the opposite crossing is released, else required
    column.flags = slot | ko2SATSolverV2::msActive;
    if (!otherReleased)
      column.flags |= ko2SATSolverV2::msPrimary;
    column.weight = 0;
  }
}

} // namespace

ko2SATSolverV2::ko2SATSolverV2(unsigned int n, unsigned int m)
    : bestCost(msNoSolution), bestState(n),
      columns(n + 2u * m, tColumn{msSlotMask, msSlotMask, msSlotMask, 0}),
      constraintColumns(m, msNone), rowIndex(2u * n, tRowIndex{0, 0}),
      rowColumns(2u * (n + 2u * m)), literalCosts(2u * n, 0),
      maskedLiterals((2u * n + 63u) / 64u, 0), chosenLiterals((2u * n + 63u) / 64u, 0),
      currentState(n), heap(n + 2u * m), noHeapEntries(0), heapPositions(n + 2u * m, msNone),
      forcedColumns(2u * (n + 2u * m)), forcedHead(0), forcedTail(0), noMaskedRows(0),
      noGroups(n), noConstraints(m), groupBits(koBinaryDigits(n)) {
  assert(n >= 1 && n < (1u << 20) && m < (1u << 20));
  // Along one path every column is popped, every literal masked and every released clause
  // charged at most once.
  poppedEntries.reserve(columns.size());
  changes.reserve(2u * n + 2u * m);
  for (unsigned int g = 0; g < n; ++g)
    columns[g] = tColumn{2u * g, 2u * g + 1u, msActive | msPrimary | msSlotMask, 0};
}

void ko2SATSolverV2::createConstraint(unsigned int c, unsigned int a, unsigned int b, bool) {
  assert(c < noConstraints && a < noGroups && b < noGroups);
  const ko2SATConstraintLiterals literals(a, b);
  const unsigned int column = noGroups + 2u * c;
  columns[column] = tColumn{literals.p0, literals.p1, msActive | msPrimary | (2u * c), 0};
  columns[column + 1] = tColumn{literals.q0, literals.q1, msActive | msPrimary | (2u * c + 1u), 0};
  constraintColumns[c] = column;
}

void ko2SATSolverV2::setConstraintParameters(unsigned int c, bool releaseInOut,
                                             bool releaseOutIn, unsigned int weightInOut,
                                             unsigned int weightOutIn, bool maximumCost) {
  assert(c < noConstraints && constraintColumns[c] != msNone);
  const unsigned int column = constraintColumns[c];
  // P(c) is violated by the in/out crossing, Q(c) by the out/in crossing.
  setClauseState(columns[column], releaseInOut, releaseOutIn, weightInOut, maximumCost);
  setClauseState(columns[column + 1], releaseOutIn, releaseInOut, weightOutIn, maximumCost);
}

ko2SATSolverV2::tSystemRoot ko2SATSolverV2::getGlobalSystemRoot() const {
  return tSystemRoot{0, noGroups + 2u * noConstraints};
}

void ko2SATSolverV2::bakeSystem(const tSystemRoot& root) {
  assert(root.firstColumn + root.noColumns <= columns.size());
  const unsigned int end = root.firstColumn + root.noColumns;
  for (tRowIndex& row : rowIndex)
    row = tRowIndex{0, 0};
  for (unsigned int j = root.firstColumn; j < end; ++j) {
    assert(columns[j].literal0 < rowIndex.size() && columns[j].literal1 < rowIndex.size());
    ++rowIndex[columns[j].literal0].count;
    ++rowIndex[columns[j].literal1].count;
  }
  // Rows one after another, filled in ascending column index.
  unsigned int first = 0;
  for (tRowIndex& row : rowIndex) {
    row.first = first;
    first += row.count;
    row.count = 0;
  }
  for (unsigned int j = root.firstColumn; j < end; ++j)
    for (unsigned int literal : {columns[j].literal0, columns[j].literal1}) {
      tRowIndex& row = rowIndex[literal];
      rowColumns[row.first + row.count++] = j;
    }
}

void ko2SATSolverV2::splitSystem(const tSystemRoot& root, const ko2SATState& set,
                                 tSystemRoot& outside, tSystemRoot& inside) {
  assert(root.firstColumn + root.noColumns <= columns.size());
  const std::vector<tColumn> old(columns.begin() + root.firstColumn,
                                 columns.begin() + root.firstColumn + root.noColumns);
  unsigned int partSizes[3] = {0, 0, 0};
  for (const tColumn& column : old)
    ++partSizes[splitPart(column, set)];
  unsigned int next[3] = {root.firstColumn, root.firstColumn + partSizes[0],
                          root.firstColumn + partSizes[0] + partSizes[1]};
  for (const tColumn& column : old) {
    const unsigned int j = next[splitPart(column, set)]++;
    columns[j] = column;
    const unsigned int slot = column.flags & msSlotMask;
    if ((slot & 1u) == 0 && (slot >> 1) < noConstraints)
      constraintColumns[slot >> 1] = j;
  }
  outside = tSystemRoot{root.firstColumn + partSizes[0], partSizes[1]};
  inside = tSystemRoot{outside.firstColumn + partSizes[1], partSizes[2]};
}
