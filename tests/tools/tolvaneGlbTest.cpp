// The GLB writer: small meshes and tracks written, read back with tinygltf, compared with what
// went in.

#include "tolvaneGltfRead.h"

#include "tolvaneGlb.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

using tVec3 = std::array<float, 3>;

ko::koTriMesh* makeMesh(const std::vector<tVec3>& positions, const std::vector<tVec3>& normals,
                        const std::vector<int>& indices) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  if (!normals.empty())
    attributes.SetNormalChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, static_cast<int>(positions.size()));
  for (size_t v = 0; v < positions.size(); ++v) {
    vertices->Position3(int(v)) = Wm4::Vector3<float>(positions[v][0], positions[v][1],
                                                      positions[v][2]);
    if (!normals.empty())
      vertices->Normal3(int(v)) = Wm4::Vector3<float>(normals[v][0], normals[v][1], normals[v][2]);
  }
  auto* triangles = new ko::koIndexBuffer(int(indices.size()), ko::koIndexBuffer::TriangleList);
  std::copy(indices.begin(), indices.end(), triangles->GetData());
  return new ko::koTriMesh(vertices, triangles);
}

void addInstance(tolvaneImport& import, tolvaneParts& parts, ko::koTriMesh* mesh,
                 unsigned int part) {
  import.scene->attachChild(mesh);
  import.instances.push_back(
      {mesh, "mesh" + std::to_string(import.instances.size()), "", "", "", ""});
  parts.partOfMesh.push_back(part);
}

// The corners of each triangle, in order, as the mesh holds them.
std::vector<float> trianglePositions(const ko::koTriMesh& mesh) {
  std::vector<float> corners;
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int v[3];
    mesh.GetTriangle(t, v[0], v[1], v[2]);
    for (int k : v)
      for (int c = 0; c < 3; ++c)
        corners.push_back(mesh.VBuffer->Position3(k)[c]);
  }
  return corners;
}

