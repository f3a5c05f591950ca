#pragma once

#include <Wm4Foundation.h>
#include <ko/koTriMesh.h>

#include <string>

// An axis-aligned box as a host would load it: 8 vertices in world coordinates with an identity
// transformation, and 12 outward-facing triangles. The caller owns the new mesh (wrap it in a
// koPointer).
ko::koTriMesh* makeBoxMesh(const std::string& name, const Wm4::Vector3<float>& minCorner,
                           const Wm4::Vector3<float>& maxCorner);
