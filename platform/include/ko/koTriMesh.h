#pragma once

#include <ko/koIndexBuffer.h>
#include <ko/koMaterialState.h>
#include <ko/koPointer.h>
#include <ko/koSpatial.h>
#include <ko/koVertexBuffer.h>

namespace ko {

// A triangle mesh in the scene: vertex buffer, index buffer (a triangle list, three indices per
// triangle) and an optional material. The buffers are shared by reference, so several meshes may
// use one buffer; edits through one mesh show in all of them.
class koTriMesh : public koSpatial {
public:
  // Either buffer may be null; the mesh then has no triangles.
  koTriMesh(koVertexBuffer* vertexBuffer, koIndexBuffer* indexBuffer);

  koPointer<koVertexBuffer> VBuffer;
  koPointer<koIndexBuffer> IBuffer;

  // Index count / 3; 0 without an index buffer.
  virtual int GetTriangleQuantity() const;
  // The vertex indices of triangle i. Returns false, leaving v0..v2 untouched, when i is not in
  // [0, GetTriangleQuantity()).
  virtual bool GetTriangle(int i, int& v0, int& v1, int& v2) const;

  // Takes a reference to the material; null removes it.
  void SetMaterialState(koMaterialState* material) { mMaterial = material; }
  // Null when the mesh has no material.
  koMaterialState* GetMaterialState() const { return mMaterial; }

private:
  koPointer<koMaterialState> mMaterial;
};

} // namespace ko
