#include "tolvanePreview.h"

#include "tolvanePng.h"

#include <embree3/rtcore.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

using Vec = Wm4::Vector3<float>;

constexpr unsigned int kNone = 0xFFFFFFFFu;  // the part of a background pixel
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kMargin = 0.06f;   // of a half's width and height, kept clear around its pose
constexpr float kAmbient = 0.3f;   // light that faces turned away from the lamp still get
constexpr float kOutline = 0.55f;  // brightness left to a pixel on an outline
constexpr unsigned char kBackground[3] = {246, 246, 243};
constexpr unsigned char kAxisColour[3] = {35, 35, 35};
// Ten colours apart enough to tell neighbouring parts; part p takes kPalette[p % 10].
constexpr unsigned char kPalette[10][3] = {
    {78, 121, 167}, {242, 142, 43},  {225, 87, 89},  {118, 183, 178}, {89, 161, 79},
    {237, 201, 72}, {176, 122, 161}, {255, 157, 167}, {156, 117, 95}, {186, 176, 172}};

// The orthographic camera's frame: rays run along forward, right and up span the picture. The
// light rides with the camera, a little above it and to its left, so that tops, fronts and sides
// of a box take three different shades.
struct tView {
  Vec forward, right, up, towardLight;
  tView() : forward(-1.0f, -1.4f, -0.9f) {
    forward.Normalize();
    right = forward.UnitCross(Vec::UNIT_Z);
    up = right.Cross(forward);
    towardLight = 0.6f * up - 0.3f * right - forward;
    towardLight.Normalize();
  }
  // Coordinates along right, up and forward.
  Vec of(const Vec& p) const { return Vec(p.Dot(right), p.Dot(up), p.Dot(forward)); }
};

// A box in view coordinates.
struct tExtent {
  Vec low{kInfinity, kInfinity, kInfinity};
  Vec high{-kInfinity, -kInfinity, -kInfinity};
  void add(const Vec& v) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], v[k]);
      high[k] = std::max(high[k], v[k]);
    }
  }
  float size(int k) const { return high[k] - low[k]; }
};

tExtent extentOf(const tView& view, const tolvaneImport& import, const tolvaneParts& parts,
                 const std::vector<Vec>& offsets) {
  tExtent extent;
  for (size_t i = 0; i < import.instances.size(); ++i) {
    const Vec& offset = offsets[parts.partOfMesh[i]];
    const ko::koVertexBuffer& vertices = *import.instances[i].mesh->VBuffer;
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      extent.add(view.of(vertices.Position3(v) + offset));
  }
  return extent;
}

// Embree reports only calls we got wrong or memory running out; neither leaves a picture to
// write, so stop loudly, as the platform's ray queries do.
void abortOnEmbreeError(void*, RTCError code, const char* message) {
  std::fprintf(stderr, "tolvane: Embree error %d: %s\n", static_cast<int>(code),
               message != nullptr ? message : "(no message)");
  std::abort();
}

// One scene per part, built once and placed by instances in each pose's scene, so that both
// poses share the per-part hierarchies. One thread: the build is the same on every run.
class tScenes {
public:
  tScenes(const tolvaneImport& import, const tolvaneParts& parts)
      : mDevice(rtcNewDevice("threads=1")) {
    if (mDevice == nullptr)
      abortOnEmbreeError(nullptr, rtcGetDeviceError(nullptr), "the device could not be created");
    rtcSetDeviceErrorFunction(mDevice, abortOnEmbreeError, nullptr);
    for (size_t p = 0; p < parts.partNames.size(); ++p)
      mPartScenes.push_back(rtcNewScene(mDevice));
    for (size_t i = 0; i < import.instances.size(); ++i)
      addMesh(*import.instances[i].mesh, mPartScenes[parts.partOfMesh[i]]);
    for (RTCScene scene : mPartScenes)
      rtcCommitScene(scene);
  }
  ~tScenes() {
    for (RTCScene scene : mPoseScenes)
      rtcReleaseScene(scene);
    for (RTCScene scene : mPartScenes)
      rtcReleaseScene(scene);
    rtcReleaseDevice(mDevice);
  }
  tScenes(const tScenes&) = delete;
  tScenes& operator=(const tScenes&) = delete;

