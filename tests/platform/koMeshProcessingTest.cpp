#include <ko/koMeshProcessing.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <utility>

namespace {

using Vec2 = Wm4::Vector2<float>;
using Vec3 = Wm4::Vector3<float>;
using Mesh = ko::koPointer<ko::koTriMesh>;

Mesh makeMesh(const std::vector<Vec3>& points, const std::vector<int>& indices, bool normals) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(normals ? 3 : 0);
  attributes.SetTCoordChannels(2, 2);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(points.size()));
  for (int i = 0; i < vertices->GetVertexQuantity(); ++i) {
    vertices->Position3(i) = points[static_cast<size_t>(i)];
    vertices->TCoord2(2, i) = Vec2(static_cast<float>(i), 0.5f);
  }
  auto* triangles = new ko::koIndexBuffer(static_cast<int>(indices.size()), 1);
  std::copy(indices.begin(), indices.end(), triangles->GetData());
  return Mesh(new ko::koTriMesh(vertices, triangles));
}

std::vector<float> channels(const ko::koVertexBuffer& b, int i) {
  const Vec3 &p = b.Position3(i), &n = b.Normal3(i);
  const Vec2& t = b.TCoord2(2, i);
  return {p[0], p[1], p[2], n[0], n[1], n[2], t[0], t[1]};
}

// Corners that are close on the coarse grid, equal, or equal up to a jitter; few distinct
// attribute values so that some equal positions also agree in every channel.
Mesh randomMesh(std::mt19937& rng, int noVertices, int noTriangles) {
  std::vector<Vec3> points(static_cast<size_t>(noVertices));
  for (Vec3& p : points)
    for (int axis = 0; axis < 3; ++axis)
      p[axis] = 0.1f * static_cast<float>(rng() % 3) + 0.02f * static_cast<float>(rng() % 3);
  std::vector<int> indices(3 * static_cast<size_t>(noTriangles));
  for (int& index : indices)
    index = static_cast<int>(rng() % static_cast<unsigned>(noVertices));
  Mesh mesh = makeMesh(points, indices, true);
  for (int i = 0; i < noVertices; ++i) {
    mesh->VBuffer->Normal3(i) = Vec3(0.0f, 0.0f, rng() % 2 ? 1.0f : -1.0f);
    mesh->VBuffer->TCoord2(2, i) = Vec2(static_cast<float>(rng() % 2), 0.5f);
  }
  return mesh;
}

std::vector<int> indices(const ko::koTriMesh& mesh) {
  return {mesh.IBuffer->GetData(), mesh.IBuffer->GetData() + mesh.IBuffer->GetIndexQuantity()};
}

// The vertices' channels and the indices.
using Welded = std::pair<std::vector<std::vector<float>>, std::vector<int>>;

// Straight from the rule, in quadratic time: each vertex goes to the first kept vertex it
// matches, else it is kept.
Welded weldReference(const ko::koTriMesh& mesh, float tolerance, bool positionsOnly) {
  Welded welded;
  std::vector<int> newIndex;
  for (int i = 0; i < mesh.VBuffer->GetVertexQuantity(); ++i) {
    const std::vector<float> v = channels(*mesh.VBuffer, i);
    size_t match = 0;
    for (bool near = false; match < welded.first.size() && !near; match += near ? 0 : 1) {
      const std::vector<float>& kept = welded.first[match];
      near = positionsOnly || std::equal(v.begin() + 3, v.end(), kept.begin() + 3);
      for (size_t axis = 0; axis < 3; ++axis)
        near = near && std::fabs(v[axis] - kept[axis]) <= tolerance;
    }
    if (match == welded.first.size())
      welded.first.push_back(v);
    newIndex.push_back(static_cast<int>(match));
  }
  for (const int index : indices(mesh))
    welded.second.push_back(newIndex[static_cast<size_t>(index)]);
  return welded;
}

bool shareEdge(const int* s, const int* t) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (std::minmax(s[i], s[(i + 1) % 3]) == std::minmax(t[j], t[(j + 1) % 3]))
        return true;
  return false;
}

// Smoothens the mesh, then checks every corner: it kept its position and texture coordinates,
// and has the normal `expected` gives for its triangle, position and face normal; where that is
// zero (degenerate faces, or don't care), a unit normal.
using ExpectedNormal = Vec3 (*)(int, const Vec3&, const Vec3&);
void smoothenAndCheck(const Mesh& mesh, int noVertices, ExpectedNormal expected) {
  std::vector<std::pair<Vec3, Vec2>> before;
  for (int i = 0; i < mesh->VBuffer->GetVertexQuantity(); ++i)
    before.emplace_back(mesh->VBuffer->Position3(i), mesh->VBuffer->TCoord2(2, i));
  const std::vector<int> corners = indices(*mesh);
  koMeshProcessing::SmoothenNormals(mesh, 0.8203048f);
  EXPECT_EQ(mesh->VBuffer->GetVertexQuantity(), noVertices);
  for (size_t c = 0; c < corners.size(); ++c) {
    const int v = mesh->IBuffer->GetData()[c], t = static_cast<int>(c / 3);
    const int* triangle = mesh->IBuffer->GetData() + 3 * t;
    const Vec3 p = mesh->VBuffer->Position3(v), q = mesh->VBuffer->Position3(triangle[0]);
    const Vec3 normal = expected(t, p,
                                 (mesh->VBuffer->Position3(triangle[1]) - q)
                                     .UnitCross(mesh->VBuffer->Position3(triangle[2]) - q));
    EXPECT_EQ(std::make_pair(p, mesh->VBuffer->TCoord2(2, v)),
              before[static_cast<size_t>(corners[c])]);
    if (normal == Vec3::ZERO)
      EXPECT_NEAR(mesh->VBuffer->Normal3(v).Length(), 1.0f, 1e-6f);
    else
      EXPECT_LT((mesh->VBuffer->Normal3(v) - normal).Length(), 1e-5f);
  }
}

} // namespace

