#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <vector>

namespace ko {
class koNode;
class koTriMesh;
class koVertexBuffer;
}

// How one part of a touching pair can move away from the other. The contact point pairs of the
// pair are read once and folded into fixed-size moment sums (the systems), so a candidate
// translation or rotation axis is scored in constant time; the scores are minimised over a dense
// fixed set of unit directions (the direction samples).
//
// Use: generateDirectionSamples (or copyDirectionSamples) once; then per pair clearSystems,
// pushContactPoints for side A and then side B, centerSystems, and the queries. The pushed buffers
// must stay alive until the queries are done. One object is used by one thread at a time.
//
// Contact point buffers hold vertex pairs 2k, 2k + 1 (a sample on the buffer's side and the point
// it meets on the other side) with position, normal, texture channel 0 with 3 components (the
// unit face normal) and point size (the weight, equal in both vertices of a pair).
//
// Symmetric 3x3 matrices stored as 6 doubles are in the order xx, xy, xz, yy, yz, zz. All
// directions are removal directions of side A (the first buffer) relative to side B.
class KOTOLVANE_API koMotionDetect {
public:
  // The moment sums from which the score of any rotation axis follows (see getSingleRotationScore).
  // n below is the vertex normal or the face normal, p the position relative to the centre, w the
  // weight; centerSystems rescales the sums as if p were divided by radius and w by totalWeight.
  struct tSingleRotAxisSystem {
    // Q(a) = sum of w (n x a)(n x a)^T as a quadratic form in the axis a: block m belongs to the
    // monomial m of (ax^2, ay^2, az^2, ax ay, ax az, ay az) and holds the coefficients of the
    // entries Q00, Q01, Q02, Q11, Q12, Q22.
    double axisForm[6][6];
    // lineMoment[k][i][j] = sum of w K[k][i] c[j], K the cross-product matrix of n, c = n x p.
    Wm4::Matrix3<double> lineMoment[3];
    double momentTensor[6];  // sum of w c c^T
    // The last result of getBestRotationParameters; valid only in rotSystemNormals and only
    // while cacheValid.
    Wm4::Vector3<double> cachedAxes[3];
    Wm4::Vector3<double> cachedPoints[3];
    unsigned int cachedCount;
    bool cacheValid;
  };

  // The unit direction samples. Change them only through generateDirectionSamples or
  // copyDirectionSamples, which keep the per-coordinate copy that computeRemovalDirection scans.
  std::vector<Wm4::Vector3<double>> directionSamples;
  // The pushed contact point buffers in push order (side A, then side B); not owned.
  std::vector<const ko::koVertexBuffer*> contactBuffers;
  Wm4::Vector3<double> weightedPositionSum;  // sum of w P over all vertices
  Wm4::Vector3<double> center;               // weighted centre of all vertices
  tSingleRotAxisSystem rotSystemNormals;      // built with the vertex normals
  tSingleRotAxisSystem rotSystemFaceNormals;  // built with the face normals
  double translationTensor[6];                // sum of w T T^T, T the face normal
  Wm4::Vector3<double> translationNormalSum;  // sum of w T
  double translationWeight;                   // sum of w
  // The last result of getBestTranslationParameters, valid while translationCacheValid.
  Wm4::Vector3<double> cachedTranslations[3];
  unsigned int cachedTranslationCount;
  bool translationCacheValid;
  // With q(T) = (Tx^2, Ty^2, Tz^2, (Tx + Ty)^2, (Tx + Tz)^2, (Ty + Tz)^2):
  double unmountQuartic[6][6];              // block k: sum of w q_k(T) T T^T
  Wm4::Vector3<double> unmountCubic[6];     // vector k: sum of w q_k(T) T
  double unmountTensor[6];                  // sum of w T T^T
  unsigned int vertexCount;                 // vertices read by centerSystems
  double totalWeight;                       // sum of w over all vertices
  double radius;  // largest distance of a vertex from the centre; 1.0 after clearSystems
  // How many blocking contact pairs a motion tolerates: the fraction of pairs falls
  // logarithmically from sampleBoundLowFraction at sampleBoundLowCount pairs to
  // sampleBoundHighFraction at sampleBoundHighCount pairs.
  unsigned int sampleBoundLowCount;    // 10
  unsigned int sampleBoundHighCount;   // 10000
  double sampleBoundLowFraction;       // 0.1
  double sampleBoundHighFraction;      // 0.01

  koMotionDetect();

  // Forgets the pushed buffers and zeroes every sum; keeps the direction samples.
  void clearSystems();
  void pushContactPoints(const ko::koVertexBuffer* points);
  // Reads every pushed buffer and fills all systems. Normals are turned to point from side A
  // towards side B: a vertex whose parity differs from its buffer's push position is negated.
  // Without vertices (or with zero total weight) the centre stays at the origin.
  void centerSystems();

  // The pieces of centerSystems, for hosts that build systems themselves.
  void pushPointToSingleTranslationSystem(const Wm4::Vector3<double>& position,
                                          const Wm4::Vector3<double>& normal, double weight);
  void pushPointToSingleUnmountAxisSystem(const Wm4::Vector3<double>& normal, double weight);
  void pushPointToSingleRotationSystem(const Wm4::Vector3<double>& position,
                                       const Wm4::Vector3<double>& normal, double weight,
                                       tSingleRotAxisSystem& system);
  // m[i][j] += weight x[i] y[j].
  static void PushTensorProduct(Wm4::Matrix3<double>& m, const Wm4::Vector3<double>& x,
                                const Wm4::Vector3<double>& y, double weight);

