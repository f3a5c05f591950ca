#pragma once

#include "Wm4Foundation.h"
#include "koTolvaneLibExport.h"

#include <vector>

class koMeshGroups;

namespace ko {
class koProgressNotifierInterface;
}

// The contact graph of an assembly: its nodes are the groups of a koMeshGroups, its edges are
// contacts between meshes of two different groups. Every edge carries the directions along which
// its groups can be pulled apart, one contact point and, once computeDirectionSet has run, the id
// of the shared direction that each of its directions was merged into.
//
// Fill it with pushContactEdge, then call computeDirectionSet once; afterwards it is only read
// (also concurrently by worker threads). Keeps a reference to the mesh groups, which must outlive
// it. Indices given to the getters must be below the matching count; nothing is checked.
class KOTOLVANE_API koContactDiagram {
public:
  // A contact between two meshes of different groups. Its disassembly directions say how the
  // group of mesh0 moves away from the group of mesh1 (and the group of mesh1 along the opposite
  // direction away from the group of mesh0).
  struct tContactEdge {
    unsigned int mesh0;   // mesh index into koMeshGroups::meshes
    unsigned int mesh1;   // mesh index of the other mesh
    unsigned int group0;  // group id of mesh0
    unsigned int group1;  // group id of mesh1, never equal to group0
  };

private:
  const koMeshGroups& mMeshGroups;

public:
  // Makes computeDirectionSet print progress lines; false after construction, never set by the
  // library.
  bool verbose;

private:
  // Degrees, as given to the last computeDirectionSet; 0 before the first call.
  float mAngleTolerance;
  // Per edge: its directions as pushed (expected to be unit vectors, stored unchanged).
  std::vector<std::vector<Wm4::Vector3<double>>> mDisassemblyDirections;
  // Per edge, parallel to its directions: direction id 2k + s of each direction, k the index of
  // its direction set entry and s 1 when it points opposite to that entry. All 0 until
  // computeDirectionSet runs.
  std::vector<std::vector<unsigned int>> mDisassemblyDirectionIds;
  std::vector<tContactEdge> mEdges;  // in push order; the position is the edge index
  // Per edge: a point of the contact in world coordinates.
  std::vector<Wm4::Vector3<float>> mContactPoints;
  // The shared unit directions; empty until computeDirectionSet runs.
  std::vector<Wm4::Vector3<double>> mDirectionSet;

public:
  // An empty diagram over the mesh groups, with room for expectedEdges edges. The first argument
  // is not read.
  koContactDiagram(unsigned int, unsigned int expectedEdges, const koMeshGroups& meshGroups);

  // The diagram of the meshes alone: every touching pair of meshes of different groups becomes
  // an edge whose directions pull the first mesh's group away from the second's (none when no
  // straight pull undoes the contact), with a contact point in world coordinates. Edges come in
  // ascending pair order for any thread count (0 counts as 1). The notifier (may be null) is
  // opened with the number of touching pairs and advanced once per pair from the workers. The
  // meshes are left unchanged; together they must have a box of positive size. Call
  // computeDirectionSet afterwards, as after filling a diagram by hand.
  koContactDiagram(const koMeshGroups& meshGroups, unsigned int threadCount,
                   ko::koProgressNotifierInterface* notifier);

  // Adds the contact between mesh0 and mesh1 (mesh indices, kept in the order given) with
  // noDirections directions copied from edgeDirections (null is allowed when noDirections is 0)
  // and one contact point. A contact inside one group adds nothing. The new edge's direction ids
  // are 0 until the next computeDirectionSet.
  void pushContactEdge(unsigned int mesh0, unsigned int mesh1,
                       const Wm4::Vector3<double>* edgeDirections, unsigned int noDirections,
                       const Wm4::Vector3<float>& contactPoint);

  // Merges the directions of all edges into the direction set: directions within angleTolerance
  // degrees of each other, or of each other's opposite, share one entry, the refined mean of the
  // cluster. Rebuilds the set and every direction id on each call.
  void computeDirectionSet(float angleTolerance);

  unsigned int getNoContacts() const { return static_cast<unsigned int>(mEdges.size()); }
  unsigned int getNoDirections() const { return static_cast<unsigned int>(mDirectionSet.size()); }
  // Entry k of the direction set: the set index, not a signed direction id.
  const Wm4::Vector3<double>& getDirectionFromId(unsigned int k) const { return mDirectionSet[k]; }
  const tContactEdge& getEdgeData(unsigned int e) const { return mEdges[e]; }
  const std::vector<Wm4::Vector3<double>>& getDisassemblyDirections(unsigned int e) const {
    return mDisassemblyDirections[e];
  }
  const std::vector<unsigned int>& getDisassemblyDirectionIds(unsigned int e) const {
    return mDisassemblyDirectionIds[e];
  }
  const Wm4::Vector3<float>& getContactPoint(unsigned int e) const { return mContactPoints[e]; }
  // Degrees; the one the current direction set was built with.
  float getAngleTolerance() const { return mAngleTolerance; }
};
