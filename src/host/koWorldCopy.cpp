#include "host/koWorldCopy.h"

#include <ko/koMeshUtils.h>
#include <ko/koTriMesh.h>

#include <algorithm>

namespace koHost {

ko::koTriMesh* makeWorldCopy(const ko::koTriMesh& mesh) {
  const ko::koVertexBuffer& source = *mesh.VBuffer;
  auto* vertices = new ko::koVertexBuffer(source.GetAttributes(), source.GetVertexQuantity());
  for (int v = 0; v < source.GetVertexQuantity(); ++v) {
    ko::koMeshUtils::CopyVertexData(source, *vertices, v, v);
    vertices->Position3(v) = mesh.World.ApplyForward(source.Position3(v));
  }
  const int noIndices = mesh.IBuffer->GetIndexQuantity();
  auto* indices = new ko::koIndexBuffer(noIndices, 1);
  std::copy(mesh.IBuffer->GetData(), mesh.IBuffer->GetData() + noIndices, indices->GetData());
  auto* copy = new ko::koTriMesh(vertices, indices);
  copy->SetName(mesh.GetName());
  return copy;
}

} // namespace koHost
