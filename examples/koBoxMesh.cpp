#include "koBoxMesh.h"

#include <ko/koAttributes.h>
#include <ko/koIndexBuffer.h>
#include <ko/koVertexBuffer.h>

ko::koTriMesh* makeBoxMesh(const std::string& name, const Wm4::Vector3<float>& minCorner,
                           const Wm4::Vector3<float>& maxCorner) {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  auto* vertices = new ko::koVertexBuffer(attributes, 8);
  // Vertex v has its x, y, z at the maximum where bit 0, 1, 2 of v is set.
  for (int v = 0; v < 8; ++v)
    vertices->Position3(v) = Wm4::Vector3<float>((v & 1) ? maxCorner.X() : minCorner.X(),
                                                 (v & 2) ? maxCorner.Y() : minCorner.Y(),
                                                 (v & 4) ? maxCorner.Z() : minCorner.Z());

  // Two counter-clockwise triangles per face, seen from outside.
  static const int kTriangles[36] = {
      0, 2, 1, 1, 2, 3,  // z min
      4, 5, 6, 5, 7, 6,  // z max
      0, 1, 4, 1, 5, 4,  // y min
      2, 6, 3, 3, 6, 7,  // y max
      0, 4, 2, 2, 4, 6,  // x min
      1, 3, 5, 3, 7, 5,  // x max
  };
  auto* indices = new ko::koIndexBuffer(36, 1);
  for (int i = 0; i < 36; ++i)
    indices->GetData()[i] = kTriangles[i];

  auto* mesh = new ko::koTriMesh(vertices, indices);
  mesh->SetName(name);
  return mesh;
}
