#pragma once

#include "koTolvaneLibExport.h"

#include <cstdint>

// One record of the split solver's dancing-links array (ko2SATSolver::nodes). Index 0 is the
// root, indices 1..K the item nodes of the K columns (clauses), then two literal nodes per column.
// All links are indices into the same array; msInvalid means "no node".
//
// The 64-bit word packs, from the least significant bit: literal0 (20 bits), literal1 (20 bits),
// constraintSlot (20 bits), kind (2 bits), active (1 bit), primary (1 bit).
//   item node:    literal0, literal1 = the clause's two literals (2g = group g in the set,
//                 2g + 1 = its negation); constraintSlot = 2c for the first clause of
//                 constraint c, 2c + 1 for the second, msNoField for group and cluster clauses;
//                 active / primary give the clause state (required 1/1, optional 1/0,
//                 released additive 0/0, released maximum 0/1).
//   literal node: literal0 = its literal, literal1 = the column index of its item.
//   kind:         msKindRoot, msKindItem or msKindLiteral; written for readers, never tested.
//
// Links: for an item, up / down are the last / first literal node of its column list and
// left / right its neighbours in the root's list of columns; for a literal node, up / down are
// its neighbours in its column list and left / right its neighbours in the circular row of all
// literal nodes of the same literal. The root's left / right are 0 for an empty system, its
// up / down msInvalid.
struct KOTOLVANE_API koDLXNode {
  static constexpr unsigned int msInvalid = 0xFFFFFFFFu;  // no node, no column
  static constexpr unsigned int msNoField = 0xFFFFFu;     // all ones in a 20-bit field
  static constexpr unsigned int msKindLiteral = 0;
  static constexpr unsigned int msKindItem = 2;
  static constexpr unsigned int msKindRoot = 3;

  static constexpr unsigned int msLiteral1Shift = 20;
  static constexpr unsigned int msSlotShift = 40;
  static constexpr unsigned int msKindShift = 60;
  static constexpr unsigned int msActiveShift = 62;
  static constexpr unsigned int msPrimaryShift = 63;

  uint64_t word;
  unsigned int up;
  unsigned int down;
  unsigned int left;
  unsigned int right;

  static constexpr uint64_t makeWord(unsigned int literal0, unsigned int literal1,
                                     unsigned int constraintSlot, unsigned int kind, bool active,
                                     bool primary) {
    return uint64_t(literal0 & msNoField) | (uint64_t(literal1 & msNoField) << msLiteral1Shift) |
           (uint64_t(constraintSlot & msNoField) << msSlotShift) |
           (uint64_t(kind & 3u) << msKindShift) | (uint64_t(active ? 1 : 0) << msActiveShift) |
           (uint64_t(primary ? 1 : 0) << msPrimaryShift);
  }

  unsigned int literal0() const { return unsigned(word) & msNoField; }
  unsigned int literal1() const { return unsigned(word >> msLiteral1Shift) & msNoField; }
  unsigned int constraintSlot() const { return unsigned(word >> msSlotShift) & msNoField; }
  unsigned int kind() const { return unsigned(word >> msKindShift) & 3u; }
  bool active() const { return ((word >> msActiveShift) & 1u) != 0; }
  bool primary() const { return (word >> msPrimaryShift) != 0; }
  // A required clause: covered exactly once by every solution.
  bool required() const { return (word >> msActiveShift) == 3u; }

  void setLiteral0(unsigned int literal) { setField(0, literal); }
  void setLiteral1(unsigned int literal) { setField(msLiteral1Shift, literal); }
  void setConstraintSlot(unsigned int slot) { setField(msSlotShift, slot); }
  void setActive(bool value) { setBit(msActiveShift, value); }
  void setPrimary(bool value) { setBit(msPrimaryShift, value); }

private:
  void setField(unsigned int shift, unsigned int value) {
    word = (word & ~(uint64_t(msNoField) << shift)) | (uint64_t(value & msNoField) << shift);
  }
  void setBit(unsigned int shift, bool value) {
    word = (word & ~(uint64_t(1) << shift)) | (uint64_t(value ? 1 : 0) << shift);
  }
};
