#include "koDiagramComparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace {

typedef std::pair<unsigned int, unsigned int> tMeshPair;
typedef std::tuple<long, long, long> tRoundedDirection;
typedef std::map<tMeshPair, std::set<tRoundedDirection>> tDirectionsByPair;

tDirectionsByPair directionsByPair(const koContactDiagram& diagram) {
  tDirectionsByPair byPair;
  for (unsigned int e = 0; e < diagram.getNoContacts(); ++e) {
    const koContactDiagram::tContactEdge& edge = diagram.getEdgeData(e);
    const bool swapped = edge.mesh0 > edge.mesh1;
    const double sense = swapped ? -1.0 : 1.0;
    std::set<tRoundedDirection>& directions =
        byPair[swapped ? tMeshPair(edge.mesh1, edge.mesh0) : tMeshPair(edge.mesh0, edge.mesh1)];
    for (const Wm4::Vector3<double>& d : diagram.getDisassemblyDirections(e))
      directions.emplace(std::lround(100 * sense * d.X()), std::lround(100 * sense * d.Y()),
                         std::lround(100 * sense * d.Z()));
  }
  return byPair;
}

// How two boxes meet: along a face, an edge or at a corner, by the number of axes on which
// their extents overlap with positive length.
const char* howBoxesMeet(const koBoxAssembly::tBox& a, const koBoxAssembly::tBox& b) {
  int overlappingAxes = 0;
  for (int k = 0; k < 3; ++k)
    overlappingAxes += std::min(a.maxCorner[k], b.maxCorner[k]) >
                       std::max(a.minCorner[k], b.minCorner[k]);
  static const char* const kWays[] = {"at a corner", "along an edge", "face to face",
                                      "overlapping"};
  return kWays[overlappingAxes];
}

std::string describe(const std::set<tRoundedDirection>& directions) {
  std::string text;
  for (const tRoundedDirection& d : directions) {
    char item[48];
    std::snprintf(item, sizeof(item), " (%+.2f %+.2f %+.2f)", std::get<0>(d) / 100.0 + 0.0,
                  std::get<1>(d) / 100.0 + 0.0, std::get<2>(d) / 100.0 + 0.0);
    text += item;
  }
  return text;
}

} // namespace

void printDiagramComparison(const koBoxAssembly& assembly, const koContactDiagram& fromMeshes) {
  const tDirectionsByPair found = directionsByPair(fromMeshes);
  const tDirectionsByPair byHand = directionsByPair(assembly.diagram());
  const auto name = [&](unsigned int mesh) { return assembly.boxes()[mesh].name.c_str(); };
  unsigned int same = 0;
  for (const auto& [pair, directions] : found) {
    const auto listed = byHand.find(pair);
    if (listed == byHand.end()) {
      std::printf("  only from the meshes: %s - %s, boxes that meet %s\n", name(pair.first),
                  name(pair.second),
                  howBoxesMeet(assembly.boxes()[pair.first], assembly.boxes()[pair.second]));
    } else if (listed->second != directions) {
      std::printf("  %s - %s: from the meshes%s, by hand%s\n", name(pair.first),
                  name(pair.second), describe(directions).c_str(),
                  describe(listed->second).c_str());
    } else {
      ++same;
    }
  }
  for (const auto& [pair, directions] : byHand)
    if (found.count(pair) == 0)
      std::printf("  only by hand: %s - %s, boxes that meet %s\n", name(pair.first),
                  name(pair.second),
                  howBoxesMeet(assembly.boxes()[pair.first], assembly.boxes()[pair.second]));
  std::printf("  %u pairs with the same directions both ways\n", same);
}
