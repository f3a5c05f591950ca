// The host's import on assemblies written in memory: which triangles survive, and which names the
// meshes and parts get.

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvaneUniqueNames.h"

#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <sstream>

namespace {

using tTriangle = std::array<std::array<int64_t, 3>, 3>;

tolvaneImport importObj(const std::string& text) {
  return importAssemblyFromMemory(text.data(), text.size(), "obj", "memory.obj");
}

// Random triangles on a small grid of points, a quarter of them with the third corner put on the
// line through the first two, so that flat ones (repeated or collinear corners) are common: the
// import keeps exactly those whose integer cross product is not zero.
TEST(TolvaneImport, KeepsExactlyTheTrianglesWithAnArea) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int64_t> coordinate(0, 2);
  constexpr size_t kNoTriangles = 400;
  std::ostringstream obj;
  std::multiset<tTriangle> expected;
  size_t noCollinear = 0;  // flat with three distinct corners, which no index comparison finds
  std::set<std::array<int64_t, 3>> points;
  for (size_t i = 0; i < kNoTriangles; ++i) {
    tTriangle t;
    for (auto& corner : t)
      for (int64_t& c : corner)
        c = coordinate(random);
    if (i % 4 == 0)
      for (int c = 0; c < 3; ++c)
        t[2][c] = 2 * t[1][c] - t[0][c];
    points.insert(t.begin(), t.end());
    for (const auto& corner : t)
      obj << "v " << corner[0] << " " << corner[1] << " " << corner[2] << "\n";
    obj << "f -3 -2 -1\n";
    const int64_t u[3] = {t[1][0] - t[0][0], t[1][1] - t[0][1], t[1][2] - t[0][2]};
    const int64_t v[3] = {t[2][0] - t[0][0], t[2][1] - t[0][1], t[2][2] - t[0][2]};
    if (u[1] * v[2] - u[2] * v[1] != 0 || u[2] * v[0] - u[0] * v[2] != 0 ||
        u[0] * v[1] - u[1] * v[0] != 0)
      expected.insert(t);
    else if (t[0] != t[1] && t[1] != t[2] && t[2] != t[0])
      ++noCollinear;
  }
  ASSERT_GT(noCollinear, 5u);
  ASSERT_GT(kNoTriangles - expected.size(), noCollinear + 5) << "repeated corners too";

  const tolvaneImport import = importObj(obj.str());
  ASSERT_EQ(import.instances.size(), 1u);
  const ko::koTriMesh& mesh = *import.instances[0].mesh;
  EXPECT_EQ(size_t(mesh.VBuffer->GetVertexQuantity()), points.size()) << "equal corners joined";
  std::multiset<tTriangle> kept;
  for (int f = 0; f < mesh.GetTriangleQuantity(); ++f) {
    int corners[3];
    mesh.GetTriangle(f, corners[0], corners[1], corners[2]);
    tTriangle t;
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        t[k][c] = static_cast<int64_t>(mesh.VBuffer->Position3(corners[k])[c]);
    kept.insert(t);
  }
  EXPECT_EQ(kept, expected);
  ASSERT_EQ(import.warnings.size(), 1u);
  EXPECT_NE(import.warnings[0].find(std::to_string(kNoTriangles - expected.size()) + " of " +
                                    std::to_string(kNoTriangles)),
            std::string::npos)
      << import.warnings[0];
}

// Equal names stay apart everywhere a name is made: names already carrying "#k", meshes of one
// name, and nodes of one name, which grouping by node must not merge.
TEST(TolvaneImport, GivesEqualNamesSuffixes) {
  tolvaneUniqueNames names;
  std::vector<std::string> claimed;
  for (const char* name : {"a", "a", "a#2", "a", "b"})
    claimed.push_back(names.claim(name));
  EXPECT_EQ(claimed, (std::vector<std::string>{"a", "a#2", "a#2#2", "a#3", "b"}));

  // One tetrahedron under three nodes, the first two named alike, the third like a suffixed name.
  const std::string gltf = R"({"asset": {"version": "2.0"}, "scene": 0,
    "scenes": [{"nodes": [0, 1, 2]}],
    "nodes": [{"name": "bolt", "mesh": 0}, {"name": "bolt", "mesh": 0, "translation": [0, 0, 1]},
              {"name": "bolt#2", "mesh": 0, "translation": [0, 0, 2]}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
    "buffers": [{"byteLength": 72, "uri": "data:application/octet-stream;base64,)"
    R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAACAAEAAAABAAMAAAADAAIAAQACAAMA"}],
    "bufferViews": [{"buffer": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 24}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3",
                   "min": [0, 0, 0], "max": [1, 1, 1]},
                  {"bufferView": 1, "componentType": 5123, "count": 12, "type": "SCALAR"}]})";
  const tolvaneImport import =
      importAssemblyFromMemory(gltf.data(), gltf.size(), "gltf", "memory.gltf");
  const tolvaneParts parts = groupParts(import, tolvaneGroupBy::Node);
  EXPECT_EQ(parts.partNames, (std::vector<std::string>{"bolt", "bolt#2", "bolt#2#2"}));
  EXPECT_EQ(parts.partOfMesh, (std::vector<unsigned int>{0, 1, 2}));
  EXPECT_EQ(import.instances[1].meshName, "bolt#2");
  EXPECT_EQ(import.instances[2].meshName, "bolt#2#2");
}

} // namespace
