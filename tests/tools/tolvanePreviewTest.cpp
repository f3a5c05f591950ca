// The preview picture, read back from its PNG: two unit boxes side by side along x, the second
// moved 2 further along x in the exploded pose.

#include "tolvaneImport.h"
#include "tolvaneParts.h"
#include "tolvanePreview.h"

#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct tPixel {
  unsigned char r, g, b;
  bool operator==(const tPixel& o) const { return r == o.r && g == o.g && b == o.b; }
  // The axes' colour: a dark grey, which no shade of a palette colour is.
  bool isAxis() const { return r == g && g == b && r < 80; }
};

std::vector<tPixel> readPng(const fs::path& path, unsigned int& width, unsigned int& height) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_file(&png, path.c_str())) << png.message;
  png.format = PNG_FORMAT_RGB;
  std::vector<tPixel> pixels(size_t(png.width) * png.height);
  EXPECT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) << png.message;
  width = png.width, height = png.height;
  return pixels;
}

// Unit boxes at x = 0 and x = 1, two counter-clockwise triangles a face.
fs::path writeBoxes(const fs::path& dir) {
  std::ofstream out(dir / "boxes.obj");
  static const int kTriangles[36] = {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                                     2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5};
  for (int b = 0; b < 2; ++b) {
    out << "o box" << b << "\n";
    for (int v = 0; v < 8; ++v)
      out << "v " << b + (v & 1) << " " << ((v >> 1) & 1) << " " << ((v >> 2) & 1) << "\n";
    for (int t = 0; t < 36; t += 3)
      out << "f " << 8 * b + kTriangles[t] + 1 << " " << 8 * b + kTriangles[t + 1] + 1 << " "
          << 8 * b + kTriangles[t + 2] + 1 << "\n";
  }
  return dir / "boxes.obj";
}

TEST(TolvanePreview, ShowsTheAssembledAndTheExplodedPoseAtOneScale) {
  const fs::path dir =
      fs::temp_directory_path() / ("tolvane-preview-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const tolvaneImport import = importAssembly({writeBoxes(dir).string()});
  const tolvaneParts parts = groupParts(import, tolvaneGroupBy::Mesh);
  tolvanePlan plan;
  plan.parts = {{"box0", {"box0"}, {0, 0, 0}}, {"box1", {"box1"}, {2, 0, 0}}};
  plan.axes = {{{1.0f, 0.5f, 0.5f}, {3.0f, 0.5f, 0.5f}}};
  ASSERT_TRUE(writePreview(import, parts, plan, (dir / "preview.png").string()));
  std::ofstream(dir / "file");
  EXPECT_FALSE(writePreview(import, parts, plan, (dir / "file" / "preview.png").string()));

  unsigned int width = 0, height = 0;
  const std::vector<tPixel> image = readPng(dir / "preview.png", width, height);
  fs::remove_all(dir);
  ASSERT_EQ(width, 1200u);
  ASSERT_EQ(height, 600u);
  const tPixel background = image[0];
  EXPECT_GT(background.r + background.g + background.b, 3 * 200) << "a light background";
  for (size_t corner : {width - 1, (height - 1) * width, height * width - 1, width / 2 - 1})
    EXPECT_EQ(image[corner], background) << corner;

  // Per half: part pixels, axis pixels, and background columns between the first and the last
  // column holding a part pixel.
  unsigned int partPixels[2] = {}, axisPixels[2] = {}, gapColumns[2] = {};
  for (unsigned int side = 0; side < 2; ++side) {
    int first = -1, last = -1;
    for (unsigned int column = side * width / 2; column < (side + 1) * width / 2; ++column) {
      unsigned int parts = 0;
      for (unsigned int row = 0; row < height; ++row) {
        const tPixel& pixel = image[row * width + column];
        axisPixels[side] += pixel.isAxis();
        parts += !pixel.isAxis() && !(pixel == background);
      }
      partPixels[side] += parts;
      if (parts > 0) {
        gapColumns[side] += first >= 0 ? unsigned(column - last - 1) : 0;
        first = first >= 0 ? first : int(column);
        last = int(column);
      }
    }
  }
  EXPECT_EQ(gapColumns[0], 0u) << "the assembled boxes touch";
  EXPECT_GT(gapColumns[1], 20u) << "the exploded boxes stand apart";
  EXPECT_EQ(axisPixels[0], 0u);
  EXPECT_GT(axisPixels[1], 20u);
  // At one scale the part pixels of each half cover the projected area of the faces seen, along
  // the documented view direction: a 2 x 1 x 1 box on the left, two unit boxes on the right.
  const double d[3] = {1.0 / std::sqrt(3.77), 1.4 / std::sqrt(3.77), 0.9 / std::sqrt(3.77)};
  const double assembledArea = d[0] + 2 * d[1] + 2 * d[2], explodedArea = 2 * (d[0] + d[1] + d[2]);
  EXPECT_NEAR(double(partPixels[0]) / partPixels[1], assembledArea / explodedArea, 0.03);
}

} // namespace