TEST(koMeshProcessingTest, WeldAndComponentsMatchQuadraticReferences) {
  std::mt19937 rng(7);
  for (int round = 0; round < 80; ++round) {
    const float tolerance = round % 2 == 0 ? 0.0f : 0.03f;
    const bool positionsOnly = round % 4 < 2;
    const Mesh mesh = randomMesh(rng, 80, 60);
    const Welded expected = weldReference(*mesh, tolerance, positionsOnly);
    EXPECT_EQ(koMeshProcessing::WeldSimilarVertices(mesh, tolerance, positionsOnly),
              static_cast<int>(expected.first.size()));
    Welded welded{{}, indices(*mesh)};
    for (int i = 0; i < mesh->VBuffer->GetVertexQuantity(); ++i)
      welded.first.push_back(channels(*mesh->VBuffer, i));
    EXPECT_EQ(welded, expected);

    // The welded mesh has components of all sizes. Each triangle takes the lowest triangle it
    // reaches; components are numbered at those.
    const int* triangles = mesh->IBuffer->GetData();
    const size_t noTriangles = static_cast<size_t>(mesh->GetTriangleQuantity());
    std::vector<size_t> lowest(noTriangles);
    std::iota(lowest.begin(), lowest.end(), size_t{0});
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t s = 0; s < noTriangles; ++s)
        for (size_t t = 0; t < noTriangles; ++t)
          if (lowest[s] < lowest[t] && shareEdge(triangles + 3 * s, triangles + 3 * t))
            lowest[t] = lowest[s], changed = true;
    }
    std::vector<unsigned int> expectedComponents(noTriangles), components;
    unsigned int noComponents = 0;
    for (size_t t = 0; t < noTriangles; ++t)
      expectedComponents[t] = lowest[t] == t ? noComponents++ : expectedComponents[lowest[t]];
    EXPECT_EQ(koMeshProcessing::ClusterizeConnectedComponents(mesh, components), noComponents);
    EXPECT_EQ(components, expectedComponents);
  }
}

TEST(koMeshProcessingTest, SmoothingSplitsCreasesOnly) {
  // A box of 8 vertices, plus a degenerate triangle, which must not add a vertex: one vertex per
  // corner and side.
  std::vector<Vec3> corners;
  for (int i = 0; i < 8; ++i)
    corners.emplace_back(static_cast<float>(i & 1), static_cast<float>(i >> 1 & 1),
                         static_cast<float>(i >> 2 & 1));
  const Mesh box = makeMesh(corners, {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4, 2, 6,
                                      7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5, 0, 0, 1},
                            false);
  smoothenAndCheck(box, 24, [](int, const Vec3&, const Vec3& face) { return face; });

  // A ridge whose end at the origin has one face on the left and two on the right, of the same
  // area in all: its normal is vertical when weighted by area, tilted when by count.
  const Mesh ridge = makeMesh({Vec3::ZERO, Vec3(0.0f, 2.0f, 0.0f), Vec3(-1.0f, 0.0f, -0.3f),
                               Vec3(0.5f, 0.0f, -0.15f), Vec3(0.5f, 2.0f, -0.15f)},
                              {0, 1, 2, 0, 3, 4, 0, 4, 1}, false);
  smoothenAndCheck(ridge, 5, [](int, const Vec3& p, const Vec3&) {
    return p == Vec3::ZERO ? Vec3::UNIT_Z : Vec3::ZERO;
  });

  // A fine cylinder: its side smooth, each cap a ring of its own. The side's quads alternate
  // their diagonals, so that both sides of a ring vertex weigh the same and its normal is radial.
  const int n = 48;
  std::vector<Vec3> points(2 * n);
  std::vector<int> triangles;
  for (int i = 0, j = 1; i < n; ++i, j = (i + 1) % n) {
    const float angle = 6.2831853f * static_cast<float>(i) / n;
    points[i] = Vec3(std::cos(angle), std::sin(angle), 0.0f);
    points[n + i] = points[i] + Vec3(0.0f, 0.0f, 1.0f);
    if (i % 2 == 0)
      triangles.insert(triangles.end(), {i, j, n + j, i, n + j, n + i});
    else
      triangles.insert(triangles.end(), {i, j, n + i, j, n + j, n + i});
    triangles.insert(triangles.end(), {2 * n, j, i, 2 * n + 1, n + i, n + j});
  }
  points.insert(points.end(), {Vec3(0.0f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f)}); // cap centres
  smoothenAndCheck(makeMesh(points, triangles, true), 4 * n + 2,
                   [](int t, const Vec3& p, const Vec3& face) {
                     return t % 4 < 2 ? Vec3(p[0], p[1], 0.0f) : face;
                   });
}
