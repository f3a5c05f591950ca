#include "contacts/koContactPatches.h"
#include "contacts/koLatticeSampling.h"
#include "contacts/koPatchSampling.h"
#include "contacts/koPatchUnfolding.h"
#include "koContactFaces.h"
#include "koContactPoints.h"
#include "koMeshAndBVH.h"
#include "koTessellatedShapes.h"

#include <ko/koMeshProcessing.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <vector>

namespace {

using Vector2 = Wm4::Vector2<float>;
using Vector3 = Wm4::Vector3<float>;
using Buffer = ko::koPointer<ko::koVertexBuffer>;
using Mesh = ko::koPointer<ko::koTriMesh>;

// A mesh with normals along +z and an empty texture channel 0 of 2 components, as patches have.
ko::koTriMesh* patchMesh(const std::vector<Vector3>& positions, const std::vector<int>& indices) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(3);
  attributes.SetTCoordChannels(0, 2);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(positions.size()));
  for (int v = 0; v < vertices->GetVertexQuantity(); ++v) {
    vertices->Position3(v) = positions[v];
    vertices->Normal3(v) = Vector3(0.0f, 0.0f, 1.0f);
  }
  auto* triangles = new ko::koIndexBuffer(static_cast<int>(indices.size()), 1);
  std::copy(indices.begin(), indices.end(), triangles->GetData());
  return new ko::koTriMesh(vertices, triangles);
}

// The mesh turned by the angle about the vertical line through centre.
ko::koTriMesh* turnedAboutZ(ko::koTriMesh* mesh, float angle, const Vector3& centre) {
  Wm4::Matrix3<float> turn;
  turn.MakeRotation(Vector3(0, 0, 1), angle);
  for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v) {
    mesh->VBuffer->Position3(v) = turn * (mesh->VBuffer->Position3(v) - centre) + centre;
    mesh->VBuffer->Normal3(v) = turn * mesh->VBuffer->Normal3(v);
  }
  return mesh;
}

// Welded, with normals split at creases, as the contact analysis receives meshes.
ko::koTriMesh* prepared(ko::koTriMesh* mesh) {
  koMeshProcessing::WeldSimilarVertices(mesh, 0.0f, true);
  koMeshProcessing::SmoothenNormals(mesh, 0.5f);
  return mesh;
}

// The triangles of a box face: face normal along normal, on the plane normal . x = offset.
std::vector<unsigned int> boxFace(const koMeshAndBVH& part, const Vector3& normal, float offset) {
  std::vector<unsigned int> faces;
  for (int t = 0; t < part.mesh->GetTriangleQuantity(); ++t) {
    int v[3];
    part.mesh->GetTriangle(t, v[0], v[1], v[2]);
    if (part.faceNormals[t].Dot(normal) > 0.99f &&
        std::fabs(part.mesh->VBuffer->Position3(v[0]).Dot(normal) - offset) < 1e-5f)
      faces.push_back(static_cast<unsigned int>(t));
  }
  return faces;
}

bool sameBuffers(const ko::koVertexBuffer& a, const ko::koVertexBuffer& b) {
  bool same = a.GetVertexQuantity() == b.GetVertexQuantity();
  for (int i = 0; same && i < a.GetVertexQuantity(); ++i)
    same = a.Position3(i) == b.Position3(i) && a.Normal3(i) == b.Normal3(i) &&
           a.TCoord3(0, i) == b.TCoord3(0, i) && a.PSize1(i) == b.PSize1(i);
  return same;
}

// Every pair: sample and point met within distance of each other (the point met along the
// sample's normal), both with normals and face normals facing each other, equal weights.
void expectFacingPairs(const ko::koVertexBuffer& pairs, float distance) {
  ASSERT_EQ(pairs.GetVertexQuantity() % 2, 0);
  for (int i = 0; i < pairs.GetVertexQuantity(); i += 2) {
    EXPECT_NEAR((pairs.Position3(i + 1) - pairs.Position3(i)).Length(), distance, 1e-4f);
    EXPECT_LT(pairs.Normal3(i).Dot(pairs.Normal3(i + 1)), -0.9659f);
    EXPECT_LT(pairs.TCoord3(0, i).Dot(pairs.TCoord3(0, i + 1)), -0.9659f);
    EXPECT_EQ(pairs.PSize1(i), pairs.PSize1(i + 1));
  }
}

} // namespace

