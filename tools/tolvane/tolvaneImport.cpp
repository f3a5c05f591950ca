#include "tolvaneImport.h"

#include "tolvaneAssimpGuards.h"
#include "tolvaneInputError.h"
#include "tolvaneMeshConversion.h"
#include "tolvaneUniqueNames.h"

#include <ko/koVertexBuffer.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Assimp checks its own scene first: some readers leave broken meshes for malformed files (an OFF
// file promising more vertices than it has leaves faces without indices), on which the
// triangulation aborts. Vertices are joined by the conversion (the platform's exact weld), much
// faster than assimp's aiProcess_JoinIdenticalVertices.
constexpr unsigned int kReading = aiProcess_ValidateDataStructure;

// Triangulates a scene that assimp read and validated. Assimp's triangulation asserts (aborting
// the program) on a mesh whose primitive marks claim polygons it does not hold, and on faces
// without corners, both of which its PLY reader makes of some malformed files (assimp's validation
// lets them pass): the latter are refused, the marks set from the faces.
const aiScene* triangulate(Assimp::Importer& importer, const aiScene* scene,
                           const std::string& where) {
  if (!scene)
    return nullptr;
  for (unsigned int m = 0; m < scene->mNumMeshes; ++m) {
    aiMesh& mesh = *scene->mMeshes[m];  // the importer's own scene, ours to fix
    unsigned int marks = 0;
    for (unsigned int f = 0; f < mesh.mNumFaces; ++f) {
      const unsigned int corners = mesh.mFaces[f].mNumIndices;
      if (corners == 0)
        throw tolvaneInputError(where + ": face " + std::to_string(f) + " has no corners");
      marks |= corners == 1   ? aiPrimitiveType_POINT
               : corners == 2 ? aiPrimitiveType_LINE
               : corners == 3 ? aiPrimitiveType_TRIANGLE
                              : aiPrimitiveType_POLYGON;
    }
    mesh.mPrimitiveTypes = marks;
  }
  return importer.ApplyPostProcessing(aiProcess_Triangulate);
}

// Single precision resolves a coordinate of magnitude m only in steps of about m * 2^-23. An
// assembly spanning fewer steps than this at its farthest coordinate (1 mm seen from 100 m away)
// would be analysed on rounding noise: its contacts and welds would not mean anything.
constexpr float kLeastSteps = 1000.0f;

struct tSource {
  std::string path;
  std::string stem;
};

// Assimp names some nodes itself ("<STL_BINARY>", "$dummy"); those say nothing about the part.
bool isMeaningful(const aiString& name) {
  return name.length > 0 && name.data[0] != '<' && name.data[0] != '$';
}

std::vector<tSource> collectSources(const std::vector<std::string>& inputs) {
  std::vector<tSource> sources;
  Assimp::Importer probe;
  for (const std::string& input : inputs) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& entry : fs::directory_iterator(input, error))
        if (entry.is_regular_file() &&
            probe.IsExtensionSupported(entry.path().extension().string()))
          files.push_back(entry.path());
      if (error)
        throw tolvaneInputError(input + ": cannot list the folder: " + error.message());
      if (files.empty())
        throw tolvaneInputError(input + ": the folder holds no file of a format assimp reads");
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files)
        sources.push_back({file.string(), file.stem().string()});
    } else {
      if (!fs::exists(input, error))
        throw tolvaneInputError(input + ": no such file");
      if (!std::ifstream(input))
        throw tolvaneInputError(input + ": cannot read the file");
      sources.push_back({input, fs::path(input).stem().string()});
    }
  }
  return sources;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The bounds of the meshes read so far and the file of the farthest coordinate, which a message
// about the assembly's precision names.
struct tExtent {
  float low[3] = {INFINITY, INFINITY, INFINITY};
  float high[3] = {-INFINITY, -INFINITY, -INFINITY};
  float largestMagnitude = 0.0f;
  std::string farthestFile;

  void grow(const ko::koVertexBuffer& vertices, const std::string& file) {
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      for (int k = 0; k < 3; ++k) {
        const float c = vertices.Position3(v)[k];
        low[k] = std::min(low[k], c);
        high[k] = std::max(high[k], c);
        if (std::fabs(c) > largestMagnitude) {
          largestMagnitude = std::fabs(c);
          farthestFile = file;
        }
      }
  }
  float largestSide() const {
    return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
  }
};

