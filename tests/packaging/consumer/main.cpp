#include <koTolvaneLib.h>
#include <ko/koPlatform.h>

#include <iostream>
#include <vector>

// Uses a library class, a platform class and the Wm4 names, so that headers, libraries and
// their link order all have to be right.
int main() {
  ko::koAttributes attributes;
  attributes.SetPositionChannels(3);
  std::vector<ko::koPointer<ko::koTriMesh>> owned;
  std::vector<ko::koTriMesh*> meshes;
  for (int i = 0; i < 3; ++i) {
    owned.emplace_back(new ko::koTriMesh(new ko::koVertexBuffer(attributes, 3),
                                         new ko::koIndexBuffer(3, 1)));
    owned.back()->VBuffer->Position3(1) = Wm4::Vector3<float>(1.0f, 0.0f, 0.0f);
    meshes.push_back(owned.back());
  }
  koMeshGroups groups(meshes, nullptr);
  std::cout << "koTolvaneLib "
            << koTolvaneLib::Version::GetDescStringMajorMinorReleaseRevision(false) << ", "
            << groups.getNoGroups() << " groups" << std::endl;
  return 0;
}
