#pragma once

#include <cstddef>
#include <numeric>
#include <vector>

namespace ko {

// Union-find over 0 .. n-1. A set's root is always its lowest member, so callers can number sets
// by first appearance in one pass: an element that is its own root opens a new set.
class koDisjointSets {
public:
  explicit koDisjointSets(std::size_t n) : mParent(n) {
    std::iota(mParent.begin(), mParent.end(), std::size_t{0});
  }

  std::size_t Find(std::size_t i) {
    while (mParent[i] != i) {
      mParent[i] = mParent[mParent[i]]; // path halving keeps later finds short
      i = mParent[i];
    }
    return i;
  }

  void Unite(std::size_t a, std::size_t b) {
    a = Find(a);
    b = Find(b);
    if (a < b)
      mParent[b] = a;
    else
      mParent[a] = b;
  }

private:
  std::vector<std::size_t> mParent;
};

} // namespace ko
