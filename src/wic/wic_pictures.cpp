// Pictures through WIC: the Windows build has no picture library of its own,
// and the platform's codecs are the ones every other program on the machine uses.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "core/codecs/picture_header.h"
#include "core/document/transparency.h"
#include "wic/wic_pictures.h"

namespace murkel {
namespace {

thread_local bool memory_short = false;

}  // namespace

void note_memory_short() { memory_short = true; }

bool take_memory_short() { return std::exchange(memory_short, false); }

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

// A call that failed; one that failed for want of memory is noted as such.
bool failed(HRESULT result) {
  if (result == E_OUTOFMEMORY) note_memory_short();
  return FAILED(result);
}

// 16-bit channels as the frame holds them: their order in a pixel (0 red,
// 1 green, 2 blue, 3 alpha) and how many a pixel has.
struct WideLayout {
  int channels = 0;
  int order[4] = {};
};

std::optional<WideLayout> wide_layout(const WICPixelFormatGUID& f) {
  if (f == GUID_WICPixelFormat64bppRGBA) return WideLayout{4, {0, 1, 2, 3}};
  if (f == GUID_WICPixelFormat64bppBGRA) return WideLayout{4, {2, 1, 0, 3}};
  if (f == GUID_WICPixelFormat48bppRGB) return WideLayout{3, {0, 1, 2, 0}};
  if (f == GUID_WICPixelFormat48bppBGR) return WideLayout{3, {2, 1, 0, 0}};
  if (f == GUID_WICPixelFormat16bppGray) return WideLayout{1, {0, 0, 0, 0}};
  return std::nullopt;
}

// 16 bits to 8, rounded as the PNG reference library scales them.
std::uint8_t to_8_bits(unsigned v) { return static_cast<std::uint8_t>((v * 255u + 32895u) >> 16); }

// The frame's pixels, straight (not premultiplied), into the picture a band
// of rows at a time, about a megabyte of the frame's own format each: no
// copy of the whole frame is made beside the picture. Frames of 16-bit
// channels are read as they are and rounded here (the platform's converter
// truncates); any other through the converter to 32-bit BGRA.
bool read_pixels(IWICBitmapSource* frame, UINT width, UINT height, DecodedPicture& picture) {
  WICPixelFormatGUID format{};
  if (failed(frame->GetPixelFormat(&format))) return false;
  const std::optional<WideLayout> wide = wide_layout(format);
  Com<IWICBitmapSource> converted;
  IWICBitmapSource* source = frame;
  if (!wide) {
    if (failed(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, converted.put()))) return false;
    source = converted.get();
  }
  const int channels = wide ? wide->channels : 4;
  const std::size_t stride = std::size_t{width} * channels * (wide ? 2 : 1);
  if (stride > 0x7FFFFFFFu) return false;
  const UINT band = static_cast<UINT>(std::clamp<std::size_t>((std::size_t{1} << 20) / stride, 1, height));
  std::vector<std::uint8_t> rows(stride * band);
  const std::size_t count = std::size_t{width} * height;
  picture.image = Image{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                        std::vector<Colour>(count)};
  picture.alpha.assign(count, 255);
  const auto sample = [&](const std::uint8_t* p, int channel) {  // channel 0 red, 1 green, 2 blue, 3 alpha
    if (!wide) return p[channel == 3 ? 3 : 2 - channel];
    const std::uint8_t* v = p + 2 * wide->order[channel];
    return to_8_bits(v[0] | v[1] << 8u);
  };
  for (UINT y = 0; y < height; y += band) {
    const UINT n = std::min(band, height - y);
    const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(n)};
    if (failed(source->CopyPixels(&rect, static_cast<UINT>(stride), static_cast<UINT>(stride * n), rows.data()))) {
      return false;
    }
    const std::size_t first = std::size_t{y} * width;
    for (std::size_t i = 0; i < std::size_t{n} * width; ++i) {
      const std::uint8_t* p = rows.data() + i * channels * (wide ? 2 : 1);
      const std::uint8_t red = sample(p, 0);
      picture.image.pixels[first + i] =
          channels == 1 ? make_colour(red, red, red) : make_colour(red, sample(p, 1), sample(p, 2));
      if (channels == 4) picture.alpha[first + i] = sample(p, 3);
    }
  }
  if (std::all_of(picture.alpha.begin(), picture.alpha.end(), [](std::uint8_t a) { return a == 255; })) {
    picture.alpha.clear();
  }
  return true;
}

