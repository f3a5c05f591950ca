#include "tolvaneGlb.h"

#include <koTolvaneLibVersion.h>

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>

namespace {

using tVec3 = std::array<float, 3>;

// Muted, distinct colours, so that neighbouring parts tell apart in a viewer.
constexpr std::array<std::array<double, 3>, 8> kPalette{{{0.62, 0.64, 0.68},
                                                         {0.80, 0.45, 0.25},
                                                         {0.30, 0.50, 0.75},
                                                         {0.45, 0.65, 0.35},
                                                         {0.85, 0.75, 0.35},
                                                         {0.55, 0.40, 0.65},
                                                         {0.35, 0.65, 0.65},
                                                         {0.75, 0.35, 0.40}}};

// Appends views and accessors to the model's one buffer, each view starting on a 4-byte boundary.
class tBufferWriter {
public:
  explicit tBufferWriter(tinygltf::Model& model) : mModel(model) {
    mModel.buffers.emplace_back();
  }

  // A view of the bytes; target 0 for data that no vertex fetch reads (animation keys).
  int addView(const void* data, size_t bytes, int target) {
    std::vector<unsigned char>& buffer = mModel.buffers[0].data;
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = buffer.size();
    view.byteLength = bytes;
    view.target = target;
    const auto* first = static_cast<const unsigned char*>(data);
    buffer.insert(buffer.end(), first, first + bytes);
    buffer.resize((buffer.size() + 3) & ~size_t(3), 0);
    mModel.bufferViews.push_back(view);
    return static_cast<int>(mModel.bufferViews.size() - 1);
  }

  // A tightly packed accessor over its own view; min and max per component when asked.
  int addFloats(const std::vector<float>& values, int type, int components, int target,
                bool bounds) {
    tinygltf::Accessor accessor;
    accessor.bufferView = addView(values.data(), values.size() * sizeof(float), target);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    accessor.type = type;
    accessor.count = values.size() / static_cast<size_t>(components);
    if (bounds) {
      accessor.minValues.assign(components, std::numeric_limits<double>::infinity());
      accessor.maxValues.assign(components, -std::numeric_limits<double>::infinity());
      for (size_t i = 0; i < values.size(); ++i) {
        double& low = accessor.minValues[i % components];
        double& high = accessor.maxValues[i % components];
        low = std::min(low, double(values[i]));
        high = std::max(high, double(values[i]));
      }
    }
    return push(accessor);
  }