  // A scene with part p moved by offsets[p]; a hit's instID[0] is its part.
  RTCScene pose(const std::vector<Vec>& offsets) {
    RTCScene scene = rtcNewScene(mDevice);
    for (unsigned int p = 0; p < mPartScenes.size(); ++p) {
      RTCGeometry instance = rtcNewGeometry(mDevice, RTC_GEOMETRY_TYPE_INSTANCE);
      rtcSetGeometryInstancedScene(instance, mPartScenes[p]);
      const float transform[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1,
                                   offsets[p].X(), offsets[p].Y(), offsets[p].Z()};
      rtcSetGeometryTransform(instance, 0, RTC_FORMAT_FLOAT3X4_COLUMN_MAJOR, transform);
      rtcCommitGeometry(instance);
      rtcAttachGeometryByID(scene, instance, p);
      rtcReleaseGeometry(instance);
    }
    rtcCommitScene(scene);
    mPoseScenes.push_back(scene);
    return scene;
  }

private:
  // Copied into Embree's own buffers, which carry the padding its vector loads need.
  void addMesh(const ko::koTriMesh& mesh, RTCScene scene) {
    const ko::koVertexBuffer& vertices = *mesh.VBuffer;
    RTCGeometry geometry = rtcNewGeometry(mDevice, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* positions = static_cast<Vec*>(
        rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                sizeof(Vec), static_cast<size_t>(vertices.GetVertexQuantity())));
    for (int v = 0; v < vertices.GetVertexQuantity(); ++v)
      positions[v] = vertices.Position3(v);
    auto* indices = static_cast<unsigned int*>(rtcSetNewGeometryBuffer(
        geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned int),
        static_cast<size_t>(mesh.GetTriangleQuantity())));
    for (int t = 0; t < mesh.GetTriangleQuantity(); ++t) {
      int v0 = 0, v1 = 0, v2 = 0;
      mesh.GetTriangle(t, v0, v1, v2);
      indices[3 * t] = unsigned(v0);
      indices[3 * t + 1] = unsigned(v1);
      indices[3 * t + 2] = unsigned(v2);
    }
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
  }

  RTCDevice mDevice;
  std::vector<RTCScene> mPartScenes;
  std::vector<RTCScene> mPoseScenes;
};

// What each pixel sees: its part (kNone for the background), the distance along the ray and the
// light on the surface; axis marks pixels an axis line covers.
struct tBuffers {
  std::vector<unsigned int> part;
  std::vector<float> depth;
  std::vector<float> light;
  std::vector<bool> axis;
  explicit tBuffers(size_t pixels)
      : part(pixels, kNone), depth(pixels, kInfinity), light(pixels, 0.0f), axis(pixels, false) {}
};

// Where a pose lands in the picture: the columns of its half, the view point at the half's
// centre and the view depth the rays start from.
struct tPlacement {
  unsigned int firstColumn, columns, rows;
  float centreX, centreY, startDepth, pixelsPerUnit;

  tPlacement(const tExtent& extent, unsigned int firstColumn, unsigned int columns,
             unsigned int rows, float pixelsPerUnit)
      : firstColumn(firstColumn), columns(columns), rows(rows),
        centreX(0.5f * (extent.low.X() + extent.high.X())),
        centreY(0.5f * (extent.low.Y() + extent.high.Y())),
        // Back by a little, so that rays start clear of the nearest surface.
        startDepth(extent.low.Z() - 0.05f * std::max(extent.size(2), 1e-3f)),
        pixelsPerUnit(pixelsPerUnit) {}

  // The continuous picture position (column, row) and ray depth of a point in view coordinates.
  Vec toPicture(const Vec& v) const {
    return Vec(float(firstColumn) + 0.5f * float(columns) + (v.X() - centreX) * pixelsPerUnit,
               0.5f * float(rows) - (v.Y() - centreY) * pixelsPerUnit, v.Z() - startDepth);
  }
  // The view point at the centre of a pixel of the half.
  float viewX(unsigned int column) const {
    return centreX + (float(column) + 0.5f - 0.5f * float(columns)) / pixelsPerUnit;
  }
  float viewY(unsigned int row) const {
    return centreY + (0.5f * float(rows) - float(row) - 0.5f) / pixelsPerUnit;
  }
};

void castRays(const tView& view, RTCScene scene, const tPlacement& at, unsigned int width,
              tBuffers& buffers) {
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  context.flags = RTC_INTERSECT_CONTEXT_FLAG_COHERENT;
  for (unsigned int row = 0; row < at.rows; ++row) {
    const float y = at.viewY(row);
    for (unsigned int column = 0; column < at.columns; ++column) {
      const Vec origin = at.viewX(column) * view.right + y * view.up + at.startDepth * view.forward;
      RTCRayHit query;
      query.ray.org_x = origin.X(), query.ray.org_y = origin.Y(), query.ray.org_z = origin.Z();
      query.ray.dir_x = view.forward.X(), query.ray.dir_y = view.forward.Y(),
      query.ray.dir_z = view.forward.Z();
      query.ray.tnear = 0.0f, query.ray.time = 0.0f, query.ray.tfar = kInfinity;
      query.ray.mask = ~0u, query.ray.id = 0, query.ray.flags = 0;
      query.hit.geomID = query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
      rtcIntersect1(scene, &context, &query);
      if (query.hit.geomID == RTC_INVALID_GEOMETRY_ID)
        continue;
      const size_t pixel = size_t(row) * width + at.firstColumn + column;
      Vec normal(query.hit.Ng_x, query.hit.Ng_y, query.hit.Ng_z);
      // Turned toward the viewer, as meshes do not agree on winding.
      normal *= normal.Dot(view.forward) > 0.0f ? -1.0f : 1.0f;
      normal.Normalize();
      buffers.part[pixel] = query.hit.instID[0];
      buffers.depth[pixel] = query.ray.tfar;
      buffers.light[pixel] =
          kAmbient + (1.0f - kAmbient) * std::max(0.0f, normal.Dot(view.towardLight));
    }
  }
}