// Strips and bands of random width and fold, triangles in random order: unfolding keeps every
// triangle's corners and edge lengths (up to one scale for the whole patch) and lays it
// counter-clockwise.
TEST(koContactPoints, UnfoldingKeepsEdgeLengthsOfFoldedStrips) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 20; ++round) {
    // Odd rounds close the strip into a band, so that the walk meets itself.
    const int columns = round + 3, closingColumn = round % 2 ? columns : columns - 1;
    std::vector<Vector3> positions;
    std::vector<std::array<int, 3>> triangles;
    for (int i = 0; i < columns; ++i) {
      positions.emplace_back(float(i) + 0.3f * unit(random), 0.0f, unit(random));
      positions.emplace_back(float(i) + 0.3f * unit(random), 0.5f + unit(random), unit(random));
    }
    for (int i = 1; i <= closingColumn; ++i) {
      const int b0 = 2 * (i - 1), b1 = 2 * (i % columns);
      triangles.insert(triangles.end(), {{b0, b1, b0 + 1}, {b0 + 1, b1, b1 + 1}});
    }
    std::shuffle(triangles.begin(), triangles.end(), random);
    std::vector<int> shuffled;
    for (const std::array<int, 3>& triangle : triangles)
      shuffled.insert(shuffled.end(), triangle.begin(), triangle.end());
    const Mesh patch = patchMesh(positions, shuffled);
    const Mesh flat = koPatchUnfolding::unfoldPatch(*patch);
    const ko::koVertexBuffer& vertices = *flat->VBuffer;
    ASSERT_EQ(flat->GetTriangleQuantity(), patch->GetTriangleQuantity());
    EXPECT_EQ(vertices.GetVertexQuantity(), patch->GetTriangleQuantity() + 2);

    float scale = 0.0f, extent = 0.0f;
    for (int t = 0; t < flat->GetTriangleQuantity(); ++t) {
      int v[3], p[3];
      flat->GetTriangle(t, v[0], v[1], v[2]);
      patch->GetTriangle(t, p[0], p[1], p[2]);
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(vertices.Position3(v[k]), patch->VBuffer->Position3(p[k]));
        const Vector2& uv = vertices.TCoord2(0, v[k]);
        EXPECT_TRUE(uv.X() >= 0.0f && uv.X() <= 1.0f && uv.Y() >= 0.0f && uv.Y() <= 1.0f);
        extent = std::max({extent, uv.X(), uv.Y()});
        const float ratio =
            (vertices.TCoord2(0, v[(k + 1) % 3]) - uv).Length() /
            (vertices.Position3(v[(k + 1) % 3]) - vertices.Position3(v[k])).Length();
        scale = scale > 0.0f ? scale : ratio;
        EXPECT_NEAR(ratio, scale, 1e-3f * scale);
      }
      const Vector2& a = vertices.TCoord2(0, v[0]);
      EXPECT_GT((vertices.TCoord2(0, v[1]) - a).DotPerp(vertices.TCoord2(0, v[2]) - a), 0.0f);
    }
    EXPECT_NEAR(extent, 1.0f, 1e-6f);
  }
}

// Random triangles of either orientation, thin ones among them: exactly the points asked for,
// distinct, strictly inside; none for degenerate triangles.
TEST(koContactPoints, LatticeSamplesAreDistinctAndStrictlyInside) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  koLatticeSampler sampler;
  std::vector<Wm4::Vector3<double>> weights;
  for (int round = 0; round < 200; ++round) {
    Vector2 corners[3];
    for (Vector2& corner : corners)
      corner = Vector2(unit(random), unit(random));
    if (round % 4 == 0)
      corners[2] = (corners[0] + corners[1]) * 0.5f + Vector2(1e-4f, 0.0f);
    const int count = 1 + static_cast<int>(random() % 3000);
    ASSERT_EQ(sampler.sample(corners, count, weights), count);
    ASSERT_EQ(weights.size(), size_t(count));
    for (const Wm4::Vector3<double>& w : weights) {
      EXPECT_TRUE(w.X() > 0.0 && w.Y() > 0.0 && w.Z() > 0.0);
      EXPECT_NEAR(w.X() + w.Y() + w.Z(), 1.0, 1e-9);
    }
    std::sort(weights.begin(), weights.end());
    EXPECT_EQ(std::adjacent_find(weights.begin(), weights.end()), weights.end());
  }
  const Vector2 collinear[3] = {Vector2(0, 0), Vector2(1, 1), Vector2(2, 2)};
  EXPECT_EQ(sampler.sample(collinear, 10, weights), 0);
}