const GUID* container_of(PictureFormat format) {
  switch (format) {
    case PictureFormat::png:  return &GUID_ContainerFormatPng;
    case PictureFormat::jpeg: return &GUID_ContainerFormatJpeg;
    case PictureFormat::gif:  return &GUID_ContainerFormatGif;
    case PictureFormat::tiff: return &GUID_ContainerFormatTiff;
    default:                  return nullptr;
  }
}

// JPEG at a quality of 1..100 (Windows honours it; Wine's encoder keeps its own).
void set_jpeg_quality(IPropertyBag2* options, int quality) {
  PROPBAG2 option{};
  option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_R4;
  value.fltVal = static_cast<float>(std::clamp(quality, 1, 100)) / 100.0f;
  options->Write(1, &option, &value);
}

bool starts_with(const std::uint8_t* data, std::size_t size, const char* text, std::size_t at = 0) {
  const std::size_t n = std::strlen(text);
  return size >= at + n && std::memcmp(data + at, text, n) == 0;
}

// WebP and HEIF by their signatures (the core's header reader knows neither):
// a RIFF file of WebP, or an ISO media file whose brand is one of HEIF's.
const GUID* webp_or_heif_container(const std::uint8_t* data, std::size_t size) {
  if (starts_with(data, size, "RIFF") && starts_with(data, size, "WEBP", 8)) return &GUID_ContainerFormatWebp;
  if (!starts_with(data, size, "ftyp", 4)) return nullptr;
  for (const char* brand : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
    if (starts_with(data, size, brand, 8)) return &GUID_ContainerFormatHeif;
  return nullptr;
}

// The frame's colours converted to sRGB when it carries a colour profile
// the platform can read; else the frame itself.
IWICBitmapSource* in_srgb(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, Com<IWICColorContext>& from,
                          Com<IWICColorContext>& to, Com<IWICColorTransform>& transform) {
  UINT count = 0;
  if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0) return frame;
  std::vector<IWICColorContext*> contexts(count, nullptr);
  for (UINT i = 0; i < count; ++i)
    if (FAILED(factory->CreateColorContext(&contexts[i]))) contexts[i] = nullptr;
  UINT got = 0;
  const bool read = std::find(contexts.begin(), contexts.end(), nullptr) == contexts.end() &&
                    SUCCEEDED(frame->GetColorContexts(count, contexts.data(), &got)) && got > 0;
  // The first is the frame's own profile; the rest are let go.
  for (UINT i = 0; i < count; ++i) {
    if (i == 0 && read) *from.put() = contexts[i];
    else if (contexts[i] != nullptr) contexts[i]->Release();
  }
  WICColorContextType type{};
  if (!read || FAILED(from->GetType(&type)) || type != WICColorContextProfile ||
      FAILED(factory->CreateColorContext(to.put())) || FAILED(to->InitializeFromExifColorSpace(1)) ||
      FAILED(factory->CreateColorTransformer(transform.put())) ||
      FAILED(transform->Initialize(frame, from.get(), to.get(), GUID_WICPixelFormat32bppBGRA)))
    return frame;
  return transform.get();
}

}  // namespace

std::optional<DecodedPicture> decode_picture_bytes(const std::uint8_t* data, std::size_t size,
                                                   const DecodeOptions& options) {
  DecodeFailure ignored = DecodeFailure::none;
  DecodeFailure& why = options.failure != nullptr ? *options.failure : ignored;
  why = DecodeFailure::not_a_picture;
  // The size the file claims is checked before a decoder is given it: some
  // decode the whole picture at once, whatever its size. WebP and HEIF,
  // which the header reader does not know, are held to the frame's size
  // before any pixel is decoded.
  const PictureHeader header = read_picture_header(data, size);
  const GUID* container = nullptr;
  if (header.ok()) {
    if (options.png_only && header.format != PictureFormat::png) return std::nullopt;
    container = container_of(header.format);
  } else if (options.webp_and_heif && !options.png_only) {
    container = webp_or_heif_container(data, size);
  }
  if (header.format != PictureFormat::other && !header.ok()) why = DecodeFailure::damaged;
  if (container == nullptr || size > 0xFFFFFFFFu) return std::nullopt;
  why = DecodeFailure::damaged;
  Imaging imaging;
  IWICImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return std::nullopt;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  // From memory, never from the file's name: a decoder made from a name keeps
  // the file open, and a Save over it could then not replace it. The decoder
  // is the one of the format whose header was read, never one the platform
  // picks by other signs.
  if (failed(factory->CreateStream(stream.put())) ||
      failed(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)))) {
    return std::nullopt;
  }
  if (failed(factory->CreateDecoder(*container, nullptr, decoder.put()))) {
    why = DecodeFailure::no_codec;
    return std::nullopt;
  }
  if (failed(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
      failed(decoder->GetFrame(0, frame.put())) || failed(frame->GetSize(&width, &height)) || width == 0 ||
      height == 0) {
    return std::nullopt;
  }
  if (!within_picture_limit(width, height)) {
    why = DecodeFailure::too_large;
    return std::nullopt;
  }
  try {
    Com<IWICColorContext> from, to;
    Com<IWICColorTransform> transform;
    IWICBitmapSource* source = options.to_srgb ? in_srgb(factory, frame.get(), from, to, transform) : frame.get();
    DecodedPicture picture;
    if (!read_pixels(source, width, height, picture)) return std::nullopt;
    why = DecodeFailure::none;
    return picture;
  } catch (const std::bad_alloc&) {
    note_memory_short();
    why = DecodeFailure::memory;
    return std::nullopt;
  }
}

