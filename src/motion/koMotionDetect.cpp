#include "koMotionDetect.h"

#include "motion/koDirectionScan.h"

#include <cmath>
#include <cstring>

koMotionDetect::koMotionDetect()
    : sampleBoundLowCount(10),
      sampleBoundHighCount(10000),
      sampleBoundLowFraction(0.1),
      sampleBoundHighFraction(0.01) {
  clearSystems();
}

void koMotionDetect::clearSystems() {
  contactBuffers.clear();
  weightedPositionSum = Wm4::Vector3<double>(0.0, 0.0, 0.0);
  center = Wm4::Vector3<double>(0.0, 0.0, 0.0);
  for (tSingleRotAxisSystem* system : {&rotSystemNormals, &rotSystemFaceNormals}) {
    std::memset(system->axisForm, 0, sizeof(system->axisForm));
    for (Wm4::Matrix3<double>& m : system->lineMoment)
      m.MakeZero();
    std::memset(system->momentTensor, 0, sizeof(system->momentTensor));
    system->cachedCount = 0;
    system->cacheValid = false;
  }
  std::memset(translationTensor, 0, sizeof(translationTensor));
  translationNormalSum = Wm4::Vector3<double>(0.0, 0.0, 0.0);
  translationWeight = 0.0;
  cachedTranslationCount = 0;
  translationCacheValid = false;
  std::memset(unmountQuartic, 0, sizeof(unmountQuartic));
  for (Wm4::Vector3<double>& v : unmountCubic)
    v = Wm4::Vector3<double>(0.0, 0.0, 0.0);
  std::memset(unmountTensor, 0, sizeof(unmountTensor));
  vertexCount = 0;
  totalWeight = 0.0;
  radius = 1.0;
}

void koMotionDetect::pushContactPoints(const ko::koVertexBuffer* points) {
  contactBuffers.push_back(points);
}

void koMotionDetect::generateDirectionSamples(unsigned int subdivisions) {
  GenerateDirections(subdivisions, directionSamples);
  koDirectionScan::splitSamples(*this);
}

void koMotionDetect::copyDirectionSamples(const koMotionDetect& other) {
  directionSamples = other.directionSamples;
  mSampleX = other.mSampleX;
  mSampleY = other.mSampleY;
  mSampleZ = other.mSampleZ;
}

unsigned int koMotionDetect::getValidSampleBound(unsigned int count) const {
  double fraction;
  if (count <= sampleBoundLowCount) {
    fraction = sampleBoundLowFraction;
  } else if (count >= sampleBoundHighCount) {
    fraction = sampleBoundHighFraction;
  } else {
    const double lowLog = std::log(static_cast<double>(sampleBoundLowCount));
    const double t = (std::log(static_cast<double>(count)) - lowLog) /
                     (std::log(static_cast<double>(sampleBoundHighCount)) - lowLog);
    fraction = sampleBoundLowFraction + t * (sampleBoundHighFraction - sampleBoundLowFraction);
  }
  const unsigned int bound = static_cast<unsigned int>(count * fraction + 0.5);
  return bound == 0 ? 1u : bound;
}
