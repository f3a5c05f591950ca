#include "contacts/koContactPatches.h"

#include <ko/koMeshProcessing.h>
#include <ko/koMeshUtils.h>

#include <algorithm>

namespace koContactPatches {

namespace {

// The listed faces as a mesh of their own over mesh's vertex buffer, triangle k being faces[k].
ko::koTriMesh* faceListMesh(const ko::koTriMesh& mesh, const std::vector<unsigned int>& faces) {
  ko::koIndexBuffer* indices =
      new ko::koIndexBuffer(3 * static_cast<int>(faces.size()), ko::koIndexBuffer::TriangleList);
  int* data = indices->GetData();
  for (size_t k = 0; k < faces.size(); ++k)
    mesh.GetTriangle(static_cast<int>(faces[k]), data[3 * k], data[3 * k + 1], data[3 * k + 2]);
  return new ko::koTriMesh(mesh.VBuffer, indices);
}

} // namespace

void extractPatches(const ko::koTriMesh& mesh, const std::vector<unsigned int>& faces,
                    std::vector<ko::koPointer<ko::koTriMesh>>& patches) {
  const ko::koPointer<ko::koTriMesh> faceMesh = faceListMesh(mesh, faces);
  std::vector<unsigned int> componentOf;
  const unsigned int components =
      koMeshProcessing::ClusterizeConnectedComponents(faceMesh, componentOf);

  // Triangles grouped by component, each group in list order.
  std::vector<unsigned int> groupStart(components + 1, 0);
  for (unsigned int component : componentOf)
    ++groupStart[component + 1];
  for (unsigned int c = 0; c < components; ++c)
    groupStart[c + 1] += groupStart[c];
  std::vector<unsigned int> grouped(componentOf.size());
  std::vector<unsigned int> fill(groupStart.begin(), groupStart.end() - 1);
  for (unsigned int k = 0; k < componentOf.size(); ++k)
    grouped[fill[componentOf[k]]++] = k;

  const ko::koVertexBuffer& source = *mesh.VBuffer;
  ko::koAttributes attributes = source.GetAttributes();
  attributes.SetTCoordChannels(0, 2);
  const int* faceIndices = faceMesh->IBuffer->GetData();
  // Patch vertex number per mesh vertex, valid for the vertices of the current component only.
  std::vector<int> patchVertex(static_cast<size_t>(source.GetVertexQuantity()), -1);
  std::vector<int> used;
  for (unsigned int c = 0; c < components; ++c) {
    used.clear();
    for (unsigned int g = groupStart[c]; g < groupStart[c + 1]; ++g)
      used.insert(used.end(), faceIndices + 3 * grouped[g], faceIndices + 3 * grouped[g] + 3);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());

    ko::koVertexBuffer* vertices =
        new ko::koVertexBuffer(attributes, static_cast<int>(used.size()));
    for (size_t v = 0; v < used.size(); ++v) {
      patchVertex[static_cast<size_t>(used[v])] = static_cast<int>(v);
      ko::koMeshUtils::CopyVertexData(source, *vertices, used[v], static_cast<int>(v));
    }
    ko::koIndexBuffer* indices = new ko::koIndexBuffer(
        3 * static_cast<int>(groupStart[c + 1] - groupStart[c]), ko::koIndexBuffer::TriangleList);
    int* data = indices->GetData();
    for (unsigned int g = groupStart[c]; g < groupStart[c + 1]; ++g)
      for (unsigned int corner = 0; corner < 3; ++corner)
        *data++ = patchVertex[static_cast<size_t>(faceIndices[3 * grouped[g] + corner])];
    patches.emplace_back(new ko::koTriMesh(vertices, indices));
  }
}

} // namespace koContactPatches
