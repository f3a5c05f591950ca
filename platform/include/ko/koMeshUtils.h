#pragma once

#include <ko/koVertexBuffer.h>

namespace ko {

namespace koMeshUtils {
// Copies vertex sourceIndex of source onto vertex targetIndex of target, for every attribute both
// buffers have: position, normal, point size, and each texture unit present in both. A texture
// unit with 2 channels on one side and 3 on the other copies its first two channels and leaves the
// target's third as it was. Attributes only the target has are left as they were. The two buffers
// may be the same object.
void CopyVertexData(const koVertexBuffer& source, koVertexBuffer& target, int sourceIndex,
                    int targetIndex);
} // namespace koMeshUtils

} // namespace ko
