#include "koMotionDetect.h"

#include "motion/koMotionMath.h"

#include <limits>

unsigned int koMotionDetect::getBestTranslationParameters(Wm4::Vector3<double>* directions) {
  if (!translationCacheValid) {
    // The principal axes of the face normals, least spread first: the first ones run along the
    // contact surfaces. The scaling to trace 3 makes the eigen solver's tolerances size-free.
    const double trace = translationTensor[0] + translationTensor[3] + translationTensor[5];
    const double scale = trace != 0.0 ? 3.0 / trace : 1.0;
    const double* t = translationTensor;
    Wm4::Eigen<double> eigen(3);
    const int entries[6][2] = {{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}, {2, 2}};
    for (int e = 0; e < 6; ++e) {
      eigen(entries[e][0], entries[e][1]) = t[e] * scale;
      eigen(entries[e][1], entries[e][0]) = t[e] * scale;
    }
    eigen.EigenStuff3();

    struct tPair {
      double value;
      Wm4::Vector3<double> vector;
    } pairs[3];
    for (int i = 0; i < 3; ++i) {
      pairs[i].value = eigen.GetEigenvalue(i);
      eigen.GetEigenvector(i, pairs[i].vector);
    }
    koStableSort3(pairs, [](const tPair& p) { return p.value; });

    // Sliding axes fill the front in order, the others the back.
    unsigned int front = 0, back = 2;
    for (const tPair& p : pairs) {
      if (validateTranslation(p.vector))
        cachedTranslations[front++] = p.vector;
      else
        cachedTranslations[back--] = p.vector;
    }
    cachedTranslationCount = front;
    translationCacheValid = true;
  }
  for (int i = 0; i < 3; ++i)
    directions[i] = cachedTranslations[i];
  return cachedTranslationCount;
}

// Rotation axes are searched like removal directions: the best sample, the best direction across
// it and the third axis, each scored in the system of vertex normals and that of face normals,
// each kept with the axis point of the system that scored it lower.
unsigned int koMotionDetect::getBestRotationParameters(Wm4::Vector3<double>* axes,
                                                       Wm4::Vector3<double>* points) {
  tSingleRotAxisSystem& cache = rotSystemNormals;
  if (!cache.cacheValid) {
    Wm4::Vector3<double> translations[3];
    getBestTranslationParameters(translations);

    // Replaces the best axis by candidate when one of its two scores is strictly lower.
    double best = std::numeric_limits<double>::infinity();
    Wm4::Vector3<double> bestAxis, bestPoint;
    auto consider = [&](const Wm4::Vector3<double>& candidate) {
      for (const tSingleRotAxisSystem* system : {&rotSystemNormals, &rotSystemFaceNormals}) {
        Wm4::Vector3<double> point;
        const double score = getSingleRotationScore(candidate, point, *system);
        if (score < best) {
          best = score;
          bestAxis = candidate;
          bestPoint = point;
        }
      }
    };
    auto restart = [&](const Wm4::Vector3<double>& fallback) {
      best = std::numeric_limits<double>::infinity();
      bestAxis = fallback;
      bestPoint = center;
    };

    Wm4::Vector3<double> found[3], foundPoints[3];
    restart(Wm4::Vector3<double>(1.0, 0.0, 0.0));
    for (const Wm4::Vector3<double>& d : directionSamples)
      consider(d);
    if (directionSamples.empty())
      consider(bestAxis);
    found[0] = bestAxis;
    foundPoints[0] = bestPoint;

    Wm4::Vector3<double> u1, u2;
    koPerpendicularBasis(found[0], u1, u2);
    const unsigned int m = koGreatCircleSize(directionSamples.size());
    restart(directionSamples.empty() ? Wm4::Vector3<double>(0.0, 1.0, 0.0)
                                     : koGreatCircleDirection(u1, u2, 0, m));
    for (unsigned int i = 0; i < m; ++i)
      consider(koGreatCircleDirection(u1, u2, i, m));
    if (m == 0)
      consider(bestAxis);
    found[1] = bestAxis;
    foundPoints[1] = bestPoint;

    restart(found[0].Cross(found[1]));
    consider(bestAxis);
    found[2] = bestAxis;
    foundPoints[2] = bestPoint;

    cache.cachedCount = 0;
    for (int k = 0; k < 3; ++k) {
      const double angle = computeMaxAngleDeviation(found[k], foundPoints[k]);
      if (validateRotation(found[k], foundPoints[k], angle)) {
        cache.cachedAxes[cache.cachedCount] = found[k];
        cache.cachedPoints[cache.cachedCount++] = foundPoints[k];
      }
    }
    cache.cacheValid = true;
  }
  for (unsigned int i = 0; i < cache.cachedCount; ++i) {
    axes[i] = cache.cachedAxes[i];
    points[i] = cache.cachedPoints[i];
  }
  return cache.cachedCount;
}
