#pragma once

// The per-pair work of the automatic contact diagram: one job turns one touching pair of meshes
// into contact points, removal directions and one representative contact point.

#include "koContactFaces.h"

#include <Wm4Foundation.h>

#include <vector>

class koMeshAndBVH;
class koMotionDetect;

// One job's output slot. Mesh fields stay 0xFFFFFFFF when the pair gave no contact point.
struct tContactResult {
  std::vector<Wm4::Vector3<double>> directions;
  Wm4::Vector3<float> contactPoint{0.0f, 0.0f, 0.0f};
  unsigned int firstMesh = 0xFFFFFFFF;
  unsigned int secondMesh = 0xFFFFFFFF;
};

// What every job reads (unchanged during the batch) and where it writes.
struct tContactBatch {
  const std::vector<koMeshAndBVH>* parts;
  const std::vector<koContactFaces::tContactFacesData>* contacts;
  // One per worker thread, chosen by the thread index.
  koMotionDetect* motionDetectors;
  tContactResult* results;
  // Row-major 4x4, maps the working space back to world coordinates.
  const double* backTransformation;
  float tolerance;
};

struct koContactDiagramFunctor {
  void operator()(unsigned int job, unsigned int thread, void* batchData) const;
};