// Reads the scenes of an assembly one source after the other into one import.
class tReading {
public:
  void add(const Assimp::Importer& importer, const aiScene* scene, const tSource& source) {
    if (!scene || !scene->mRootNode) {
      std::string reason = importer.GetErrorString();
      std::replace(reason.begin(), reason.end(), '\n', ' ');  // keep the message on one line
      throw tolvaneInputError(source.path + ": not an assembly assimp reads (" + reason + ")");
    }
    mFileKey = std::to_string(mNoSources++);
    mSeen = {};
    const size_t before = mResult.instances.size();
    visit(*scene, source, *scene->mRootNode, aiMatrix4x4(), mFileKey);
    if (mResult.instances.size() > before)
      return;
    if (mSeen.noTriangles == 0)
      throw tolvaneInputError(source.path + ": the scene holds no triangles");
    if (mSeen.noPointLike == mSeen.noMeshes)
      throw tolvaneInputError(source.path + ": every triangle has its corners in one point");
    throw tolvaneInputError(source.path + ": the scene holds no triangle with an area");
  }

  tolvaneImport finish() {
    if (!mResult.instances.empty()) {
      const float step = std::nextafter(mExtent.largestMagnitude, INFINITY) -
                         mExtent.largestMagnitude;
      if (mExtent.largestSide() < kLeastSteps * step)
        throw tolvaneInputError(mExtent.farthestFile + ": the assembly spans " +
                                number(mExtent.largestSide()) + " at " +
                                number(mExtent.largestMagnitude) +
                                " from the origin, too small for single precision there");
    }
    mResult.scene->UpdateGS();
    return std::move(mResult);
  }

private:
  // What one source held, for the message when none of it is usable.
  struct tSeen {
    unsigned int noMeshes = 0;     // meshes with triangles
    unsigned int noPointLike = 0;  // of those, meshes whose triangles sit in one point
    unsigned int noTriangles = 0;
  };

  void visit(const aiScene& scene, const tSource& source, const aiNode& node,
             const aiMatrix4x4& parentWorld, const std::string& key) {
    const aiMatrix4x4 world = parentWorld * node.mTransformation;
    const std::string nodeName = isMeaningful(node.mName) ? node.mName.C_Str() : source.stem;
    for (unsigned int m = 0; m < node.mNumMeshes; ++m) {
      if (node.mMeshes[m] >= scene.mNumMeshes)
        throw tolvaneInputError(source.path + ": node '" + node.mName.C_Str() +
                                "' refers to a mesh that does not exist");
      const aiMesh& mesh = *scene.mMeshes[node.mMeshes[m]];
      const std::string wanted = isMeaningful(node.mName)   ? nodeName
                                 : isMeaningful(mesh.mName) ? std::string(mesh.mName.C_Str())
                                                            : source.stem;
      const tolvaneConvertedMesh converted =
          convertMesh(mesh, world, source.path + ": mesh '" + wanted + "'");
      note(converted, source.path + ": mesh '" + wanted + "'");
      if (!converted.mesh)
        continue;
      // Instances of one mesh, or nodes sharing a name, still need names of their own.
      const std::string name = mNames.claim(wanted);
      converted.mesh->SetName(name);
      mResult.scene->attachChild(converted.mesh);
      mExtent.grow(*converted.mesh->VBuffer, source.path);
      mResult.instances.push_back({converted.mesh, name, key, nodeName, mFileKey, source.stem});
    }
    for (unsigned int c = 0; c < node.mNumChildren; ++c)
      visit(scene, source, *node.mChildren[c], world, key + "/" + std::to_string(c));
  }

  void note(const tolvaneConvertedMesh& converted, const std::string& where) {
    if (converted.noTriangles == 0)
      return;
    ++mSeen.noMeshes;
    mSeen.noPointLike += converted.pointLike ? 1 : 0;
    mSeen.noTriangles += converted.noTriangles;
    if (converted.noDegenerate > 0)
      mResult.warnings.push_back(where + ": dropped " + std::to_string(converted.noDegenerate) +
                                 " of " + std::to_string(converted.noTriangles) +
                                 " triangles without an area" +
                                 (converted.mesh ? "" : ", and the mesh with them"));
  }

  tolvaneImport mResult;
  tolvaneUniqueNames mNames;
  tExtent mExtent;
  tSeen mSeen;
  unsigned int mNoSources = 0;
  std::string mFileKey;
};

} // namespace

tolvaneImport importAssembly(const std::vector<std::string>& inputs) {
  tReading reading;
  for (const tSource& source : collectSources(inputs)) {
    std::string head(kGuardedHeadSize, '\0');
    std::ifstream in(source.path, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    refuseKnownAssimpHangs(head.data(), static_cast<size_t>(in.gcount()), source.path);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(source.path, kReading);
    reading.add(importer, triangulate(importer, scene, source.path), source);
  }
  return reading.finish();
}

tolvaneImport importAssemblyFromMemory(const void* data, size_t size, const std::string& formatHint,
                                       const std::string& name) {
  refuseKnownAssimpHangs(static_cast<const char*>(data), size, name);
  tReading reading;
  Assimp::Importer importer;
  reading.add(importer,
              triangulate(importer,
                          importer.ReadFileFromMemory(data, size, kReading, formatHint.c_str()),
                          name),
              {name, fs::path(name).stem().string()});
  return reading.finish();
}
