#include "diagram/koContactDiagramFunctor.h"

#include "koContactPoints.h"
#include "koMeshAndBVH.h"
#include "koMotionDetect.h"

namespace {

// A region point counts only when the contact surrounds the direction's line this well.
constexpr float kCentroidQualityLimit = 0.7f;

int vertexCount(const ko::koVertexBuffer* points) {
  return points != nullptr ? points->GetVertexQuantity() : 0;
}

// The mean of all contact point positions, both sides.
Wm4::Vector3<float> meanPosition(const ko::koVertexBuffer* pointsA,
                                 const ko::koVertexBuffer* pointsB) {
  Wm4::Vector3<float> sum(0.0f, 0.0f, 0.0f);
  for (const ko::koVertexBuffer* points : {pointsA, pointsB})
    for (int i = 0; i < vertexCount(points); ++i)
      sum += points->Position3(i);
  return sum * (1.0f / float(vertexCount(pointsA) + vertexCount(pointsB)));
}

} // namespace

void koContactDiagramFunctor::operator()(unsigned int job, unsigned int thread,
                                         void* batchData) const {
  const tContactBatch& batch = *static_cast<const tContactBatch*>(batchData);
  const koContactFaces::tContactFacesData& contact = (*batch.contacts)[job];
  ko::koPointer<ko::koVertexBuffer> pointsA, pointsB;
  koContactPoints((*batch.parts)[contact.partA], (*batch.parts)[contact.partB], batch.tolerance)
      .getContactPoints(contact.facesA, contact.facesB, pointsA, pointsB);
  if (vertexCount(pointsA) + vertexCount(pointsB) == 0)
    return;

  koMotionDetect& motion = batch.motionDetectors[thread];
  motion.clearSystems();
  if (pointsA != nullptr)
    motion.pushContactPoints(pointsA);
  if (pointsB != nullptr)
    motion.pushContactPoints(pointsB);
  motion.centerSystems();
  Wm4::Vector3<double> found[3];
  bool twoWay[3] = {false, false, false};
  const unsigned int noFound = motion.computeRemovalDirection(found, twoWay);

  tContactResult& result = batch.results[job];
  for (unsigned int i = 0; i < noFound; ++i) {
    result.directions.push_back(found[i]);
    if (twoWay[i])
      result.directions.push_back(-found[i]);
  }
  result.firstMesh = contact.partA;
  result.secondMesh = contact.partB;

  // The mean of the points, or the centre of the region around a direction's line when the
  // region surrounds that line well: a better place to draw the contact's arrows.
  Wm4::Vector3<float> point = meanPosition(pointsA, pointsB);
  float bestQuality = 0.0f;
  Wm4::Vector3<float> bestPoint = point;
  for (const Wm4::Vector3<double>& direction : result.directions) {
    float quality = 0.0f;
    const Wm4::Vector3<float> centre = koMotionDetect::ComputeCircleBasedCentroid(
        Wm4::Vector3<float>(float(direction.X()), float(direction.Y()), float(direction.Z())),
        {pointsA, pointsB}, quality);
    if (quality > bestQuality) {
      bestQuality = quality;
      bestPoint = centre;
    }
  }
  if (bestQuality > kCentroidQualityLimit)
    point = bestPoint;

  const double* back = batch.backTransformation;
  for (int k = 0; k < 3; ++k)
    result.contactPoint[k] = float(back[5 * k] * double(point[k]) + back[4 * k + 3]);
}
