#pragma once

// Reads what the tests check in a glTF model loaded by tinygltf: accessors as plain values.

#include <tiny_gltf.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tolvaneGltfRead {

// The accessor's components one after the other, as float (for float accessors) or as index.
template <typename T>
std::vector<T> values(const tinygltf::Model& model, int accessorIndex) {
  const tinygltf::Accessor& accessor = model.accessors.at(accessorIndex);
  const tinygltf::BufferView& view = model.bufferViews.at(accessor.bufferView);
  const unsigned char* data =
      model.buffers.at(view.buffer).data.data() + view.byteOffset + accessor.byteOffset;
  const int components = tinygltf::GetNumComponentsInType(accessor.type);
  const int size = tinygltf::GetComponentSizeInBytes(accessor.componentType);
  const size_t stride = view.byteStride ? view.byteStride : size_t(components * size);
  std::vector<T> result;
  for (size_t i = 0; i < accessor.count; ++i)
    for (int c = 0; c < components; ++c) {
      const unsigned char* at = data + i * stride + c * size;
      switch (accessor.componentType) {
      case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, at, sizeof f);
        result.push_back(static_cast<T>(f));
        break;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t s;
        std::memcpy(&s, at, sizeof s);
        result.push_back(static_cast<T>(s));
        break;
      }
      default: {
        uint32_t u;
        std::memcpy(&u, at, sizeof u);
        result.push_back(static_cast<T>(u));
      }
      }
    }
  return result;
}

// Loads a GLB file; empty error when it loaded. Read here and parsed from memory: a GLB holds
// its buffers, so the loader needs none of its file callbacks.
inline std::string load(const std::string& path, tinygltf::Model& model) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
  if (!in && !in.eof())
    return "cannot read " + path;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  if (!loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(),
                                   static_cast<unsigned int>(bytes.size())))
    return error.empty() ? "cannot load " + path : error;
  return {};
}

} // namespace tolvaneGltfRead
