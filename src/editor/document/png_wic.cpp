// PNG through WIC: the Windows build has no PNG library of its own, and the
// platform's codec is the one every other program on the machine uses.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <new>

#include "core/codecs/bmp_reader.h"
#include "core/codecs/packed_dib.h"
#include "editor/document/png_wic.h"

namespace murkel {
namespace {

// Holds a COM interface for a scope.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_ != nullptr) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** put() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for this thread for a scope, and the imaging factory. Declared first
// in a scope, so that every object made through it is released before it.
class Imaging {
 public:
  Imaging() {
    // A thread that already has COM in another mode keeps it; WIC works in either.
    initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory_));
  }
  ~Imaging() {
    if (factory_ != nullptr) factory_->Release();
    if (initialised_) CoUninitialize();
  }
  Imaging(const Imaging&) = delete;
  Imaging& operator=(const Imaging&) = delete;
  IWICImagingFactory* factory() const { return factory_; }

 private:
  bool initialised_ = false;
  IWICImagingFactory* factory_ = nullptr;
};

}  // namespace

std::optional<Image> decode_png_bytes(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 0xFFFFFFFFu) return std::nullopt;
  Imaging imaging;
  IWICImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return std::nullopt;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICBitmapSource> converted;
  UINT width = 0, height = 0;
  if (FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), &GUID_ContainerFormatPng, WICDecodeMetadataCacheOnDemand,
                                              decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) ||
      FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.put())) ||
      FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0 ||
      std::uint64_t{width} * height * 4 > kMaxDecodedBytes) {
    return std::nullopt;
  }
  try {
    std::vector<std::uint8_t> rows(std::size_t{width} * height * 4);
    if (FAILED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(rows.size()), rows.data()))) {
      return std::nullopt;
    }
    return bgra_over_white(rows.data(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                           std::size_t{width} * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool encode_png_bytes(const Image& image, std::vector<std::uint8_t>& out) {
  if (image.width <= 0 || image.height <= 0) return false;
  Imaging imaging;
  IWICImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return false;
  try {
    // Top-down rows of blue, green, red, as the encoder takes 24-bit pixels.
    const UINT stride = static_cast<UINT>((std::size_t{3} * image.width + 3) / 4 * 4);
    std::vector<BYTE> rows(std::size_t{stride} * image.height);
    for (std::int32_t y = 0; y < image.height; ++y) {
      BYTE* row = rows.data() + std::size_t{stride} * y;
      for (std::int32_t x = 0; x < image.width; ++x) {
        const Colour c = image.pixels[static_cast<std::size_t>(y) * image.width + x];
        row[3 * x] = static_cast<BYTE>(blue_of(c));
        row[3 * x + 1] = static_cast<BYTE>(green_of(c));
        row[3 * x + 2] = static_cast<BYTE>(red_of(c));
      }
    }
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) ||
        FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR ||
        FAILED(frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(rows.size()),
                                  rows.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
      return false;
    }
    // The stream's end is the file's size; its memory block may be larger.
    ULARGE_INTEGER end{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &end)) ||
        FAILED(GetHGlobalFromStream(stream.get(), &memory))) {
      return false;
    }
    const void* bytes = GlobalLock(memory);
    if (bytes == nullptr) return false;
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    out.assign(first, first + end.QuadPart);
    GlobalUnlock(memory);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace murkel
