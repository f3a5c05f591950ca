#include "contacts/koPatchUnfolding.h"

#include <ko/koMeshUtils.h>
#include <ko/koTriMesh.h>

#include <Wm4Foundation.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace koPatchUnfolding {

namespace {

using Vector2 = Wm4::Vector2<float>;
using Vector3 = Wm4::Vector3<float>;

// Where c lies in the frame of the edge a -> b, in edge lengths: along the edge and (unsigned)
// across it. A zero-length edge puts c onto a.
Vector2 edgeFrame(const Vector3& a, const Vector3& b, const Vector3& c) {
  const Vector3 edge = b - a;
  const Vector3 side = c - a;
  const float edgeLength2 = edge.SquaredLength();
  if (!(edgeLength2 > 0.0f))
    return Vector2(0.0f, 0.0f);
  const float u = edge.Dot(side) / edgeLength2;
  const float v = std::sqrt(std::max(0.0f, side.SquaredLength() / edgeLength2 - u * u));
  return Vector2(u, v);
}

bool sameEdge(int a, int b, int c, int d) { return (a == c && b == d) || (a == d && b == c); }

// Triangles sharing an edge (the same two vertex numbers) with each triangle, ascending: those of
// triangle t are neighbours[start[t]] .. neighbours[start[t + 1] - 1].
void edgeNeighbours(const int* indices, int triangles, std::vector<int>& start,
                    std::vector<int>& neighbours) {
  // (edge, triangle) for every triangle edge, sorted so that the triangles of an edge are adjacent.
  std::vector<std::pair<std::pair<int, int>, int>> edges;
  edges.reserve(3 * static_cast<size_t>(triangles));
  for (int t = 0; t < triangles; ++t)
    for (int e = 0; e < 3; ++e) {
      const int a = indices[3 * t + e], b = indices[3 * t + (e + 1) % 3];
      edges.push_back({{std::min(a, b), std::max(a, b)}, t});
    }
  std::sort(edges.begin(), edges.end());
  std::vector<std::pair<int, int>> pairs;
  for (size_t first = 0; first < edges.size();) {
    size_t last = first;
    while (last < edges.size() && edges[last].first == edges[first].first)
      ++last;
    for (size_t i = first; i < last; ++i)
      for (size_t j = first; j < last; ++j)
        if (edges[i].second != edges[j].second)
          pairs.emplace_back(edges[i].second, edges[j].second);
    first = last;
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  start.assign(triangles + 1, 0);
  neighbours.clear();
  for (const auto& pair : pairs) {
    ++start[pair.first + 1];
    neighbours.push_back(pair.second);
  }
  for (int t = 0; t < triangles; ++t)
    start[t + 1] += start[t];
}

// The corner j of triangle n that lies off the first edge e of triangle t (edge e runs from
// corner e to corner e + 1) that n shares.
std::pair<int, int> sharedEdge(const int* t, const int* n) {
  for (int e = 0; e < 3; ++e)
    for (int j = 0; j < 3; ++j)
      if (sameEdge(n[(j + 1) % 3], n[(j + 2) % 3], t[e], t[(e + 1) % 3]))
        return {e, j};
  return {0, 0}; // not reached: neighbours share an edge
}

} // namespace

ko::koTriMesh* unfoldPatch(const ko::koTriMesh& patch) {
  const ko::koVertexBuffer& source = *patch.VBuffer;
  const int* indices = patch.IBuffer->GetData();
  const int triangles = patch.GetTriangleQuantity();
  std::vector<int> start, neighbours;
  edgeNeighbours(indices, triangles, start, neighbours);

  ko::koVertexBuffer* vertices = new ko::koVertexBuffer(source.GetAttributes(), triangles + 2);
  std::vector<Vector2> plane(triangles + 2);
  // Unfolded vertex number per triangle corner; -1 until the triangle is reached.
  std::vector<int> unfolded(3 * static_cast<size_t>(triangles), -1);
  int vertexCount = 0;
  auto addVertex = [&](int patchVertex, const Vector2& point) {
    ko::koMeshUtils::CopyVertexData(source, *vertices, patchVertex, vertexCount);
    plane[vertexCount] = point;
    return vertexCount++;
  };

  unfolded[0] = addVertex(indices[0], Vector2(0.0f, 0.0f));
  unfolded[1] = addVertex(indices[1], Vector2(1.0f, 0.0f));
  unfolded[2] =
      addVertex(indices[2], edgeFrame(source.Position3(indices[0]), source.Position3(indices[1]),
                                      source.Position3(indices[2])));
  std::vector<int> queue{0};
  for (size_t head = 0; head < queue.size(); ++head) {
    const int t = queue[head];
    for (int k = start[t]; k < start[t + 1]; ++k) {
      const int n = neighbours[k];
      if (unfolded[3 * n] >= 0)
        continue;
      queue.push_back(n);
      const int* tv = indices + 3 * t;
      const int* nv = indices + 3 * n;
      const auto [e, j] = sharedEdge(tv, nv);
      // The shared corners keep t's numbers; a is the one at corner j + 1 of n.
      const bool sameDirection = nv[(j + 1) % 3] == tv[e];
      const int a = unfolded[3 * t + (sameDirection ? e : (e + 1) % 3)];
      const int b = unfolded[3 * t + (sameDirection ? (e + 1) % 3 : e)];
      const Vector2 frame = edgeFrame(source.Position3(nv[(j + 1) % 3]),
                                      source.Position3(nv[(j + 2) % 3]), source.Position3(nv[j]));
      const Vector2 edge = plane[b] - plane[a];
      // The edge turned by +90 degrees: the new corner goes to its left, so n runs
      // counter-clockwise.
      const Vector2 left(-edge.Y(), edge.X());
      unfolded[3 * n + j] = addVertex(nv[j], plane[a] + edge * frame.X() + left * frame.Y());
      unfolded[3 * n + (j + 1) % 3] = a;
      unfolded[3 * n + (j + 2) % 3] = b;
    }
  }

  Vector2 low = plane[0], high = plane[0];
  for (int v = 1; v < vertexCount; ++v) {
    low = Vector2(std::min(low.X(), plane[v].X()), std::min(low.Y(), plane[v].Y()));
    high = Vector2(std::max(high.X(), plane[v].X()), std::max(high.Y(), plane[v].Y()));
  }
  const float extent = std::max(high.X() - low.X(), high.Y() - low.Y());
  const float scale = extent > 0.0f ? 1.0f / extent : 0.0f;
  for (int v = 0; v < vertexCount; ++v)
    vertices->TCoord2(0, v) = (plane[v] - low) * scale;

  // Edge-connected patches are reached whole; a triangle that were not would have no plane
  // place and is left out.
  ko::koIndexBuffer* unfoldedIndices =
      new ko::koIndexBuffer(3 * static_cast<int>(queue.size()), ko::koIndexBuffer::TriangleList);
  int* data = unfoldedIndices->GetData();
  for (int t = 0; t < triangles; ++t)
    if (unfolded[3 * t] >= 0)
      data = std::copy(&unfolded[3 * t], &unfolded[3 * t] + 3, data);
  vertices->resizeVertexBuffer(vertexCount);
  return new ko::koTriMesh(vertices, unfoldedIndices);
}

} // namespace koPatchUnfolding