// Many separate single triangles share the budget too thinly: each still gets 5 samples, all
// on its 3D triangle, face normals turned to the vertex normals whatever the winding. A single
// patch of two triangles shares out the budget of 10000, the weights summing to its area.
TEST(koContactPoints, SamplingSharesTheBudgetWithFiveSamplesAtLeast) {
  std::vector<Vector3> positions;
  std::vector<int> indices;
  for (int t = 0; t < 2500; ++t) {
    positions.insert(positions.end(), {Vector3(float(t), 0, 0), Vector3(float(t) + 1, 0, 0),
                                       Vector3(float(t), 1, 0)});
    indices.insert(indices.end(), {3 * t, 3 * t + (t % 2 ? 2 : 1), 3 * t + (t % 2 ? 1 : 2)});
  }
  const Mesh separate = patchMesh(positions, indices);
  const Mesh quad = patchMesh(
      {Vector3(0, 0, 0), Vector3(3, 0, 0), Vector3(0, 2, 0), Vector3(3, 2, 0)}, {0, 1, 3, 0, 2, 3});
  koPatchSampling::Sampler sampler;
  koPatchSampling::SideSamples samples;
  for (const Mesh& mesh : {separate, quad}) {
    std::vector<unsigned int> faces(mesh->GetTriangleQuantity());
    std::iota(faces.begin(), faces.end(), 0u);
    std::vector<Mesh> patches;
    koContactPatches::extractPatches(*mesh, faces, patches);
    for (Mesh& patch : patches)
      patch = koPatchUnfolding::unfoldPatch(*patch);
    koPatchSampling::sampleSide(patches, sampler, samples);
    double weights = 0.0;
    for (const koPatchSampling::Sample& sample : samples.points) {
      EXPECT_EQ(sample.point.position.Z(), 0.0f);
      EXPECT_EQ(sample.point.normal, Vector3(0, 0, 1));
      EXPECT_EQ(sample.point.faceNormal, Vector3(0, 0, 1));
      weights += sample.weight;
    }
    if (mesh == separate) {
      EXPECT_EQ(samples.perPatch, std::vector<int>(2500, 5));
      EXPECT_EQ(samples.points.size(), 2500u * 5);
      EXPECT_NEAR(weights, 2500.0, 1e-3); // right triangles of unit legs once normalised
    } else {
      ASSERT_EQ(samples.perPatch.size(), 1u);
      EXPECT_EQ(samples.perPatch[0], static_cast<int>(samples.points.size()));
      EXPECT_GE(samples.points.size(), 9998u);
      EXPECT_LE(samples.points.size(), 10000u);
      EXPECT_NEAR(weights, 4.0 / 3.0, 1e-5); // the 3 x 2 quad scaled by 1/3
    }
  }
}

