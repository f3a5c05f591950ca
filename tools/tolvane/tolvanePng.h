#pragma once

#include "tolvanePreview.h"

#include <string>

// Writes the picture as an 8-bit RGB PNG; false when the file cannot be written.
bool writePng(const tolvaneImage& image, const std::string& path);
