// The program's pictures, built into it from assets/ (generated sources, see embed_file.cmake).
#pragma once

#include <string_view>

namespace kel::embedded {

// assets/background.jpg in the tagged picture form: "TJPEGImage" as a length-prefixed string,
// the byte count as 32-bit little-endian, the JPEG bytes.
std::string_view BackgroundPicture();

// assets/kelvarin.png as it is on disk: the window and application icon.
std::string_view IconPng();

}  // namespace kel::embedded
