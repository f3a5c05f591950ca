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
      mesh->UpdateGS(0.0);
      mesh->markChanged();
      // A world offset T is the local offset L * W^-1 * T, with W and L the world and local
      // linear parts (the parent's linear part is W * L^-1).
      const Wm4::Matrix3<float> toModel =
          mesh->World.GetLinearMatrix().Inverse(Wm4::Math<float>::ZERO_TOLERANCE);
      const Wm4::Vector3<float> offset =
          mesh->Local.GetLinearMatrix() * (toModel * translations[g]);
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
