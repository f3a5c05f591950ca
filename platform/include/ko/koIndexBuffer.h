#pragma once

#include <ko/koObject.h>

#include <vector>

namespace ko {

// The vertex indices of a mesh, zero-initialised. The type names the primitive kind for the
// host's renderer and is stored as given; TriangleList (three indices per triangle) is the one
// kind the meshes of this framework read.
class koIndexBuffer : public koObject {
public:
  static constexpr int TriangleList = 1;

  koIndexBuffer(int indexQuantity, int type);

  int GetIndexQuantity() const { return static_cast<int>(mIndices.size()); }
  int GetType() const { return mType; }
  // GetIndexQuantity() entries; valid until resizeIndexBuffer() or the buffer's destruction.
  int* GetData() { return mIndices.data(); }
  const int* GetData() const { return mIndices.data(); }

  // Changes the index count: indices below the new count are kept, new ones are zero.
  // Invalidates GetData().
  void resizeIndexBuffer(int indexQuantity);

private:
  std::vector<int> mIndices;
  int mType;
};

} // namespace ko
