// The demo host: builds a small gearbox out of boxes, groups its meshes into rigid parts and
// measures every part on the library's worker pool.

#include "koBoxMesh.h"

#include <koTolvaneLib.h>
#include <ko/koNode.h>
#include <ko/koPointer.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using Vec = Wm4::Vector3<float>;

struct Part {
  const char* name;
  Vec minCorner, maxCorner;
  unsigned int group;
};

// Housing walls and floor form one rigid part; everything else is its own part.
const Part kGearbox[] = {
    {"housing floor", {0, 0, 0}, {10, 6, 1}, 0},
    {"housing wall left", {0, 0, 1}, {1, 6, 5}, 0},
    {"housing wall right", {9, 0, 1}, {10, 6, 5}, 0},
    {"lid", {0, 0, 5}, {10, 6, 6}, 1},
    {"screw front left", {0.25f, 0.25f, 4}, {0.75f, 0.75f, 6.5f}, 2},
    {"screw front right", {9.25f, 0.25f, 4}, {9.75f, 0.75f, 6.5f}, 3},
    {"screw back left", {0.25f, 5.25f, 4}, {0.75f, 5.75f, 6.5f}, 4},
    {"screw back right", {9.25f, 5.25f, 4}, {9.75f, 5.75f, 6.5f}, 5},
    {"input shaft", {-1, 2.5f, 2.5f}, {5, 3.5f, 3.5f}, 6},
    {"output shaft", {5, 2.5f, 2.5f}, {11, 3.5f, 3.5f}, 7},
    {"input gear", {3, 1, 1.5f}, {4, 5, 4.5f}, 8},
    {"output gear", {6, 1.5f, 2}, {7, 4.5f, 4}, 9},
};

// One job measures the world box of one group.
struct GroupBoxes {
  const koMeshGroups* groups;
  std::vector<Vec> minCorners, maxCorners;
};

struct MeasureGroup {
  void operator()(unsigned int group, unsigned int /*thread*/, void* jobData) {
    auto& boxes = *static_cast<GroupBoxes*>(jobData);
    const float big = Wm4::Math<float>::MAX_REAL;
    Vec low(big, big, big), high(-big, -big, -big);
    for (unsigned int k = 0; k < boxes.groups->getNoMeshes(group); ++k) {
      const ko::koTriMesh* mesh = boxes.groups->getMesh(group, k);
      for (int v = 0; v < mesh->VBuffer->GetVertexQuantity(); ++v) {
        const Vec p = mesh->World.ApplyForward(mesh->VBuffer->Position3(v));
        for (int axis = 0; axis < 3; ++axis) {
          low[axis] = std::min(low[axis], p[axis]);
          high[axis] = std::max(high[axis], p[axis]);
        }
      }
    }
    boxes.minCorners[group] = low;
    boxes.maxCorners[group] = high;
  }
};

} // namespace

int main() {
  std::printf("koTolvaneLib %s\n",
              koTolvaneLib::Version::GetDescStringMajorMinorReleaseRevisionDate());

  ko::koPointer<ko::koNode> scene = new ko::koNode;
  std::vector<ko::koTriMesh*> meshes;
  std::vector<unsigned int> groupIds;
  for (const Part& part : kGearbox) {
    ko::koTriMesh* mesh = makeBoxMesh(part.name, part.minCorner, part.maxCorner);
    scene->attachChild(mesh);
    meshes.push_back(mesh);
    groupIds.push_back(part.group);
  }
  scene->UpdateGS();

  const koMeshGroups groups(meshes, &groupIds);
  GroupBoxes boxes{&groups, std::vector<Vec>(groups.getNoGroups()),
                   std::vector<Vec>(groups.getNoGroups())};
  MeasureGroup measure;
  koMiniThreadPool<MeasureGroup> pool(measure, 2, nullptr);
  pool.run(&boxes, groups.getNoGroups());

  std::printf("%u meshes in %u rigid parts\n", static_cast<unsigned>(meshes.size()),
              groups.getNoGroups());
  for (unsigned int g = 0; g < groups.getNoGroups(); ++g) {
    const Vec& low = boxes.minCorners[g];
    const Vec& high = boxes.maxCorners[g];
    std::printf("part %2u  [%5.2f %5.2f %5.2f] - [%5.2f %5.2f %5.2f] ", g, low.X(), low.Y(),
                low.Z(), high.X(), high.Y(), high.Z());
    for (unsigned int k = 0; k < groups.getNoMeshes(g); ++k)
      std::printf("%s%s", k == 0 ? " " : ", ", groups.getMesh(g, k)->GetName().c_str());
    std::printf("\n");
  }
  return 0;
}
