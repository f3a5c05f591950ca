#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <ko/koPointer.h>
#include <ko/koTriMesh.h>
#include <ko/koVertexBuffer.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace ko {
class koProgressNotifierInterface;
}
class koContactDiagram;
class koDisassemblyHierarchyBuilder;
class koMeshGroups;
class koQBVH;

// Finds groups that block each other without touching (a bolt head in the way of a cover that
// slides out where nothing touches it) and hands them to a hierarchy builder as distant edges.
// Rays are cast from sample points of every group, along each of its candidate removal
// directions, against the meshes of the other groups.
//
// Use: construct after the builder, computeDistantContacts() once, destroy; all before the
// builder's initSolver(). Keeps references to the builder, its diagram and its mesh groups.
// Works in world coordinates: meshes placed by a World transformation other than the identity
// are analysed through world-space copies.
class KOTOLVANE_API koDistantContacts {
public:
  static constexpr unsigned int None = 0xFFFFFFFFu;

  // One mesh seen along one direction d of the direction set, with the cross axes u and v of d.
  struct tBoundingPlanes {
    float dMin, dMax;      // the mesh's interval of vertex . d
    float crossMin[2];     // minima of vertex . v and vertex . u
    float crossMax[2];     // maxima, in the same order
    // How far the mesh must travel along +d (index 0) and -d (index 1) to leave every mesh it
    // touches; -1 when it touches nothing along d.
    float clearance[2];
  };

  // A found blocking relation: group0 < group1 block each other along `entry`, a direction entry
  // (k | s * 2^31) naming the motion of group0 relative to group1.
  struct tRelation {
    unsigned int group0;
    unsigned int group1;
    unsigned int entry;
    unsigned int score;
  };

  // Computes the triangle normals and builds one ray hierarchy per mesh.
  explicit koDistantContacts(koDisassemblyHierarchyBuilder& builder);
  ~koDistantContacts();
  koDistantContacts(const koDistantContacts&) = delete;
  koDistantContacts& operator=(const koDistantContacts&) = delete;

  // Finds the relations on noThreads workers (0 counts as 1) and pushes them to the builder as
  // one distant edge per pair of groups. The notifier (may be null) is opened with the number of
  // groups and advanced by one per group from the workers. Does nothing without directions.
  void computeDistantContacts(unsigned int noThreads, ko::koProgressNotifierInterface* notifier);

  // Steps of computeDistantContacts, public for tests.
  void computeBoundingPlanes();
  void initQBVH();
  // Sample points of a mesh for rays along `direction` (a unit vector near direction set entry
  // `entry`): an even spread over the mesh's outline across the direction, each placed just
  // behind the mesh's rear surface, with the direction as its normal. About sampleBudget points;
  // none for a mesh without triangles.
  void sampleMesh(unsigned int mesh, unsigned int entry, const Wm4::Vector3<float>& direction,
                  ko::koPointer<ko::koVertexBuffer>& samples) const;

  // Valid after computeBoundingPlanes().
  const tBoundingPlanes& getBoundingPlanes(unsigned int mesh, unsigned int k) const {
    return mBoundingPlanes[mesh * mNoDirections + k];
  }
  float getSceneDiagonal() const { return mSceneDiagonal; }
  // Rays cast by the last computeDistantContacts, sampling included.
  uint64_t getNoRaysCast() const;

  // An obstacle counts only where its surface faces the ray by more than this (degrees).
  float facingAngle;
  // Blockers hit by no more than this share of the samples get a score below 0x80000000.
  float partialHitRatio;
  // The number of samples aimed at per mesh and direction.
  unsigned int sampleBudget;

private:
  friend struct koDistantContactsJob;

  // The job of one group on one worker: appends the group's relations to the worker's list.
  void findGroupRelations(unsigned int group, unsigned int worker);
  // The groups that a mesh runs into along `direction` (near the direction of `entry`), as
  // relations (mesh's group, other group, entry, blocking score) ascending by other group. Of
  // several meshes of one other group, the lowest score counts.
  void rayTest(unsigned int mesh, unsigned int entry, const Wm4::Vector3<float>& direction,
               unsigned int worker, std::vector<tRelation>& found);
  // sampleMesh, counting its rays.
  void sampleMesh(unsigned int mesh, const Wm4::Vector3<float>& direction,
                  ko::koPointer<ko::koVertexBuffer>& samples, uint64_t& rays) const;
  void buildCandidates();
  void handOver();

  koDisassemblyHierarchyBuilder& mBuilder;
  const koContactDiagram& mDiagram;
  const koMeshGroups& mMeshGroups;
  unsigned int mNoDirections;

  // Per mesh, per triangle: the unit normal (v1 - v0) x (v2 - v0).
  std::vector<std::vector<Wm4::Vector3<float>>> mTriangleNormals;
  std::vector<std::unique_ptr<koQBVH>> mHierarchies;  // per mesh
  // Per mesh: the mesh itself when its World transformation is the identity, else a world-space
  // copy held in mWorldCopies.
  std::vector<const ko::koTriMesh*> mWorldMeshes;
  std::vector<ko::koPointer<ko::koTriMesh>> mWorldCopies;
  std::vector<tBoundingPlanes> mBoundingPlanes;      // mesh * D + direction
  float mSceneDiagonal;

  // Per group: candidate directions as (direction set index, vector), sorted by index, with the
  // near-duplicates of one index removed.
  struct tCandidate {
    unsigned int k;
    Wm4::Vector3<double> vector;
  };
  std::vector<std::vector<tCandidate>> mCandidates;

  // Per worker: one score slot per group (None when idle), the relations found, rays cast.
  std::vector<std::vector<unsigned int>> mWorkerScores;
  std::vector<std::vector<tRelation>> mWorkerRelations;
  std::vector<uint64_t> mWorkerRays;
};
