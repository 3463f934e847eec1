// Pictures: the picture kinds known by extension and class name, and the reader of the tagged
// form a window description stores a picture in.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/canvas.h"
#include "platform/exceptions.h"

namespace kel {

// A picture that cannot be read or decoded.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EInvalidGraphic"; }
};

// A picture kind's data in memory.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  // The picture class name, as stored in the tagged form ("TJPEGImage").
  virtual const char* ClassName() const noexcept = 0;
  // Takes the encoded bytes; may decode later. Raises EInvalidGraphic when they are refused.
  virtual void LoadFromBytes(std::string bytes) = 0;
  // Natural size in pixels; 0 × 0 while empty.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Draws the picture at natural size with its top-left corner at (x, y). May raise
  // EInvalidGraphic (or the kind's own error) when the data cannot be decoded.
  virtual void Draw(TCanvas& canvas, int x, int y) = 0;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TGraphicKind {
  std::string Extension;    // lower case, without the dot
  std::string Description;  // e.g. "JPEG イメージファイル"
  std::string ClassName;    // e.g. "TJPEGImage"
  TGraphicFactory Create;
};

// Registers a picture kind for one file extension. A later registration of the same extension
// replaces the earlier one.
void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const std::string& class_name, TGraphicFactory create);
// Every registered kind, in order of registration.
std::vector<TGraphicKind> RegisteredFileFormats();
// The kind for an extension (case-insensitive, without the dot), or null.
const TGraphicKind* FindFileFormat(std::string_view extension);
// A new empty picture of the class `class_name`, or null when no kind has that class name.
std::unique_ptr<TGraphic> CreateGraphic(std::string_view class_name);

// Reads a picture in its tagged form at the start of `data`: the class name as a
// length-prefixed string (one length byte), the byte count as 32-bit little-endian and the
// encoded bytes. `consumed` (if given) receives the bytes read. Raises EStreamError
// ("ストリームの読み込みエラー") when `data` ends early and EInvalidGraphic when the class is
// unknown or refuses the bytes.
std::unique_ptr<TGraphic> ReadTaggedGraphic(std::string_view data, std::size_t* consumed = nullptr);
// The tagged form of `bytes` under `class_name`: what ReadTaggedGraphic reads. Raises
// EInvalidGraphic when the name is longer than 255 bytes or the data longer than 4 GiB - 1.
std::string WriteTaggedGraphic(std::string_view class_name, std::string_view bytes);

}  // namespace kel
