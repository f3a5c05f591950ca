#pragma once

// The two clauses of a constraint between groups a and b, as literal pairs (literal 2g: group g
// in the set, 2g + 1: not in it): P = {x_a, not x_b} and Q = {not x_a, x_b}, the smaller group's
// literal first; for a = b the negation comes first in P and second in Q. Both split solvers lay
// out their columns this way, so that their systems and their ties agree.
struct ko2SATConstraintLiterals {
  unsigned int p0, p1, q0, q1;

  ko2SATConstraintLiterals(unsigned int a, unsigned int b) {
    if (a < b) {
      p0 = 2u * a, p1 = 2u * b + 1u, q0 = 2u * a + 1u, q1 = 2u * b;
    } else if (a > b) {
      p0 = 2u * b + 1u, p1 = 2u * a, q0 = 2u * b, q1 = 2u * a + 1u;
    } else {
      p0 = 2u * a + 1u, p1 = 2u * a, q0 = 2u * a, q1 = 2u * a + 1u;
    }
  }
};
