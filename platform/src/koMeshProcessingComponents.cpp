#include <ko/koMeshProcessing.h>
#include <ko/koTriMesh.h>

#include "koDisjointSets.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace koMeshProcessing {

unsigned int ClusterizeConnectedComponents(ko::koTriMesh* mesh,
                                           std::vector<unsigned int>& componentPerTriangle) {
  const int noTriangles = mesh != nullptr ? mesh->GetTriangleQuantity() : 0;
  componentPerTriangle.assign(static_cast<std::size_t>(noTriangles), 0u);
  if (noTriangles == 0)
    return 0;

  // Every edge as (unordered vertex pair, triangle); after sorting, the triangles sharing an edge
  // sit next to each other.
  const int* indices = mesh->IBuffer->GetData();
  std::vector<std::pair<std::uint64_t, int>> edges;
  edges.reserve(3 * static_cast<std::size_t>(noTriangles));
  for (int t = 0; t < noTriangles; ++t)
    for (int c = 0; c < 3; ++c) {
      const auto a = static_cast<std::uint32_t>(indices[3 * t + c]);
      const auto b = static_cast<std::uint32_t>(indices[3 * t + (c + 1) % 3]);
      edges.emplace_back(std::uint64_t{std::min(a, b)} << 32 | std::max(a, b), t);
    }
  std::sort(edges.begin(), edges.end());

  ko::koDisjointSets components(static_cast<std::size_t>(noTriangles));
  for (std::size_t e = 1; e < edges.size(); ++e)
    if (edges[e].first == edges[e - 1].first)
      components.Unite(static_cast<std::size_t>(edges[e].second),
                       static_cast<std::size_t>(edges[e - 1].second));

  // Roots are the lowest triangle of their component, so a component is numbered at its root.
  unsigned int noComponents = 0;
  for (std::size_t t = 0; t < componentPerTriangle.size(); ++t) {
    const std::size_t root = components.Find(t);
    componentPerTriangle[t] = root == t ? noComponents++ : componentPerTriangle[root];
  }
  return noComponents;
}

} // namespace koMeshProcessing