// Boxes of 8 x 8 squares per face. Face to face: every sample pairs with itself on the common
// plane, the same buffers on a second run. Across a gap: pairs at the gap's distance while the
// tolerance reaches it, none beyond it or when the faces met are no contact faces.
TEST(koContactPoints, BoxesFaceToFaceAndAcrossAGap) {
  // The common plane z = 1.7 is not a float: positions on it differ by rounding.
  const float top = 1.7f;
  const Mesh lower =
      prepared(makeTessellatedBox("lower", Vector3(0, 0, top - 1), Vector3(1, 1, top), 8));
  const koMeshAndBVH a(lower);
  for (float gap : {0.0f, 0.01f}) {
    const Mesh upper =
        prepared(makeTessellatedBox("upper", Vector3(0, 0, top + gap), Vector3(1, 1, 2 + gap), 8));
    const koMeshAndBVH b(upper);
    const std::vector<unsigned int> facesA = boxFace(a, Vector3(0, 0, 1), top);
    const std::vector<unsigned int> facesB = boxFace(b, Vector3(0, 0, -1), -(top + gap));
    ASSERT_EQ(facesA.size(), 128u);
    ASSERT_EQ(facesB.size(), 128u);
    koContactPoints contact(a, b, 0.02f);
    Buffer pointsA, pointsB, againA, againB;
    contact.getContactPoints(facesA, facesB, pointsA, pointsB);
    ASSERT_TRUE(pointsA != nullptr && pointsB != nullptr);
    expectFacingPairs(*pointsA, gap);
    expectFacingPairs(*pointsB, gap);
    for (int i = 0; i < pointsA->GetVertexQuantity(); i += 2)
      EXPECT_NEAR(pointsA->Position3(i).Z(), top, 1e-6f);
    if (gap == 0.0f) {
      // Flush faces: the distances differ by rounding only, and no sample is taken for a stray.
      EXPECT_GE(pointsA->GetVertexQuantity(), 2 * (10000 - 128));
      // Again, writing both point sets as markers under the working directory.
      const std::filesystem::path home = std::filesystem::current_path();
      const std::filesystem::path scratch =
          std::filesystem::temp_directory_path() / ("koSamples-" + std::to_string(getpid()));
      std::filesystem::create_directories(scratch / "d:" / "assembly_tmp");
      std::filesystem::current_path(scratch);
      contact.debugOutput = true;
      contact.getContactPoints(facesA, facesB, againA, againB);
      contact.debugOutput = false;
      std::filesystem::current_path(home);
      EXPECT_TRUE(sameBuffers(*pointsA, *againA) && sameBuffers(*pointsB, *againB));
      std::ifstream file(scratch / "d:" / "assembly_tmp" / "test_samples_lower_upper.obj");
      std::string line;
      int objects = 0, faces = 0;
      while (std::getline(file, line)) {
        objects += line.rfind("o ", 0) == 0;
        faces += line.rfind("f ", 0) == 0;
      }
      EXPECT_EQ(objects, 2);
      EXPECT_EQ(faces, pointsA->GetVertexQuantity() + pointsB->GetVertexQuantity());
      std::filesystem::remove_all(scratch);
      continue;
    }
    contact.tolerance = 0.005f;
    contact.getContactPoints(facesA, facesB, againA, againB);
    EXPECT_TRUE(againA == nullptr && againB == nullptr);
    contact.tolerance = 0.02f;
    contact.getContactPoints(facesA, boxFace(b, Vector3(0, 0, 1), 2.0f + gap), againA, againB);
    EXPECT_TRUE(againA == nullptr && againB == nullptr);
    // A face within reach that is turned the same way is no contact either.
    const Mesh sunk =
        prepared(makeTessellatedBox("sunk", Vector3(0, 0, top + gap - 1), Vector3(1, 1, top + gap), 8));
    const koMeshAndBVH c(sunk);
    koContactPoints(a, c, 0.02f)
        .getContactPoints(facesA, boxFace(c, Vector3(0, 0, 1), top + gap), againA, againB);
    EXPECT_TRUE(againA == nullptr && againB == nullptr);
  }
}

// Contact faces from the contact search. A box half over another: only samples over the common
// part pair. A peg through a tube that fits it: pairs on the tube's inner side only.
TEST(koContactPoints, PartialContactsPairOnlyWhereBothSidesMeet) {
  struct Case {
    Mesh first, second;
    Vector3 low, high; // the box holding every contact point
  };
  const Case cases[] = {
      {prepared(makeTessellatedBox("base", Vector3(0, 0, 0), Vector3(1, 1, 1), 8)),
       prepared(makeTessellatedBox("offset", Vector3(0.5f, 0, 1), Vector3(1.5f, 1, 2), 8)),
       Vector3(0.5f, 0, 1), Vector3(1, 1, 1)},
      {prepared(makeTessellatedBox("plate", Vector3(0, 0, 0), Vector3(2, 2, 1), 8)),
       prepared(turnedAboutZ(makeTessellatedBox("turned", Vector3(0.5f, 0.5f, 1),
                                                Vector3(1.5f, 1.5f, 2), 8),
                             0.5f, Vector3(1, 1, 1))),
       Vector3(0.29f, 0.29f, 1), Vector3(1.71f, 1.71f, 1)},
      {prepared(makeCylinder("peg", Vector3(0, 0, -0.5f), 0.5f, 2, 32, 8)),
       prepared(makeTube("tube", Vector3(0, 0, 0), 0.5f, 1, 1, 32, 4)), Vector3(-0.5f, -0.5f, 0),
       Vector3(0.5f, 0.5f, 1)}};
  for (const Case& test : cases) {
    const koMeshAndBVH a(test.first), b(test.second);
    std::vector<unsigned int> facesA, facesB;
    koContactFaces(&a, &b, 1e-3f).getContactFacesList(facesA, facesB);
    Buffer pointsA, pointsB;
    koContactPoints(a, b, 1e-3f).getContactPoints(facesA, facesB, pointsA, pointsB);
    ASSERT_TRUE(pointsA != nullptr && pointsB != nullptr);
    for (const Buffer& points : {pointsA, pointsB}) {
      expectFacingPairs(*points, 0.0f);
      for (int i = 0; i < points->GetVertexQuantity(); ++i)
        for (int axis = 0; axis < 3; ++axis) {
          EXPECT_GE(points->Position3(i)[axis], test.low[axis] - 1e-4f);
          EXPECT_LE(points->Position3(i)[axis], test.high[axis] + 1e-4f);
        }
    }
  }
}
