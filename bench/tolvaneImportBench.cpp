// tolvane's import (assimp's reading, our conversion and checks) of about a million triangles of
// tessellated spheres written to a temporary file: binary STL, the unindexed triangles CAD
// exports, and binary PLY, indexed. The anchor reads the same file's bytes into memory.
#include "tolvaneImport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// 10 x 10 spheres of 70 rings and 72 segments: 100 x 2 x 70 x 72 = 1,008,000 triangles. At the top
// pole, where the points coincide, half of them are flat and the import drops them.
constexpr int kSpheres = 10, kRings = 70, kSegments = 72;

struct tSpheres {
  std::vector<float> points;           // x, y, z per point
  std::vector<uint32_t> triangles;     // three point indices per triangle

  tSpheres() {
    constexpr float kPi = 3.14159265f;
    for (int sx = 0; sx < kSpheres; ++sx)
      for (int sy = 0; sy < kSpheres; ++sy) {
        const uint32_t first = static_cast<uint32_t>(points.size() / 3);
        for (int r = 0; r <= kRings; ++r)
          for (int s = 0; s < kSegments; ++s) {
            const float theta = kPi * r / kRings, phi = 2.0f * kPi * s / kSegments;
            points.insert(points.end(), {2.0f * sx + std::sin(theta) * std::cos(phi),
                                         2.0f * sy + std::sin(theta) * std::sin(phi),
                                         std::cos(theta)});
          }
        const auto at = [&](int r, int s) { return first + r * kSegments + s % kSegments; };
        for (int r = 0; r < kRings; ++r)
          for (int s = 0; s < kSegments; ++s)
            triangles.insert(triangles.end(), {at(r, s), at(r + 1, s), at(r + 1, s + 1),
                                               at(r, s), at(r + 1, s + 1), at(r, s + 1)});
      }
  }
};

// The spheres in a temporary file, removed when the program ends.
struct tTemporaryFile {
  fs::path path;
  explicit tTemporaryFile(const char* extension)
      : path(fs::temp_directory_path() /
             ("tolvaneImportBench-" + std::to_string(::getpid()) + extension)) {}
  ~tTemporaryFile() { fs::remove(path); }
};

template <typename T>
void put(std::ofstream& out, T value) {
  out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

const fs::path& stlFile() {
  static const tTemporaryFile file(".stl");
  static const bool written = [] {
    const tSpheres spheres;
    std::ofstream out(file.path, std::ios::binary);
    out << std::string(80, ' ');
    put(out, static_cast<uint32_t>(spheres.triangles.size() / 3));
    for (size_t t = 0; t < spheres.triangles.size(); t += 3) {
      for (int k = 0; k < 3; ++k)
        put(out, 0.0f);  // assimp computes the normals
      for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
          put(out, spheres.points[3 * spheres.triangles[t + k] + c]);
      put(out, uint16_t(0));
    }
    return true;
  }();
  static_cast<void>(written);
  return file.path;
}

const fs::path& plyFile() {
  static const tTemporaryFile file(".ply");
  static const bool written = [] {
    const tSpheres spheres;
    std::ofstream out(file.path, std::ios::binary);
    out << "ply\nformat binary_little_endian 1.0\nelement vertex " << spheres.points.size() / 3
        << "\nproperty float x\nproperty float y\nproperty float z\nelement face "
        << spheres.triangles.size() / 3
        << "\nproperty list uchar uint vertex_indices\nend_header\n";
    for (float c : spheres.points)
      put(out, c);
    for (size_t t = 0; t < spheres.triangles.size(); t += 3) {
      put(out, uint8_t(3));
      for (int k = 0; k < 3; ++k)
        put(out, spheres.triangles[t + k]);
    }
    return true;
  }();
  static_cast<void>(written);
  return file.path;
}

const fs::path& fileOf(int64_t format) { return format == 0 ? stlFile() : plyFile(); }

void BM_Import(benchmark::State& state) {
  const std::string path = fileOf(state.range(0)).string();
  size_t noTriangles = 0;
  for (auto _ : state) {
    const tolvaneImport import = importAssembly({path});
    noTriangles = 0;
    for (const tolvaneMeshInstance& instance : import.instances)
      noTriangles += static_cast<size_t>(instance.mesh->GetTriangleQuantity());
  }
  state.counters["triangles"] = static_cast<double>(noTriangles);
  state.SetLabel(state.range(0) == 0 ? "binary STL" : "binary PLY");
}
BENCHMARK(BM_Import)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The anchor: the same file's bytes read into memory.
void BM_ReadBytes(benchmark::State& state) {
  const fs::path& path = fileOf(state.range(0));
  for (auto _ : state) {
    std::vector<char> bytes(fs::file_size(path));
    std::ifstream(path, std::ios::binary).read(bytes.data(), std::streamsize(bytes.size()));
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
  state.SetLabel(state.range(0) == 0 ? "binary STL" : "binary PLY");
}
BENCHMARK(BM_ReadBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
