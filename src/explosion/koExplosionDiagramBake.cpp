// Moving the host meshes into the exploded pose and back.

#include "koExplosionDiagram.h"

#include "koMeshGroups.h"

#include <ko/koTriMesh.h>

namespace {

// Moves every mesh of every group by its group's final translation in world space (bake), or by
// its opposite (unbake).
void moveMeshes(const koMeshGroups& meshGroups,
                const std::vector<Wm4::Vector3<float>>& translations, bool bake) {
  for (unsigned int g = 0; g < meshGroups.getNoGroups(); ++g) {
    for (unsigned int k = 0; k < meshGroups.getNoMeshes(g); ++k) {
      ko::koTriMesh* mesh = meshGroups.getMesh(g, k);
      if (mesh == nullptr)
        continue;
      mesh->markChanged();
      // Through the parent's world transformation alone: an update of the mesh itself would run
      // the animation's controllers, which set the local translation this step edits.
      const Wm4::Vector3<float> offset = mesh->parentSpaceOffset(translations[g]);
      // SetTranslate also refreshes the identity flag: set exactly when the translation is back
      // to zero with an identity rotation and unit scale.
      mesh->Local.SetTranslate(bake ? mesh->Local.GetTranslate() + offset
                                    : mesh->Local.GetTranslate() - offset);
    }
  }
}

} // namespace

void koExplosionDiagram::bakeTranslations() const {
  moveMeshes(meshGroups, finalPerGroupTranslations, true);
}

void koExplosionDiagram::unbakeTranslations() const {
  moveMeshes(meshGroups, finalPerGroupTranslations, false);
}
