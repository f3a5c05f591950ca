#include <ko/koDataToGeometry.h>
#include <ko/koMeshManager.h>
#include <ko/koNode.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using Vec3 = Wm4::Vector3<float>;
using Lines = std::vector<std::string>;

// A mesh of the given points and triangles, with the same normal at every point if one is given.
ko::koTriMesh* makeMesh(const std::vector<Vec3>& points, const std::vector<int>& indices,
                        const Vec3* normal) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  attributes.SetNormalChannels(normal != nullptr ? 3 : 0);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(points.size()));
  for (int i = 0; i < vertices->GetVertexQuantity(); ++i) {
    vertices->Position3(i) = points[i];
    if (normal != nullptr)
      vertices->Normal3(i) = *normal;
  }
  auto* triangles = new ko::koIndexBuffer(static_cast<int>(indices.size()), 1);
  std::copy(indices.begin(), indices.end(), triangles->GetData());
  return new ko::koTriMesh(vertices, triangles);
}

// The file's statements by tag, each the rest of its line.
std::map<std::string, Lines> readObj(const std::string& path) {
  std::map<std::string, Lines> byTag;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    byTag[line.substr(0, line.find(' '))].push_back(line.substr(line.find(' ') + 1));
  return byTag;
}

void expectPoint(const std::string& text, const Vec3& expected) {
  Vec3 v(NAN, NAN, NAN);
  std::istringstream(text) >> v[0] >> v[1] >> v[2];
  EXPECT_LT((v - expected).Length(), 1e-5f) << text;
}

} // namespace

TEST(koMeshManagerTest, WritesEveryMeshInWorldCoordinatesWithRunningIndices) {
  // Root shifted by +10 x; a triangle turned a quarter about z with scale (2, 1, 1) and lifted
  // by 1; a square scaled by 3, in a child node, without normals and with a stray last index.
  ko::koPointer<ko::koNode> root = new ko::koNode;
  root->Local.SetTranslate(Vec3(10, 0, 0));
  const Vec3 slanted = Vec3(1, 1, 0) / std::sqrt(2.0f);
  ko::koTriMesh* triangle = makeMesh({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 1, 2}, &slanted);
  triangle->SetName("the triangle");
  triangle->Local.SetRotate(Wm4::Matrix3<float>(0, -1, 0, 1, 0, 0, 0, 0, 1));
  triangle->Local.SetScale(Vec3(2, 1, 1));
  triangle->Local.SetTranslate(Vec3(0, 0, 1));
  ko::koTriMesh* square =
      makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3, 3}, nullptr);
  square->Local.SetUniformScale(3);
  auto* group = new ko::koNode;
  root->attachChild(triangle);
  root->attachChild(group);
  group->attachChild(square);
  root->UpdateGS();
  int v[3]; // whole triangles only
  EXPECT_TRUE(square->GetTriangleQuantity() == 2 && !square->GetTriangle(2, v[0], v[1], v[2]));

  const std::string path = testing::TempDir() + "koMeshManagerTest.obj";
  ASSERT_TRUE(ko::koMeshManager::saveMesh(path, root, nullptr, {}));
  std::map<std::string, Lines> obj = readObj(path);
  EXPECT_EQ(obj["o"], (Lines{"the triangle", "mesh1"}));
  EXPECT_EQ(obj["f"], (Lines{"1//1 2//2 3//3", "4 5 6", "4 6 7"}));
  ASSERT_TRUE(obj["v"].size() == 7u && obj["vn"].size() == 3u);
  expectPoint(obj["v"][0], Vec3(10, 2, 1)); // (1,0,0): scaled (2,0,0), turned (0,2,0), moved
  expectPoint(obj["v"][5], Vec3(13, 3, 0));
  // Normals take the inverse scale: (1,1,0) -> (1/2,1,0), normalised, then turned.
  expectPoint(obj["vn"][0], Vec3(-2, 1, 0) / std::sqrt(5.0f));

  ASSERT_TRUE(ko::koMeshManager::saveMesh(path, square, nullptr, {})); // numbered from 1 again
  EXPECT_EQ(readObj(path)["f"], (Lines{"1 2 3", "1 3 4"}));
  std::remove(path.c_str());

  // Neither a file that cannot be opened nor one that cannot take the data is a success.
  EXPECT_FALSE(ko::koMeshManager::saveMesh(testing::TempDir() + "no/dir/x.obj", root, nullptr, {}));
  EXPECT_FALSE(std::ifstream("/dev/full").good() &&
               ko::koMeshManager::saveMesh("/dev/full", root, nullptr, {}));
  // Normals are numbered on their own: a mesh without them does not shift the next one's.
  ko::koPointer<ko::koNode> reversed = new ko::koNode;
  reversed->attachChild(group);
  reversed->attachChild(triangle);
  ASSERT_TRUE(ko::koMeshManager::saveMesh(path, reversed, nullptr, {}));
  EXPECT_EQ(readObj(path)["f"], (Lines{"1 2 3", "1 3 4", "5//1 6//2 7//3"}));
  std::remove(path.c_str());
}

TEST(koMeshManagerTest, VertexBuffersBecomeMarkersOrPointSets) {
  using koDataToGeometry::VertexBufferToGeometry;
  const Vec3 tilted = Vec3(0, 1, 1) / std::sqrt(2.0f);
  ko::koPointer<ko::koTriMesh> source = makeMesh({{0, 0, 0}, {4, 0, 3}}, {}, &tilted);
  ko::koPointer<ko::koTriMesh> points = VertexBufferToGeometry(source->VBuffer, false);
  EXPECT_TRUE(points->VBuffer == source->VBuffer && points->GetTriangleQuantity() == 0);
  EXPECT_EQ(VertexBufferToGeometry(nullptr, true), nullptr);
  ko::koPointer<ko::koTriMesh> markers = VertexBufferToGeometry(source->VBuffer, true);
  ASSERT_EQ(markers->GetTriangleQuantity(), 2);
  for (int t = 0; t < 2; ++t) {
    // Centred on its point, small against the spread of the points (5), facing along the normal.
    int v[3];
    markers->GetTriangle(t, v[0], v[1], v[2]);
    const Vec3 &a = markers->VBuffer->Position3(v[0]), &b = markers->VBuffer->Position3(v[1]);
    const Vec3 &c = markers->VBuffer->Position3(v[2]), &point = source->VBuffer->Position3(t);
    EXPECT_LT(((a + b + c) / 3.0f - point).Length(), 1e-5f);
    EXPECT_NEAR((a - point).Length(), 5.0f / 200.0f, 1e-5f);
    EXPECT_GT((b - a).Cross(c - a).Dot(tilted), 0.9999f * (b - a).Cross(c - a).Length());
  }
}
