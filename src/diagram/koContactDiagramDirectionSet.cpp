#include "koContactDiagram.h"

#include <cmath>
#include <cstddef>
#include <iostream>

namespace {

constexpr double kPi = 3.141592653589793;

// One refinement pass: the mean of the directions in [begin, end) that lie within the tolerance
// (cosine c) of d, opposite ones counted with their sign flipped, normalised. A direction exactly
// perpendicular to d counts (flipped) only when c <= 0. When nothing counts (possible only when
// c is so close to 1 that a seed or first mean, rounded, misses even itself) or the mean
// vanishes, d is kept rather than turned into a non-finite entry.
Wm4::Vector3<double> refineDirection(const Wm4::Vector3<double>& d,
                                     const Wm4::Vector3<double>* begin,
                                     const Wm4::Vector3<double>* end, double c) {
  Wm4::Vector3<double> sum(0.0, 0.0, 0.0);
  unsigned int count = 0;
  for (const Wm4::Vector3<double>* direction = begin; direction != end; ++direction) {
    const double p = direction->Dot(d);
    if (p > 0.0 && p >= c) {
      sum += *direction;
      ++count;
    } else if (p <= 0.0 && -p >= c) {
      sum -= *direction;
      ++count;
    }
  }
  if (count == 0)
    return d;
  const Wm4::Vector3<double> mean = sum / static_cast<double>(count);
  const double length = mean.Length();
  if (!(length > 0.0))
    return d;
  return mean / length;
}

} // namespace

void koContactDiagram::computeDirectionSet(float angleTolerance) {
  if (verbose)
    std::cout << "computing direction set" << std::endl;

  mAngleTolerance = angleTolerance;
  const double c = std::cos(static_cast<double>(angleTolerance) * kPi / 180.0);

  const size_t noEdges = mDisassemblyDirections.size();
  size_t noAll = 0;
  for (const auto& directions : mDisassemblyDirections)
    noAll += directions.size();

  // flat: all edge directions in edge order; its front becomes the set while the rest shrinks.
  // origin: the flat position each direction had before being moved down.
  // ids: the direction id of every direction, by its original flat position.
  std::vector<Wm4::Vector3<double>> flat;
  flat.reserve(noAll);
  for (const auto& directions : mDisassemblyDirections)
    flat.insert(flat.end(), directions.begin(), directions.end());
  std::vector<unsigned int> origin(noAll);
  for (size_t j = 0; j < noAll; ++j)
    origin[j] = static_cast<unsigned int>(j);
  std::vector<unsigned int> ids(noAll, 0u);

  if (verbose)
    std::cout << "no directions: " << noAll << std::endl;

  // Greedy clustering: the first unmerged direction seeds an entry, two passes of averaging
  // over its neighbourhood centre the entry, then every direction within the tolerance of the
  // entry joins it and the rest is compacted in place, order kept, behind the finished entries.
  size_t n = noAll;
  for (size_t i = 0; i < n; ++i) {
    const Wm4::Vector3<double>* rest = flat.data() + i;
    const Wm4::Vector3<double>* end = flat.data() + n;
    Wm4::Vector3<double> d = refineDirection(flat[i], rest, end, c);
    d = refineDirection(d, rest, end, c);
    flat[i] = d;

    const unsigned int entryId = 2u * static_cast<unsigned int>(i);
    // The seed joins its own entry even when its refined mean drifted away from it.
    ids[origin[i]] = entryId;
    size_t write = i + 1;
    for (size_t j = i + 1; j < n; ++j) {
      const double p = d.Dot(flat[j]);
      if (std::fabs(p) < c) {
        flat[write] = flat[j];
        origin[write] = origin[j];
        ++write;
      } else {
        ids[origin[j]] = p > 0.0 ? entryId : entryId + 1u;
      }
    }
    n = write;
  }

  mDirectionSet.assign(flat.begin(), flat.begin() + static_cast<std::ptrdiff_t>(n));

  size_t position = 0;
  for (size_t e = 0; e < noEdges; ++e) {
    std::vector<unsigned int>& edgeIds = mDisassemblyDirectionIds[e];
    const size_t noDirections = mDisassemblyDirections[e].size();
    edgeIds.assign(ids.begin() + static_cast<std::ptrdiff_t>(position),
                   ids.begin() + static_cast<std::ptrdiff_t>(position + noDirections));
    position += noDirections;
  }

  if (verbose)
    std::cout << "no unique directions: " << mDirectionSet.size() << std::endl;
}
