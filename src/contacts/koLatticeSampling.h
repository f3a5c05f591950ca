#pragma once

#include <Wm4Foundation.h>

#include <vector>

// Evenly spread points inside a plane triangle: the midpoints of the rising edges of a triangular
// lattice of equilateral cells, refined cell by cell (coarse cells first) until enough midpoints
// fall strictly inside. Keeps its list of refined cells between calls, so one sampler serves many
// triangles without allocating; one sampler per thread.
class koLatticeSampler {
public:
  // Up to count points strictly inside the triangle, written as barycentric weights (one
  // (w0, w1, w2) per point, replacing the contents of weights); returns how many. A degenerate
  // triangle (longest edge or height zero) gets none. A triangle thinner than 1/100 of its longest
  // edge is sampled as if its apex stood at that height, so its points spread across the width;
  // the weights refer to that widened triangle.
  int sample(const Wm4::Vector2<float> corners[3], int count,
             std::vector<Wm4::Vector3<double>>& weights);

private:
  struct Cell {
    Wm4::Vector2<double> corner[3];
  };
  // A cell that meets the triangle, with the midpoints of its edges (edge k from corner k).
  struct Refined {
    Wm4::Vector2<double> corner[3];
    Wm4::Vector2<double> middle[3];
  };
  // Child 0, 1 or 2 of a refined cell keeps its corner 0, 1 or 2; child 3 is the middle one.
  static Cell child(const Refined& parent, size_t which);

  // The refined cells in the order they were taken.
  std::vector<Refined> mRefined;
};