std::optional<Image> decode_png_bytes(const std::uint8_t* data, std::size_t size) {
  DecodeOptions png;
  png.png_only = true;
  std::optional<DecodedPicture> picture = decode_picture_bytes(data, size, png);
  if (!picture) return std::nullopt;
  put_over_white(picture->image, picture->alpha);
  return std::move(picture->image);
}

bool encode_picture_bytes(const Image& image, const std::vector<std::uint8_t>& alpha, PictureFormat format,
                          std::vector<std::uint8_t>& out, int jpeg_quality) {
  const GUID* container = container_of(format);
  if (image.width <= 0 || image.height <= 0 || !writable(format) || container == nullptr) return false;
  const bool with_alpha = format != PictureFormat::jpeg && alpha.size() == image.pixels.size();
  Imaging imaging;
  IWICImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return false;
  try {
    // Top-down rows of blue, green, red (and alpha), as the encoders take them.
    const UINT bytes_per_pixel = with_alpha ? 4 : 3;
    const UINT stride = static_cast<UINT>((std::size_t{bytes_per_pixel} * image.width + 3) / 4 * 4);
    if (std::uint64_t{stride} * image.height > 0x7FFFFFFFu) return false;
    std::vector<BYTE> rows(std::size_t{stride} * image.height);
    for (std::int32_t y = 0; y < image.height; ++y) {
      BYTE* row = rows.data() + std::size_t{stride} * y;
      for (std::int32_t x = 0; x < image.width; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * image.width + x;
        const Colour c = image.pixels[i];
        BYTE* p = row + std::size_t{bytes_per_pixel} * x;
        p[0] = static_cast<BYTE>(blue_of(c));
        p[1] = static_cast<BYTE>(green_of(c));
        p[2] = static_cast<BYTE>(red_of(c));
        if (with_alpha) p[3] = alpha[i];
      }
    }
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    const WICPixelFormatGUID wanted = with_alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format_given = wanted;
    if (failed(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        failed(factory->CreateEncoder(*container, nullptr, encoder.put())) ||
        failed(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        failed(encoder->CreateNewFrame(frame.put(), options.put()))) {
      return false;
    }
    if (format == PictureFormat::jpeg && options.get() != nullptr) set_jpeg_quality(options.get(), jpeg_quality);
    if (failed(frame->Initialize(options.get())) ||
        failed(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) ||
        failed(frame->SetPixelFormat(&format_given)) || format_given != wanted ||
        failed(frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(rows.size()),
                                  rows.data())) ||
        failed(frame->Commit()) || failed(encoder->Commit())) {
      return false;
    }
    // The stream's end is the file's size; its memory block may be larger.
    // (Not the current position: the TIFF encoder goes back to fill in its
    // directory.)
    ULARGE_INTEGER end{};
    if (failed(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &end)) || end.QuadPart > 0x7FFFFFFFu ||
        failed(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr))) {
      return false;
    }
    out.resize(static_cast<std::size_t>(end.QuadPart));
    ULONG got = 0;
    if (failed(stream->Read(out.data(), static_cast<ULONG>(out.size()), &got)) || got != out.size()) {
      out.clear();
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    note_memory_short();
    return false;
  }
}

bool encode_png_bytes(const Image& image, std::vector<std::uint8_t>& out) {
  return encode_picture_bytes(image, {}, PictureFormat::png, out);
}

}  // namespace murkel
