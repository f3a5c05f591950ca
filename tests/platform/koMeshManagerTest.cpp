#include <ko/koDataToGeometry.h>
#include <ko/koMeshManager.h>
#include <ko/koNode.h>
#include <ko/koProgressNotifierInterface.h>
#include <ko/koTriMesh.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using Vec3 = Wm4::Vector3<float>;

struct StepCounter : ko::koProgressNotifierInterface {
  void openRange(double noSteps) override { range += noSteps; }
  void advance(double noSteps) override { done += noSteps; }
  double range = 0.0, done = 0.0;
};

ko::koTriMesh* makeMesh(const std::vector<Vec3>& points, const std::vector<int>& indices,
                        const Vec3* normal) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  if (normal != nullptr)
    attributes.SetNormalChannels(3);
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

// The file's statements, each split into its tag and the rest of its line.
std::vector<std::pair<std::string, std::string>> readObj(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.find(' ');
    lines.emplace_back(line.substr(0, space), line.substr(space + 1));
  }
  return lines;
}

void expectPoint(const std::string& text, const Vec3& expected) {
  std::istringstream in(text);
  Vec3 v;
  in >> v[0] >> v[1] >> v[2];
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(v[k], expected[k], 1e-5f) << text;
}

} // namespace

TEST(koMeshManagerTest, WritesEveryMeshInWorldCoordinatesWithRunningIndices) {
  // Root shifted by +10 x; a triangle turned a quarter about z with scale (2, 1, 1) and lifted
  // by 1; in a child node, a square scaled by 3, without normals.
  ko::koPointer<ko::koNode> root = new ko::koNode;
  root->Local.SetTranslate(Vec3(10, 0, 0));
  const Vec3 slanted = Vec3(1, 1, 0) / std::sqrt(2.0f);
  ko::koTriMesh* triangle = makeMesh({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 1, 2}, &slanted);
  triangle->SetName("the triangle");
  triangle->Local.SetRotate(Wm4::Matrix3<float>(0, -1, 0, 1, 0, 0, 0, 0, 1));
  triangle->Local.SetScale(Vec3(2, 1, 1));
  triangle->Local.SetTranslate(Vec3(0, 0, 1));
  ko::koTriMesh* square =
      makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3}, nullptr);
  square->Local.SetUniformScale(3);
  auto* group = new ko::koNode;
  root->attachChild(triangle);
  root->attachChild(group);
  group->attachChild(square);
  root->UpdateGS();

  const std::string path = testing::TempDir() + "koMeshManagerTest.obj";
  StepCounter progress;
  ASSERT_TRUE(ko::koMeshManager::saveMesh(path, root, &progress, {}));
  EXPECT_EQ(progress.range, 2.0);
  EXPECT_EQ(progress.done, 2.0);

  std::map<std::string, std::vector<std::string>> byTag;
  for (const auto& [tag, rest] : readObj(path))
    byTag[tag].push_back(rest);
  EXPECT_EQ(byTag["o"], (std::vector<std::string>{"the triangle", "mesh1"}));
  ASSERT_EQ(byTag["v"].size(), 7u);
  ASSERT_EQ(byTag["vn"].size(), 3u);
  EXPECT_EQ(byTag["f"], (std::vector<std::string>{"1//1 2//2 3//3", "4 5 6", "4 6 7"}));
  // (1,0,0) -> scaled (2,0,0) -> turned (0,2,0) -> lifted and shifted (10,2,1).
  expectPoint(byTag["v"][0], Vec3(10, 2, 1));
  expectPoint(byTag["v"][5], Vec3(13, 3, 0));
  // Normals take the inverse scale: (1,1,0) -> (1/2,1,0), normalised, then turned.
  expectPoint(byTag["vn"][0], Vec3(-2, 1, 0) / std::sqrt(5.0f));

  // A mesh on its own is one object numbered from 1.
  ASSERT_TRUE(ko::koMeshManager::saveMesh(path, square, nullptr, {}));
  const auto alone = readObj(path);
  EXPECT_EQ(alone.size(), 7u);
  EXPECT_EQ(alone.back(), std::make_pair(std::string("f"), std::string("1 3 4")));
  std::remove(path.c_str());

  // Neither a file that cannot be opened nor one that cannot take the data is a success.
  EXPECT_FALSE(ko::koMeshManager::saveMesh(testing::TempDir() + "no/such/dir/x.obj", root,
                                           nullptr, {}));
  if (std::ifstream("/dev/full").good()) {
    EXPECT_FALSE(ko::koMeshManager::saveMesh("/dev/full", root, nullptr, {}));
  }
}

TEST(koMeshManagerTest, VertexBuffersBecomeMarkersOrPointSets) {
  const Vec3 tilted = Vec3(0, 1, 1) / std::sqrt(2.0f);
  ko::koPointer<ko::koTriMesh> source = makeMesh({{0, 0, 0}, {4, 0, 3}}, {}, &tilted);
  ko::koPointer<ko::koTriMesh> markers =
      koDataToGeometry::VertexBufferToGeometry(source->VBuffer, true);
  ASSERT_EQ(markers->GetTriangleQuantity(), 2);
  for (int t = 0; t < 2; ++t) {
    int v[3];
    markers->GetTriangle(t, v[0], v[1], v[2]);
    const Vec3 &a = markers->VBuffer->Position3(v[0]), &b = markers->VBuffer->Position3(v[1]);
    const Vec3& c = markers->VBuffer->Position3(v[2]);
    // Centred on its point, small against the spread of the points (5), facing along the normal.
    const Vec3& point = source->VBuffer->Position3(t);
    EXPECT_LT(((a + b + c) / 3.0f - point).Length(), 1e-5f);
    EXPECT_NEAR((a - point).Length(), 5.0f / 200.0f, 1e-5f);
    EXPECT_GT((b - a).Cross(c - a).Dot(tilted), 0.9999f * (b - a).Cross(c - a).Length());
  }
  ko::koPointer<ko::koTriMesh> points =
      koDataToGeometry::VertexBufferToGeometry(source->VBuffer, false);
  EXPECT_EQ(points->VBuffer.Get(), source->VBuffer.Get());
  EXPECT_EQ(points->GetTriangleQuantity(), 0);
  EXPECT_EQ(koDataToGeometry::VertexBufferToGeometry(nullptr, true), nullptr);
}
