#include <ko/koMeshManager.h>

#include <ko/koNode.h>
#include <ko/koProgressNotifierInterface.h>
#include <ko/koTriMesh.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <locale>
#include <vector>

namespace ko::koMeshManager {

namespace {

void collectMeshes(const koSpatial* object, std::vector<const koTriMesh*>& meshes) {
  if (object == nullptr)
    return;
  if (const auto* mesh = dynamic_cast<const koTriMesh*>(object)) {
    meshes.push_back(mesh);
    return;
  }
  if (const auto* node = dynamic_cast<const koNode*>(object))
    for (int i = 0; i < node->GetQuantity(); ++i)
      collectMeshes(node->GetChild(i), meshes);
}

// The object name on one line: line breaks would start a new OBJ statement.
std::string objectName(const koTriMesh& mesh, size_t index) {
  std::string name = mesh.GetName();
  if (name.empty())
    return "mesh" + std::to_string(index);
  for (char& c : name)
    if (c == '\n' || c == '\r')
      c = ' ';
  return name;
}

void writeVector(std::ostream& out, const char* tag, const Wm4::Vector3<float>& v) {
  out << tag << ' ' << v[0] << ' ' << v[1] << ' ' << v[2] << '\n';
}

// The numbers of vertices and of normals written so far: OBJ indices count each kind on its own.
struct tWritten {
  long vertices = 0;
  long normals = 0;
};

// Writes one mesh after those counted in `written`, and counts it.
void writeMesh(std::ostream& out, const koTriMesh& mesh, const std::string& name,
               tWritten& written) {
  const koVertexBuffer& buffer = *mesh.VBuffer;
  const int noVertices = buffer.GetVertexQuantity();
  const bool normals = buffer.GetAttributes().HasNormal();
  out << "o " << name << '\n';
  for (int i = 0; i < noVertices; ++i)
    writeVector(out, "v", mesh.World.ApplyForward(buffer.Position3(i)));
  if (normals) {
    // Normals follow the inverse transpose of the linear part, which is the adjugate transposed
    // up to the sign of the determinant; unlike the inverse it also exists for a flat map.
    const Wm4::Matrix3<float> linear = mesh.World.GetLinearMatrix();
    const Wm4::Matrix3<float> cofactors = linear.Adjoint().Transpose();
    const float sign = linear.Determinant() < 0.0f ? -1.0f : 1.0f;
    for (int i = 0; i < noVertices; ++i) {
      Wm4::Vector3<float> n = cofactors * buffer.Normal3(i) * sign;
      const float length = n.Length();
      if (length > 0.0f)
        n /= length;
      writeVector(out, "vn", n);
    }
  }
  for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
    int v[3];
    mesh.GetTriangle(t, v[0], v[1], v[2]);
    if (v[0] < 0 || v[1] < 0 || v[2] < 0 || v[0] >= noVertices || v[1] >= noVertices ||
        v[2] >= noVertices)
      continue;
    out << 'f';
    for (int c = 0; c < 3; ++c) {
      out << ' ' << written.vertices + v[c] + 1;
      if (normals)
        out << "//" << written.normals + v[c] + 1;
    }
    out << '\n';
  }
  written.vertices += noVertices;
  written.normals += normals ? noVertices : 0;
}

} // namespace

bool saveMesh(const std::string& path, const koSpatial* object,
              koProgressNotifierInterface* notifier, const tOptions& /*options*/) {
  std::ofstream out(path, std::ios::out | std::ios::trunc);
  if (!out)
    return false;
  std::vector<const koTriMesh*> meshes;
  collectMeshes(object, meshes);
  if (notifier != nullptr)
    notifier->openRange(static_cast<double>(meshes.size()));
  // Numbers as every OBJ reader expects them, whatever the global locale, and floats exactly.
  out.imbue(std::locale::classic());
  out.precision(std::numeric_limits<float>::max_digits10);

  tWritten written;
  for (size_t k = 0; k < meshes.size(); ++k) {
    const koTriMesh& mesh = *meshes[k];
    if (mesh.VBuffer != nullptr && mesh.VBuffer->GetAttributes().HasPosition())
      writeMesh(out, mesh, objectName(mesh, k), written);
    if (notifier != nullptr)
      notifier->advance(1.0);
  }
  out.close();
  return !out.fail();
}

} // namespace ko::koMeshManager