// A line two pixels wide, drawn where it is not behind a surface (by more than two pixels'
// worth of depth, so that ends resting on a face show).
void drawLine(const tView& view, const tPlacement& at, unsigned int width, const Vec& start,
              const Vec& end, tBuffers& buffers) {
  const Vec a = at.toPicture(view.of(start)), b = at.toPicture(view.of(end));
  const float bias = 2.0f / at.pixelsPerUnit;
  const int steps = int(std::ceil(std::max(std::fabs(b.X() - a.X()), std::fabs(b.Y() - a.Y()))));
  for (int k = 0; k <= steps; ++k) {
    const Vec p = steps == 0 ? a : a + (float(k) / float(steps)) * (b - a);
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) {
        const int column = int(std::floor(p.X())) + dx, row = int(std::floor(p.Y())) + dy;
        if (column < int(at.firstColumn) || column >= int(at.firstColumn + at.columns) ||
            row < 0 || row >= int(at.rows))
          continue;
        const size_t pixel = size_t(row) * width + size_t(column);
        if (p.Z() <= buffers.depth[pixel] + bias)
          buffers.axis[pixel] = true;
      }
  }
}

// Whether the pixel is on the silhouette of its part against the background or a part behind.
bool isOutline(const tBuffers& buffers, unsigned int width, unsigned int height,
               unsigned int column, unsigned int row) {
  const size_t pixel = size_t(row) * width + column;
  const auto differs = [&](size_t other) {
    return buffers.part[other] != buffers.part[pixel] &&
           buffers.depth[other] > buffers.depth[pixel];
  };
  return (column > 0 && differs(pixel - 1)) || (column + 1 < width && differs(pixel + 1)) ||
         (row > 0 && differs(pixel - width)) || (row + 1 < height && differs(pixel + width));
}

tolvaneImage compose(const tBuffers& buffers, unsigned int width, unsigned int height) {
  tolvaneImage image{width, height, std::vector<unsigned char>(size_t(width) * height * 3)};
  for (unsigned int row = 0; row < height; ++row)
    for (unsigned int column = 0; column < width; ++column) {
      const size_t pixel = size_t(row) * width + column;
      unsigned char* rgb = &image.rgb[3 * pixel];
      const unsigned int part = buffers.part[pixel];
      if (buffers.axis[pixel] || part == kNone) {
        std::copy_n(buffers.axis[pixel] ? kAxisColour : kBackground, 3, rgb);
        continue;
      }
      const float light =
          buffers.light[pixel] * (isOutline(buffers, width, height, column, row) ? kOutline : 1);
      for (int k = 0; k < 3; ++k)
        rgb[k] = static_cast<unsigned char>(std::lround(light * kPalette[part % 10][k]));
    }
  return image;
}

} // namespace

tolvaneImage renderPreview(const tolvaneImport& import, const tolvaneParts& parts,
                           const tolvanePlan& plan, unsigned int width, unsigned int height) {
  const tView view;
  const std::vector<Vec> assembled(parts.partNames.size(), Vec::ZERO);
  std::vector<Vec> exploded;
  for (const tolvanePlan::tPart& part : plan.parts)
    exploded.emplace_back(part.translation[0], part.translation[1], part.translation[2]);
  const tExtent assembledExtent = extentOf(view, import, parts, assembled);
  tExtent explodedExtent = extentOf(view, import, parts, exploded);
  for (const tolvanePlan::tAxis& axis : plan.axes) {
    explodedExtent.add(view.of(Vec(axis.start[0], axis.start[1], axis.start[2])));
    explodedExtent.add(view.of(Vec(axis.end[0], axis.end[1], axis.end[2])));
  }

  // One scale for both halves, the largest at which each pose fits its half within the margins.
  const unsigned int half = width / 2;
  float pixelsPerUnit = kInfinity;
  for (const tExtent& extent : {assembledExtent, explodedExtent}) {
    // A flat pose is fitted by its other side.
    const float largest = std::max({extent.size(0), extent.size(1), 1e-30f});
    for (int k = 0; k < 2; ++k)
      pixelsPerUnit =
          std::min(pixelsPerUnit, (1.0f - 2.0f * kMargin) * float(k == 0 ? half : height) /
                                      std::max(extent.size(k), 1e-6f * largest));
  }

  tScenes scenes(import, parts);
  tBuffers buffers(size_t(width) * height);
  const tPlacement left(assembledExtent, 0, half, height, pixelsPerUnit);
  const tPlacement right(explodedExtent, half, half, height, pixelsPerUnit);
  castRays(view, scenes.pose(assembled), left, width, buffers);
  castRays(view, scenes.pose(exploded), right, width, buffers);
  for (const tolvanePlan::tAxis& axis : plan.axes)
    drawLine(view, right, width, Vec(axis.start[0], axis.start[1], axis.start[2]),
             Vec(axis.end[0], axis.end[1], axis.end[2]), buffers);
  return compose(buffers, width, height);
}

bool writePreview(const tolvaneImport& import, const tolvaneParts& parts, const tolvanePlan& plan,
                  const std::string& path) {
  return writePng(renderPreview(import, parts, plan), path);
}