  // Replaces directions by 15 + 30 k + 10 k (k - 1) unit vectors: the three axes, the 12
  // icosahedron vertices and a geodesic subdivision of its faces into (k + 1)^2 triangles each.
  // k = 300 gives 906015 directions.
  static void GenerateDirections(unsigned int subdivisions,
                                 std::vector<Wm4::Vector3<double>>& directions);
  void generateDirectionSamples(unsigned int subdivisions);
  void copyDirectionSamples(const koMotionDetect& other);
  // At least 1; a motion is accepted when fewer of count contact pairs block it.
  unsigned int getValidSampleBound(unsigned int count) const;

  // Sum over all contact points of w (T . d)^2 (1 + T . d)^2: 0 exactly when every contact
  // slides along d or is lifted straight off by d. Not normalised.
  double getSingleDisassemblyDirectionScore(const Wm4::Vector3<double>& d) const;
  // (d^T translationTensor d) / totalWeight.
  double getSingleTranslationScore(const Wm4::Vector3<double>& d) const;
  // How far the contacts of system are from moving tangentially when turning about an axis
  // along axis; point receives the best point of that axis (world coordinates).
  double getSingleRotationScore(const Wm4::Vector3<double>& axis, Wm4::Vector3<double>& point,
                                const tSingleRotAxisSystem& system) const;

  // Separation test: whether side A can be pulled away along d; score receives how much the
  // contact pairs resist (0 when every pair is lifted straight off).
  bool validateTranslation(const Wm4::Vector3<double>& d, double& score) const;
  // Sliding test: whether d runs along the contact surfaces.
  bool validateTranslation(const Wm4::Vector3<double>& d) const;
  // Whether turning by up to angle (radians) about the line through point along axis keeps the
  // contact pairs sliding.
  bool validateRotation(const Wm4::Vector3<double>& axis, const Wm4::Vector3<double>& point,
                        double angle) const;
  // The angle (radians, at most 10 degrees) a rotation about that line may turn, from how the
  // contact region surrounds the line.
  double computeMaxAngleDeviation(const Wm4::Vector3<double>& axis,
                                  const Wm4::Vector3<double>& point) const;

  // Up to 3 unit directions along which side A can be removed from side B, best first, written to
  // directions[0..n) with twoWay[i] set when the opposite direction is also a removal direction.
  // Returns n.
  unsigned int computeRemovalDirection(Wm4::Vector3<double>* directions, bool* twoWay);
  // Writes 3 directions to directions[0..3): the principal axes of the face normals along which
  // the contacts slide first, then the others. Returns how many slide. Cached until the next
  // clearSystems or centerSystems.
  unsigned int getBestTranslationParameters(Wm4::Vector3<double>* directions);
  // Writes up to 3 rotation axes with a point of each to axes[0..n) and points[0..n). Returns n.
  // Cached until the next clearSystems or centerSystems.
  unsigned int getBestRotationParameters(Wm4::Vector3<double>* axes, Wm4::Vector3<double>* points);

  // A point of the contact region on the line of d that the region surrounds, from the convex
  // hull of all vertices of the non-null buffers projected across d. quality receives how round
  // and how wide the hull is around that point, 0 for fewer than two distinct projected points.
  static Wm4::Vector3<float> ComputeCircleBasedCentroid(const Wm4::Vector3<float>& d,
                                                        std::vector<ko::koVertexBuffer*> buffers,
                                                        float& quality);

  // Debug geometry that shows a motion found for the pair meshA, meshB; the analysis never calls
  // these. Each shape is sized from the bounding box of both meshes' vertex positions (local
  // coordinates, as stored) and runs along one line over an interval clipped to that box, at
  // least a quarter of its largest extent long, then lengthened at both ends. The new meshes
  // carry positions and normals, 10 segments per cross section, and the average material of the
  // input meshes that have one (none when neither has). meshA and meshB must hold at least one
  // vertex between them. The caller owns the result (wrap it in a koPointer).
  //
  // A closed cylinder around the line through point along axis, over the box grown by 1% of its
  // largest extent, lengthened by 1/8 at each end, with a diameter of 1% of its length: 42
  // vertices (start cap ring, two side rings, end cap ring, start and end cap centres), 40
  // triangles.
  static ko::koTriMesh* ComputeAxisMesh(Wm4::Vector3<double> const& axis,
                                        Wm4::Vector3<double> const& point,
                                        ko::koTriMesh const* meshA, ko::koTriMesh const* meshB);
  // A double-headed arrow on the line through the box centre along d, lengthened by 1/8 at each
  // end: a closed shaft of radius 0.03 times the length over the interval, and at each end a
  // closed cone twice as wide that reaches 0.1 times the length beyond it. 64 vertices, 80
  // triangles.
  ko::koTriMesh* computeTranslationMesh(Wm4::Vector3<double> const& d, ko::koTriMesh const* meshA,
                                        ko::koTriMesh const* meshB) const;
  // A node with two arrows on the line through the box centre along d, lengthened by 0.3 at each
  // end, each a closed dart over the whole interval (shaft radius 0.03 and head length 0.1 times
  // the length; 22 vertices, 20 triangles). "Unmount_<A>_<B>" points along d, the way A leaves B.
  // "Unmount_<B>_<A>" shows a way B leaves A: along -d, or along +d when twoWay says that A may
  // also leave along -d.
  ko::koNode* computeDisassemblyDirectionMesh(Wm4::Vector3<double> const& d, bool twoWay,
                                              ko::koTriMesh* meshA, ko::koTriMesh* meshB) const;

private:
  friend class koDirectionScan;

  // directionSamples once more, one array per coordinate, in aligned blocks of 8 so the scan for
  // the lowest score runs on whole vectors; the last block is padded with NaN, which never scores
  // lowest.
  struct alignas(64) tSampleBlock {
    double lane[8];
  };
  std::vector<tSampleBlock> mSampleX, mSampleY, mSampleZ;
};