class TolvaneGlb : public ::testing::Test {
protected:
  void SetUp() override {
    path = (fs::temp_directory_path() / ("tolvane-glb-" + std::to_string(getpid()) + ".glb"))
               .string();
    // A tetrahedron without normals (written flat), a quad with its normals, a triangle whose
    // one zero normal makes the writer fall back to flat, and a far tetrahedron that never moves.
    const std::vector<tVec3> tetra{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const std::vector<int> tetraFaces{0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
    addInstance(import, parts, makeMesh(tetra, {}, tetraFaces), 0);
    addInstance(import, parts,
                makeMesh({{2, 0, 0}, {3, 0, 0}, {3, 1, 0}, {2, 1, 0}},
                         {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {0, 1, 2, 0, 2, 3}),
                0);
    addInstance(import, parts,
                makeMesh({{0, 0, 2}, {1, 0, 2}, {0, 1, 2.5f}}, {{0, 0, 1}, {0, 0, 0}, {0, 0, 1}},
                         {0, 1, 2}),
                1);
    std::vector<tVec3> far = tetra;
    for (tVec3& p : far)
      p[0] += 10.0f;
    addInstance(import, parts, makeMesh(far, {}, tetraFaces), 2);
    parts.partNames = {"body", "cover", "stand"};
    tracks.resize(3);
    tracks[0] = {{0.0f, 0.5f, 1.5f}, {{0, 0, 0}, {0, 0, 1}, {0, 0, 4}}};
    // A repeated time: the later key replaces the earlier one.
    tracks[1] = {{0.0f, 1.0f, 1.0f, 2.0f}, {{0, 0, 0}, {9, 9, 9}, {1, 0, 0}, {3, -2, 0.5f}}};
  }
  void TearDown() override { fs::remove(path); }

  tolvaneImport import;
  tolvaneParts parts;
  std::vector<tolvanePlan::tTrack> tracks;
  std::string path;
};

TEST_F(TolvaneGlb, MeshesAndTracksComeBackAsWritten) {
  ASSERT_TRUE(writeAnimatedGlb(import, parts, tracks, path));
  tinygltf::Model model;
  ASSERT_EQ(tolvaneGltfRead::load(path, model), "");

  ASSERT_EQ(model.nodes.size(), 3u);
  ASSERT_EQ(model.scenes.size(), 1u);
  EXPECT_EQ(model.scenes[0].nodes, (std::vector<int>{0, 1, 2}));
  size_t instance = 0;
  for (size_t p = 0; p < model.nodes.size(); ++p) {
    const tinygltf::Node& node = model.nodes[p];
    EXPECT_EQ(node.name, parts.partNames[p]);
    EXPECT_TRUE(node.translation.empty() && node.matrix.empty());
    for (const tinygltf::Primitive& primitive : model.meshes.at(node.mesh).primitives) {
      const ko::koTriMesh& source = *import.instances.at(instance).mesh;
      EXPECT_EQ(parts.partOfMesh[instance++], p);
      const int position = primitive.attributes.at("POSITION");
      const std::vector<float> xyz = tolvaneGltfRead::values<float>(model, position);
      const std::vector<float> normals =
          tolvaneGltfRead::values<float>(model, primitive.attributes.at("NORMAL"));
      const std::vector<uint32_t> indices =
          tolvaneGltfRead::values<uint32_t>(model, primitive.indices);
      std::vector<float> corners;
      for (uint32_t i : indices)
        corners.insert(corners.end(), xyz.begin() + 3 * i, xyz.begin() + 3 * i + 3);
      EXPECT_EQ(corners, trianglePositions(source));
      // Bounds over the vertices; unit normals facing the way the triangles wind.
      const tinygltf::Accessor& accessor = model.accessors[position];
      for (int c = 0; c < 3; ++c) {
        float low = xyz[c], high = xyz[c];
        for (size_t k = c; k < xyz.size(); k += 3)
          low = std::min(low, xyz[k]), high = std::max(high, xyz[k]);
        EXPECT_EQ(accessor.minValues.at(c), low);
        EXPECT_EQ(accessor.maxValues.at(c), high);
      }
      for (size_t t = 0; t < indices.size(); t += 3) {
        const float* a = &xyz[3 * indices[t]];
        const float* b = &xyz[3 * indices[t + 1]];
        const float* c = &xyz[3 * indices[t + 2]];
        const tVec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const tVec3 face{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        for (int k = 0; k < 3; ++k) {
          const float* n = &normals[3 * indices[t + k]];
          EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
          EXPECT_GT(n[0] * face[0] + n[1] * face[1] + n[2] * face[2], 0.0f);
        }
      }
    }
  }
  EXPECT_EQ(instance, import.instances.size());
  for (const tinygltf::BufferView& view : model.bufferViews)
    EXPECT_EQ(view.byteOffset % 4, 0u);

  ASSERT_EQ(model.animations.size(), 1u);
  const tinygltf::Animation& animation = model.animations[0];
  ASSERT_EQ(animation.channels.size(), 2u) << "the stand has no keys";
  const std::vector<tolvanePlan::tTrack> expected{
      tracks[0], {{0.0f, 1.0f, 2.0f}, {{0, 0, 0}, {1, 0, 0}, {3, -2, 0.5f}}}};
  for (size_t k = 0; k < animation.channels.size(); ++k) {
    const tinygltf::AnimationChannel& channel = animation.channels[k];
    EXPECT_EQ(channel.target_node, int(k));
    EXPECT_EQ(channel.target_path, "translation");
    const tinygltf::AnimationSampler& sampler = animation.samplers.at(channel.sampler);
    EXPECT_EQ(sampler.interpolation, "LINEAR");
    EXPECT_EQ(tolvaneGltfRead::values<float>(model, sampler.input), expected[k].times);
    std::vector<float> offsets;
    for (const tVec3& offset : expected[k].offsets)
      offsets.insert(offsets.end(), offset.begin(), offset.end());
    EXPECT_EQ(tolvaneGltfRead::values<float>(model, sampler.output), offsets);
    EXPECT_EQ(model.accessors[sampler.input].maxValues, std::vector<double>{expected[k].times.back()});
    EXPECT_EQ(model.bufferViews[model.accessors[sampler.input].bufferView].target, 0);
  }
}

TEST_F(TolvaneGlb, StaticAssemblyHasNoAnimationAndBadTracksAreRefused) {
  ASSERT_TRUE(writeAnimatedGlb(import, parts, {}, path));
  tinygltf::Model model;
  ASSERT_EQ(tolvaneGltfRead::load(path, model), "");
  EXPECT_EQ(model.nodes.size(), 3u);
  EXPECT_TRUE(model.animations.empty());

  tracks.pop_back();
  EXPECT_FALSE(writeAnimatedGlb(import, parts, tracks, path));
  EXPECT_FALSE(writeAnimatedGlb(import, parts, {}, "/no-such-folder/x.glb"));
}

} // namespace
