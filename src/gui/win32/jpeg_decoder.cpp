// The JPEG decoder of Windows: the Windows Imaging Component (WIC), the system's own.
#include <windows.h>
// clang-format off: the system headers below need <windows.h> before them.
#include <wincodec.h>
#include <wrl/client.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/jpeg_image.h"
#include "gui/win32/com_apartment.h"

namespace kel {
namespace {

using Microsoft::WRL::ComPtr;

// EJPEG's number is the low 16 bits of the failing HRESULT: for WIC's own errors (facility
// 0x898) that part names the error, e.g. 0x2F61 (12129) for WINCODEC_ERR_BADHEADER, 0x2F07
// (12039) for WINCODEC_ERR_UNKNOWNIMAGEFORMAT. Wine's decoder answers E_FAIL (0x4005, 16389) to
// whatever it refuses.
[[noreturn]] void Fail(HRESULT result) { throw EJPEG(static_cast<int>(HRESULT_CODE(result))); }

void Check(HRESULT result) {
  if (FAILED(result)) Fail(result);
}

// The first frame of JPEG data, opened by WIC's JPEG decoder. The data is read in place: `bytes`
// must outlive the object.
class JpegFrame {
 public:
  explicit JpegFrame(const std::string& bytes) {
    Check(com_.Status());
    // A WIC stream over memory counts its size in a DWORD.
    if (bytes.size() > MAXDWORD) Fail(WINCODEC_ERR_IMAGESIZEOUTOFRANGE);
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&factory_)));
    ComPtr<IWICStream> stream;
    Check(factory_->CreateStream(&stream));
    // The stream only reads, though the call takes a writable pointer.
    Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                       static_cast<DWORD>(bytes.size())));
    // The JPEG decoder by its format: CreateDecoderFromStream would pick whichever decoder
    // recognises the data, and a PNG or a GIF would pass as a JPEG picture.
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory_->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &decoder));
    Check(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand));
    Check(decoder->GetFrame(0, &frame_));
  }

  // The size, refused (as libjpeg refuses it) when it is empty or when the decoded picture would
  // not fit the int and UINT sizes that describe it.
  JpegSize Size() {
    UINT width = 0, height = 0;
    Check(frame_->GetSize(&width, &height));
    if (width == 0 || height == 0 || std::uint64_t{width} * 4 * height > UINT_MAX)
      Fail(WINCODEC_ERR_IMAGESIZEOUTOFRANGE);
    return {static_cast<int>(width), static_cast<int>(height)};
  }

  // The whole picture at full scale. The converter makes blue-green-red-unused pixels of every
  // source format (grey, colour, CMYK), which are then packed into TBitmap's three bytes.
  // Converting to 24bppBGR directly would save that step, but Wine's converter cannot do it for
  // grey pictures (WINCODEC_ERR_UNSUPPORTEDOPERATION).
  TBitmap Decode() {
    const JpegSize size = Size();
    ComPtr<IWICFormatConverter> converter;
    Check(factory_->CreateFormatConverter(&converter));
    Check(converter->Initialize(frame_.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom));
    const UINT source_stride = static_cast<UINT>(size.Width) * 4;
    std::vector<BYTE> source(std::size_t{source_stride} * size.Height);
    Check(converter->CopyPixels(nullptr, source_stride, static_cast<UINT>(source.size()),
                                source.data()));
    TBitmap bitmap = TBitmap::Make(size.Width, size.Height);
    for (int y = 0; y < size.Height; ++y) {
      const BYTE* from = source.data() + std::size_t{source_stride} * y;
      std::uint8_t* to = bitmap.Row(y);
      for (int x = 0; x < size.Width; ++x, from += 4, to += 3) std::copy_n(from, 3, to);
    }
    return bitmap;
  }

 private:
  win32::ComApartment com_;  // first: COM stays up until the interfaces below are released
  ComPtr<IWICImagingFactory> factory_;
  ComPtr<IWICBitmapFrameDecode> frame_;
};

}  // namespace

JpegSize ReadJpegSize(const std::string& bytes) { return JpegFrame(bytes).Size(); }

TBitmap DecodeJpeg(const std::string& bytes) { return JpegFrame(bytes).Decode(); }

}  // namespace kel
