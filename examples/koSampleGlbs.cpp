// Writes the sample products as static GLB files, one mesh per part named after it, so that
// `tolvane FILE.glb` reads each part as one mesh. Run by hand to refresh examples/data:
//   koSampleGlbs examples/data

#include "koProductAssemblies.h"

#include "tolvaneGlb.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// One mesh per part: the part's meshes' vertices, normals and triangles one after the other.
std::vector<ko::koTriMesh*> meshPerPart(const koNamedMeshAssembly& product) {
  std::vector<ko::koTriMesh*> merged;
  for (unsigned int part = 0; part < product.partNames.size(); ++part) {
    std::vector<const ko::koTriMesh*> meshes;
    int noVertices = 0, noIndices = 0;
    for (size_t m = 0; m < product.assembly.meshes.size(); ++m) {
      if (product.assembly.partOfMesh[m] != part)
        continue;
      meshes.push_back(product.assembly.meshes[m]);
      noVertices += meshes.back()->VBuffer->GetVertexQuantity();
      noIndices += meshes.back()->IBuffer->GetIndexQuantity();
    }
    ko::koAttributes attributes;
    attributes.SetPositionChannels(3);
    attributes.SetNormalChannels(3);
    auto* vertices = new ko::koVertexBuffer(attributes, noVertices);
    auto* indices = new ko::koIndexBuffer(noIndices, ko::koIndexBuffer::TriangleList);
    int vertex = 0, index = 0;
    for (const ko::koTriMesh* mesh : meshes) {
      const ko::koIndexBuffer& from = *mesh->IBuffer;
      for (int i = 0; i < from.GetIndexQuantity(); ++i)
        indices->GetData()[index++] = vertex + from.GetData()[i];
      for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v, ++vertex) {
        vertices->Position3(vertex) = mesh->VBuffer->Position3(v);
        vertices->Normal3(vertex) = mesh->VBuffer->Normal3(v);
      }
    }
    merged.push_back(new ko::koTriMesh(vertices, indices));
    merged.back()->SetName(product.partNames[part]);
  }
  return merged;
}

bool writeProduct(const koNamedMeshAssembly& product, const std::filesystem::path& path) {
  tolvaneImport import;
  tolvaneParts parts;
  const std::string file = path.stem().string();
  for (ko::koTriMesh* mesh : meshPerPart(product)) {
    import.scene->attachChild(mesh);
    const std::string& name = mesh->GetName();
    import.instances.push_back({mesh, name, file + "/" + name, name, file, file});
    parts.partOfMesh.push_back(static_cast<unsigned int>(parts.partNames.size()));
    parts.partNames.push_back(name);
  }
  if (!writeAnimatedGlb(import, parts, {}, path.string())) {
    std::fprintf(stderr, "error: cannot write %s\n", path.string().c_str());
    return false;
  }
  std::printf("wrote %s: %zu parts, %zu bytes\n", path.string().c_str(), parts.partNames.size(),
              static_cast<size_t>(std::filesystem::file_size(path)));
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: koSampleGlbs FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::vector<std::pair<const char*, std::function<koNamedMeshAssembly()>>> products{
      {"gearbox.glb", koProductAssemblies::gearbox},
      {"vise.glb", koProductAssemblies::benchVise},
      {"keyboard.glb", koProductAssemblies::keyboard}};
  for (const auto& [file, build] : products)
    if (!writeProduct(build(), folder / file))
      return 1;
  return 0;
}
