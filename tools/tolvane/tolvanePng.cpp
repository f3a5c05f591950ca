#include "tolvanePng.h"

#include <png.h>

bool writePng(const tolvaneImage& image, const std::string& path) {
  // libpng's simplified interface: no header, time or text chunks, so the same picture gives
  // the same file.
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = image.width;
  png.height = image.height;
  png.format = PNG_FORMAT_RGB;
  const bool written =
      png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return written;
}
