#pragma once

#include "koTolvaneLibExport.h"

#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <vector>

class koMeshAndBVH;

// Turns the contact faces of one touching pair into weighted contact point pairs: each side's
// contact faces are cut into connected patches, unfolded into the plane, sampled evenly, and the
// samples whose normal line meets a facing contact face of the other side within the tolerance
// are kept together with the point they meet.
//
// Result buffers hold vertex pairs 2k, 2k + 1: the sample on this side and the point met on the
// other side. Position, normal (interpolated vertex normal), texture channel 0 with 3 components
// (the triangle's face normal, oriented with its vertex normals) and point size (the sample's
// weight, equal in both vertices of a pair).
class KOTOLVANE_API koContactPoints {
public:
  const koMeshAndBVH* meshA;
  const koMeshAndBVH* meshB;
  // The largest distance along a sample's normal to the other side.
  float tolerance;
  // When true, getContactPoints also writes both point sets to
  // "d:/assembly_tmp/test_samples_<mesh A name>_<mesh B name>.obj".
  bool debugOutput;

  koContactPoints(const koMeshAndBVH& meshA, const koMeshAndBVH& meshB, float tolerance);

  // From the contact faces of each side (triangle indices), the contact point buffers of side A
  // (samples on A met on B) and side B; a side without a kept sample gets null.
  void getContactPoints(const std::vector<unsigned int>& facesA,
                        const std::vector<unsigned int>& facesB,
                        ko::koPointer<ko::koVertexBuffer>& pointsA,
                        ko::koPointer<ko::koVertexBuffer>& pointsB);
};
