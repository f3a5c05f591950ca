#include "tolvaneImport.h"

#include "tolvaneInputError.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

struct tSource {
  std::string path;
  std::string stem;
};

// Assimp names some nodes itself ("<STL_BINARY>", "$dummy"); those say nothing about the part.
bool isMeaningful(const aiString& name) {
  return name.length > 0 && name.data[0] != '<' && name.data[0] != '$';
}

std::vector<tSource> collectSources(const std::vector<std::string>& inputs) {
  std::vector<tSource> sources;
  Assimp::Importer probe;
  for (const std::string& input : inputs) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& entry : fs::directory_iterator(input, error))
        if (entry.is_regular_file() &&
            probe.IsExtensionSupported(entry.path().extension().string()))
          files.push_back(entry.path());
      if (error)
        throw tolvaneInputError(input + ": cannot list the folder: " + error.message());
      if (files.empty())
        throw tolvaneInputError(input + ": the folder holds no file of a format assimp reads");
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files)
        sources.push_back({file.string(), file.stem().string()});
    } else {
      if (!fs::exists(input, error))
        throw tolvaneInputError(input + ": no such file");
      if (!std::ifstream(input))
        throw tolvaneInputError(input + ": cannot read the file");
      sources.push_back({input, fs::path(input).stem().string()});
    }
  }
  return sources;
}

bool isFinite(const aiVector3D& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Copies the triangles of one mesh (points and lines are dropped), positions mapped by the
// node's world matrix and normals by its inverse transpose.
ko::koTriMesh* convertMesh(const aiMesh& source, const aiMatrix4x4& world,
                           const std::string& where) {
  std::vector<int> indices;
  for (unsigned int f = 0; f < source.mNumFaces; ++f) {
    const aiFace& face = source.mFaces[f];
    if (face.mNumIndices != 3)
      continue;
    for (unsigned int k = 0; k < 3; ++k) {
      if (face.mIndices[k] >= source.mNumVertices)
        throw tolvaneInputError(where + ": face " + std::to_string(f) + " has vertex index " +
                                std::to_string(face.mIndices[k]) + " out of range");
      indices.push_back(static_cast<int>(face.mIndices[k]));
    }
  }
  if (indices.empty())
    return nullptr;

  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  if (source.HasNormals())
    attributes.SetNormalChannels(3);
  // Held by a pointer so that a refused vertex does not leak the buffer.
  ko::koPointer<ko::koVertexBuffer> vertices =
      new ko::koVertexBuffer(attributes, static_cast<int>(source.mNumVertices));
  const aiMatrix3x3 normalMatrix = aiMatrix3x3(world).Inverse().Transpose();
  for (unsigned int v = 0; v < source.mNumVertices; ++v) {
    const aiVector3D p = world * source.mVertices[v];
    if (!isFinite(source.mVertices[v]) || !isFinite(p))
      throw tolvaneInputError(where + ": vertex " + std::to_string(v) +
                              " has a coordinate that is not a finite number");
    vertices->Position3(static_cast<int>(v)) = Wm4::Vector3<float>(p.x, p.y, p.z);
    if (source.HasNormals()) {
      aiVector3D n = normalMatrix * source.mNormals[v];
      n = isFinite(n) && n.SquareLength() > 0.0f ? n.Normalize() : aiVector3D(0.0f, 0.0f, 0.0f);
      vertices->Normal3(static_cast<int>(v)) = Wm4::Vector3<float>(n.x, n.y, n.z);
    }
  }
  auto* indexBuffer =
      new ko::koIndexBuffer(static_cast<int>(indices.size()), ko::koIndexBuffer::TriangleList);
  std::copy(indices.begin(), indices.end(), indexBuffer->GetData());
  return new ko::koTriMesh(vertices, indexBuffer);
}

struct tWalker {
  const aiScene& scene;
  const tSource& source;
  tolvaneImport& result;
  std::map<std::string, unsigned int>& nameUses;

  void visit(const aiNode& node, const aiMatrix4x4& parentWorld, const std::string& parentKey) {
    const aiMatrix4x4 world = parentWorld * node.mTransformation;
    const std::string key = parentKey + "/" + node.mName.C_Str();
    const std::string nodeName = isMeaningful(node.mName) ? node.mName.C_Str() : source.stem;
    for (unsigned int m = 0; m < node.mNumMeshes; ++m) {
      const aiMesh& mesh = *scene.mMeshes[node.mMeshes[m]];
      std::string name = isMeaningful(node.mName) ? nodeName
                         : isMeaningful(mesh.mName) ? std::string(mesh.mName.C_Str())
                                                    : source.stem;
      // Instances of one mesh, or nodes sharing a name, still need names of their own.
      const unsigned int uses = ++nameUses[name];
      if (uses > 1)
        name += "#" + std::to_string(uses);
      ko::koTriMesh* converted = convertMesh(mesh, world, source.path + ": mesh '" + name + "'");
      if (!converted)
        continue;
      converted->SetName(name);
      result.scene->attachChild(converted);
      result.instances.push_back({converted, name, key, nodeName, source.stem});
    }
    for (unsigned int c = 0; c < node.mNumChildren; ++c)
      visit(*node.mChildren[c], world, key);
  }
};

} // namespace

tolvaneImport importAssembly(const std::vector<std::string>& inputs) {
  tolvaneImport result;
  std::map<std::string, unsigned int> nameUses;
  for (const tSource& source : collectSources(inputs)) {
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(source.path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices);
    if (!scene || !scene->mRootNode) {
      std::string reason = importer.GetErrorString();
      std::replace(reason.begin(), reason.end(), '\n', ' ');  // keep the message on one line
      throw tolvaneInputError(source.path + ": not an assembly assimp reads (" + reason + ")");
    }
    const size_t before = result.instances.size();
    tWalker{*scene, source, result, nameUses}.visit(*scene->mRootNode, aiMatrix4x4(), source.path);
    if (result.instances.size() == before)
      throw tolvaneInputError(source.path + ": the scene holds no triangles");
  }
  result.scene->UpdateGS();
  return result;
}
