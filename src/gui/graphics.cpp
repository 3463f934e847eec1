#include "gui/graphics.h"

#include <algorithm>
#include <cstdint>

#include "gui/jpeg_image.h"

namespace kel {

namespace {

bool SameTextAscii(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// The registry starts with the kinds built into the program, so they are there before the
// first picture is read.
std::vector<TGraphicKind>& Registry() {
  static std::vector<TGraphicKind> kinds = [] {
    auto jpeg = [] { return std::unique_ptr<TGraphic>(std::make_unique<TJPEGImage>()); };
    return std::vector<TGraphicKind>{
        {"jpeg", "JPEG イメージファイル", "TJPEGImage", jpeg},
        {"jpg", "JPEG イメージファイル", "TJPEGImage", jpeg},
    };
  }();
  return kinds;
}

// Registered at program start.
[[maybe_unused]] const bool kBuiltInKindsRegistered = (Registry(), true);

[[noreturn]] void RaiseReadError() { throw EStreamError("ストリームの読み込みエラー"); }

}  // namespace

void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const std::string& class_name, TGraphicFactory create) {
  auto& kinds = Registry();
  std::erase_if(kinds,
                [&](const TGraphicKind& k) { return SameTextAscii(k.Extension, extension); });
  kinds.push_back({extension, description, class_name, std::move(create)});
}

std::vector<TGraphicKind> RegisteredFileFormats() { return Registry(); }

const TGraphicKind* FindFileFormat(std::string_view extension) {
  for (const TGraphicKind& kind : Registry()) {
    if (SameTextAscii(kind.Extension, extension)) return &kind;
  }
  return nullptr;
}

std::unique_ptr<TGraphic> CreateGraphic(std::string_view class_name) {
  for (const TGraphicKind& kind : Registry()) {
    if (SameTextAscii(kind.ClassName, class_name)) return kind.Create();
  }
  return nullptr;
}

std::unique_ptr<TGraphic> ReadTaggedGraphic(std::string_view data, std::size_t* consumed) {
  std::size_t pos = 0;
  if (data.size() < 1) RaiseReadError();
  std::size_t name_length = static_cast<unsigned char>(data[pos++]);
  if (data.size() - pos < name_length) RaiseReadError();
  std::string_view class_name = data.substr(pos, name_length);
  pos += name_length;
  if (data.size() - pos < 4) RaiseReadError();
  std::uint32_t count = 0;
  for (int i = 0; i < 4; ++i) {
    count |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[pos + i])) << (8 * i);
  }
  pos += 4;
  if (data.size() - pos < count) RaiseReadError();

  std::unique_ptr<TGraphic> graphic = CreateGraphic(class_name);
  if (!graphic) throw EInvalidGraphic("不明な画像形式です (" + std::string(class_name) + ")");
  graphic->LoadFromBytes(std::string(data.substr(pos, count)));
  if (consumed) *consumed = pos + count;
  return graphic;
}

std::string WriteTaggedGraphic(std::string_view class_name, std::string_view bytes) {
  if (class_name.size() > 255 || bytes.size() > 0xFFFFFFFFu) {
    throw EInvalidGraphic("画像が大きすぎます");
  }
  std::string out;
  out += static_cast<char>(class_name.size());
  out += class_name;
  auto count = static_cast<std::uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((count >> (8 * i)) & 0xFF);
  out += bytes;
  return out;
}

}  // namespace kel
