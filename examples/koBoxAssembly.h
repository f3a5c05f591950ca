#pragma once

#include "koBoxMesh.h"

#include <koContactDiagram.h>
#include <koMeshGroups.h>
#include <ko/koNode.h>
#include <ko/koPointer.h>

#include <memory>
#include <string>
#include <vector>

// An assembly of axis-aligned boxes, with its contact diagram filled by hand the way a host
// that knows its geometry would: every pair of boxes of different parts that share a patch of
// face becomes a contact edge whose directions are the outward normal of the first box's face
// (it can be pulled straight off) and the four directions tangent to the face (it can slide).
// Boxes of one part may overlap; boxes of different parts only touch.
class koBoxAssembly {
public:
  struct tBox {
    std::string name;
    Wm4::Vector3<float> minCorner, maxCorner;
    unsigned int part;
  };

  // Adds a box as a new mesh of the given part (a group id) and returns its mesh index.
  unsigned int addBox(const std::string& name, const Wm4::Vector3<float>& minCorner,
                      const Wm4::Vector3<float>& maxCorner, unsigned int part);
  // Adds a box as a part of its own (the next unused part id).
  unsigned int addPart(const std::string& name, const Wm4::Vector3<float>& minCorner,
                       const Wm4::Vector3<float>& maxCorner);

  // Builds the meshes into a scene, groups them and fills the contact diagram, with the
  // direction set merged within the angle tolerance (degrees). With diagonals, every contact
  // also lists the diagonals between its normal and tangents (face and cube diagonals), which
  // gives an assembly with faces along all three axes 13 directions instead of 3.
  void finish(float angleTolerance = 5.0f, bool withDiagonals = false);

  const std::vector<tBox>& boxes() const { return mBoxes; }
  ko::koNode& scene() { return *mScene; }
  const koMeshGroups& meshGroups() const { return *mMeshGroups; }
  koContactDiagram& diagram() { return *mDiagram; }
  const koContactDiagram& diagram() const { return *mDiagram; }
  // Looks a part up by the name of one of its boxes; 0xFFFFFFFF when no box has that name.
  unsigned int partOf(const std::string& boxName) const;
  // A readable name of a part: its box's name for a one-box part, else its first box's name
  // without the last word ("input gear top" names the part "input gear").
  std::string partName(unsigned int part) const;

private:
  void pushFaceContacts(bool withDiagonals);

  std::vector<tBox> mBoxes;
  unsigned int mNextPart = 0;
  ko::koPointer<ko::koNode> mScene;
  std::vector<ko::koTriMesh*> mMeshes;
  std::unique_ptr<koMeshGroups> mMeshGroups;
  std::unique_ptr<koContactDiagram> mDiagram;
};