  // Triangle indices, 16-bit where the vertex count allows.
  int addIndices(const std::vector<uint32_t>& indices, size_t noVertices) {
    tinygltf::Accessor accessor;
    if (noVertices <= std::numeric_limits<uint16_t>::max()) {
      const std::vector<uint16_t> narrow(indices.begin(), indices.end());
      accessor.bufferView = addView(narrow.data(), narrow.size() * sizeof(uint16_t),
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
      accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
    } else {
      accessor.bufferView = addView(indices.data(), indices.size() * sizeof(uint32_t),
                                    TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
      accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    }
    accessor.type = TINYGLTF_TYPE_SCALAR;
    accessor.count = indices.size();
    return push(accessor);
  }

private:
  int push(const tinygltf::Accessor& accessor) {
    mModel.accessors.push_back(accessor);
    return static_cast<int>(mModel.accessors.size() - 1);
  }

  tinygltf::Model& mModel;
};

tVec3 sub(const tVec3& a, const tVec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// The unit vector along v; fallback when v has no length (or is not finite).
tVec3 unit(const tVec3& v, const tVec3& fallback) {
  const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
  if (!(length > 1e-30) || !std::isfinite(length))
    return fallback;
  return {float(v[0] / length), float(v[1] / length), float(v[2] / length)};
}

tVec3 cross(const tVec3& a, const tVec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

struct tPrimitiveData {
  std::vector<float> positions, normals;
  std::vector<uint32_t> indices;
};

// The mesh's triangles with its own normals where each referenced vertex has a usable one, else
// flat: three vertices per triangle with the triangle's normal.
tPrimitiveData primitiveOf(const ko::koTriMesh& mesh) {
  tPrimitiveData data;
  if (!mesh.VBuffer || !mesh.IBuffer)
    return data;
  const ko::koVertexBuffer& vertices = *mesh.VBuffer;
  const int noVertices = vertices.GetVertexQuantity();
  const auto position = [&](int v) {
    const Wm4::Vector3<float>& p = vertices.Position3(v);
    return tVec3{p.X(), p.Y(), p.Z()};
  };
  std::vector<std::array<int, 3>> triangles;
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    std::array<int, 3> v{};
    if (mesh.GetTriangle(t, v[0], v[1], v[2]) &&
        std::all_of(v.begin(), v.end(), [&](int i) { return i >= 0 && i < noVertices; }))
      triangles.push_back(v);
  }
  bool smooth = vertices.GetAttributes().GetNormalChannels() == 3;
  std::vector<tVec3> normals;
  if (smooth) {
    for (int v = 0; v < noVertices && smooth; ++v) {
      const Wm4::Vector3<float>& n = vertices.Normal3(v);
      normals.push_back(unit({n.X(), n.Y(), n.Z()}, {0.0f, 0.0f, 0.0f}));
      smooth = normals.back() != tVec3{0.0f, 0.0f, 0.0f};
    }
  }
  const auto push = [](std::vector<float>& to, const tVec3& v) {
    to.insert(to.end(), v.begin(), v.end());
  };
  if (smooth) {
    for (int v = 0; v < noVertices; ++v) {
      push(data.positions, position(v));
      push(data.normals, normals[v]);
    }
    for (const std::array<int, 3>& t : triangles)
      data.indices.insert(data.indices.end(), t.begin(), t.end());
    return data;
  }
  for (const std::array<int, 3>& t : triangles) {
    const tVec3 a = position(t[0]), b = position(t[1]), c = position(t[2]);
    const tVec3 normal = unit(cross(sub(b, a), sub(c, a)), {0.0f, 0.0f, 1.0f});
    for (const tVec3& p : {a, b, c}) {
      data.indices.push_back(static_cast<uint32_t>(data.positions.size() / 3));
      push(data.positions, p);
      push(data.normals, normal);
    }
  }
  return data;
}

// The keys as written: a key at a time not after the previous one replaces it.
tolvanePlan::tTrack increasingKeys(const tolvanePlan::tTrack& track) {
  tolvanePlan::tTrack keys;
  const size_t count = std::min(track.times.size(), track.offsets.size());
  for (size_t k = 0; k < count; ++k) {
    if (!keys.times.empty() && !(track.times[k] > keys.times.back())) {
      keys.times.pop_back();
      keys.offsets.pop_back();
    }
    keys.times.push_back(track.times[k]);
    keys.offsets.push_back(track.offsets[k]);
  }
  return keys;
}

} // namespace

bool writeAnimatedGlb(const tolvaneImport& import, const tolvaneParts& parts,
                      const std::vector<tolvanePlan::tTrack>& tracksPerPart,
                      const std::string& path) {
  const size_t noParts = parts.partNames.size();
  if (parts.partOfMesh.size() != import.instances.size() ||
      (!tracksPerPart.empty() && tracksPerPart.size() != noParts))
    return false;
  for (unsigned int part : parts.partOfMesh)
    if (part >= noParts)
      return false;

  tinygltf::Model model;
  model.asset.version = "2.0";
  model.asset.generator =
      std::string("tolvane, koTolvaneLib ") +
      koTolvaneLib::Version::GetDescStringMajorMinorRelease(false);
  tBufferWriter buffer(model);

  const size_t noMaterials = std::min(noParts, kPalette.size());
  for (size_t m = 0; m < noMaterials; ++m) {
    tinygltf::Material material;
    material.name = "tolvane-" + std::to_string(m);
    material.pbrMetallicRoughness.baseColorFactor = {kPalette[m][0], kPalette[m][1],
                                                     kPalette[m][2], 1.0};
    material.pbrMetallicRoughness.metallicFactor = 0.1;
    material.pbrMetallicRoughness.roughnessFactor = 0.6;
    // Imported meshes may wind either way; both sides shaded shows them whole.
    material.doubleSided = true;
    model.materials.push_back(material);
  }

  tinygltf::Scene scene;
  scene.name = "assembly";
  for (size_t p = 0; p < noParts; ++p) {
    tinygltf::Node node;
    node.name = parts.partNames[p];
    model.nodes.push_back(node);
    scene.nodes.push_back(static_cast<int>(p));
  }
  std::vector<tinygltf::Mesh> meshOfPart(noParts);
  for (size_t i = 0; i < import.instances.size(); ++i) {
    const tPrimitiveData data = primitiveOf(*import.instances[i].mesh);
    if (data.indices.empty())
      continue;
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = buffer.addFloats(
        data.positions, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER, true);
    primitive.attributes["NORMAL"] = buffer.addFloats(
        data.normals, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER, false);
    primitive.indices = buffer.addIndices(data.indices, data.positions.size() / 3);
    const unsigned int part = parts.partOfMesh[i];
    primitive.material = static_cast<int>(part % noMaterials);
    meshOfPart[part].primitives.push_back(primitive);
  }
  for (size_t p = 0; p < noParts; ++p) {
    if (meshOfPart[p].primitives.empty())
      continue;
    meshOfPart[p].name = parts.partNames[p];
    model.meshes.push_back(meshOfPart[p]);
    model.nodes[p].mesh = static_cast<int>(model.meshes.size() - 1);
  }
  model.scenes.push_back(scene);
  model.defaultScene = 0;

  tinygltf::Animation animation;
  animation.name = "explode";
  for (size_t p = 0; p < tracksPerPart.size(); ++p) {
    const tolvanePlan::tTrack keys = increasingKeys(tracksPerPart[p]);
    if (keys.times.empty())
      continue;
    std::vector<float> offsets;
    for (const std::array<float, 3>& offset : keys.offsets)
      offsets.insert(offsets.end(), offset.begin(), offset.end());
    tinygltf::AnimationSampler sampler;
    sampler.input = buffer.addFloats(keys.times, TINYGLTF_TYPE_SCALAR, 1, 0, true);
    sampler.output = buffer.addFloats(offsets, TINYGLTF_TYPE_VEC3, 3, 0, true);
    sampler.interpolation = "LINEAR";
    animation.samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(animation.samplers.size() - 1);
    channel.target_node = static_cast<int>(p);
    channel.target_path = "translation";
    animation.channels.push_back(channel);
  }
  if (!animation.channels.empty())
    model.animations.push_back(animation);
  // A buffer of no bytes is not valid glTF: an assembly without triangles has none.
  if (model.buffers[0].data.empty())
    model.buffers.clear();

  std::ofstream out(path, std::ios::binary);
  if (!out)
    return false;
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&model, out, false, true))
    return false;
  return static_cast<bool>(out.flush());
}
