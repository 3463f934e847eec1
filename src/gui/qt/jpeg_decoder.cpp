// The JPEG decoder of Linux: libjpeg(-turbo).
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "gui/jpeg_image.h"

// clang-format off: jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
// clang-format on

namespace kel {

namespace {

// libjpeg's default error handler calls exit(). Ours throws instead: libjpeg is C, so the
// throw must not unwind through its frames; the error exit longjmps back to the Decoder frame
// that called libjpeg, which then throws.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

// Warnings (a damaged scan, data ending early) leave libjpeg to fill in what is missing; the
// picture is still shown.
void OutputMessage(j_common_ptr) {}

// Owns one jpeg_decompress_struct. Only trivially destructible locals may live in the
// functions that can be left by longjmp (Header, Decode).
class Decompressor {
 public:
  Decompressor() {
    cinfo_.err = jpeg_std_error(&err_.pub);
    err_.pub.error_exit = ErrorExit;
    err_.pub.output_message = OutputMessage;
    jpeg_create_decompress(&cinfo_);
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  // Reads the header of `bytes` (kept alive by the caller). Returns false on a libjpeg error.
  bool Header(const std::string& bytes) {
    if (setjmp(err_.jump)) return false;
    jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo_, TRUE);
    return true;
  }

  // Decodes at full scale into `bitmap`, allocated here (the caller's, so that nothing that
  // needs destroying lives in this frame). False on a libjpeg error.
  bool Decode(TBitmap* bitmap) {
    if (setjmp(err_.jump)) return false;
    // Grey and YCbCr alike become 24-bit colour, in the bitmap's blue-green-red order.
    cinfo_.out_color_space = JCS_EXT_BGR;
    cinfo_.scale_num = 1;
    cinfo_.scale_denom = 1;
    jpeg_start_decompress(&cinfo_);
    *bitmap = TBitmap::Make(static_cast<int>(cinfo_.output_width),
                            static_cast<int>(cinfo_.output_height));
    while (cinfo_.output_scanline < cinfo_.output_height) {
      JSAMPROW row = bitmap->Row(static_cast<int>(cinfo_.output_scanline));
      jpeg_read_scanlines(&cinfo_, &row, 1);
    }
    jpeg_finish_decompress(&cinfo_);
    return true;
  }

  int MessageCode() const { return err_.pub.msg_code; }
  int Width() const { return static_cast<int>(cinfo_.image_width); }
  int Height() const { return static_cast<int>(cinfo_.image_height); }

 private:
  ErrorManager err_{};
  jpeg_decompress_struct cinfo_{};
};

}  // namespace

JpegSize ReadJpegSize(const std::string& bytes) {
  Decompressor jpeg;
  if (!jpeg.Header(bytes)) throw EJPEG(jpeg.MessageCode());
  return {jpeg.Width(), jpeg.Height()};
}

TBitmap DecodeJpeg(const std::string& bytes) {
  Decompressor jpeg;
  TBitmap bitmap;
  if (!jpeg.Header(bytes) || !jpeg.Decode(&bitmap)) throw EJPEG(jpeg.MessageCode());
  return bitmap;
}

}  // namespace kel
