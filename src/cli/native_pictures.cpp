// Decoders and encoders of the native build over libjpeg-turbo, libwebp,
// libtiff, giflib and libheif; colour profiles turned into sRGB with lcms2.
#include "cli/native_pictures.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <lcms2.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/codecs/orientation.h"
#include "core/codecs/picture_header.h"

namespace murkel::cli {
namespace {

bool starts_with(const std::uint8_t* data, std::size_t size, const char* text, std::size_t at = 0) {
  const std::size_t n = std::strlen(text);
  return size >= at + n && std::memcmp(data + at, text, n) == 0;
}

// Interleaved 8-bit RGB (and, when has_alpha, a fourth sample) as decoded.
struct Samples {
  std::int32_t width = 0, height = 0;
  bool has_alpha = false;
  std::vector<std::uint8_t> bytes;
  [[nodiscard]] int channels() const { return has_alpha ? 4 : 3; }
};

std::string too_large(std::uint64_t width, std::uint64_t height) {
  return "its size of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is more than the " +
         std::to_string(kMaxDecodedBytes / 4) + " pixels murkel-cli works on";
}

// How a buffer holds its pixels: their layout for lcms2, and where in each
// pixel its red, green and blue bytes are (others, such as alpha, are kept).
struct Layout {
  cmsUInt32Number rgb;
  std::size_t red, green, blue;
};

// The pixels in the profile's colours become sRGB, in place; a grey profile
// only when every pixel is grey. A profile that lcms2 cannot use, or of
// another colour space, leaves them as they are.
void convert_to_srgb(std::uint8_t* pixels, std::size_t count, std::size_t stride, Layout layout,
                     const std::vector<std::uint8_t>& profile) {
  if (profile.empty() || count == 0) return;
  cmsHPROFILE in = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  if (in == nullptr) return;
  std::uint8_t* const end = pixels + count * stride;
  const cmsColorSpaceSignature space = cmsGetColorSpace(in);
  bool grey = space == cmsSigGrayData;
  for (const std::uint8_t* p = pixels; grey && p < end; p += stride)
    grey = p[layout.red] == p[layout.green] && p[layout.green] == p[layout.blue];
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  if (space == cmsSigRgbData) {
    if (cmsHTRANSFORM t = cmsCreateTransform(in, layout.rgb, srgb, layout.rgb, INTENT_PERCEPTUAL, 0)) {
      // kMaxDecodedBytes keeps the count within 32 bits.
      cmsDoTransform(t, pixels, pixels, static_cast<cmsUInt32Number>(count));
      cmsDeleteTransform(t);
    }
  } else if (grey) {
    // The 256 levels, each computed whole: lcms2's quick 8-bit way strays
    // by up to 10 levels near black from a linear grey.
    if (cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_GRAY_8, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL,
                                             cmsFLAGS_NOOPTIMIZE)) {
      std::uint8_t levels[256], table[256][3];
      for (int v = 0; v < 256; ++v) levels[v] = std::uint8_t(v);
      cmsDoTransform(t, levels, table, 256);
      cmsDeleteTransform(t);
      for (std::uint8_t* p = pixels; p < end; p += stride) {
        const std::uint8_t* to = table[p[layout.red]];
        p[layout.red] = to[0], p[layout.green] = to[1], p[layout.blue] = to[2];
      }
    }
  }
  cmsCloseProfile(srgb);
  cmsCloseProfile(in);
}

void convert_to_srgb(Samples& s, const std::vector<std::uint8_t>& profile) {
  convert_to_srgb(s.bytes.data(), std::size_t(s.width) * std::size_t(s.height), std::size_t(s.channels()),
                  Layout{cmsUInt32Number(s.has_alpha ? TYPE_RGBA_8 : TYPE_RGB_8), 0, 1, 2}, profile);
}

void to_picture(const Samples& s, int orientation, Picture& picture) {
  Image image{s.width, s.height, {}};
  const std::size_t count = std::size_t(s.width) * std::size_t(s.height);
  image.pixels.resize(count);
  std::vector<std::uint8_t> alpha(s.has_alpha ? count : 0);
  const int n = s.channels();
  bool opaque = true;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = &s.bytes[i * n];
    image.pixels[i] = make_colour(p[0], p[1], p[2]);
    if (s.has_alpha) alpha[i] = p[3], opaque = opaque && p[3] == 255;
  }
  if (opaque) alpha.clear();
  if (!alpha.empty()) alpha = upright_pixels(alpha.data(), s.width, s.height, orientation);
  make_upright(image, orientation);
  picture.image = std::move(image);
  picture.alpha = std::move(alpha);
}

// --- JPEG

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void on_jpeg_error(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  cinfo->err->format_message(cinfo, error->message);
  std::longjmp(error->jump, 1);
}

// Everything here is made before setjmp, so that a jump skips no destructor.
std::string decode_jpeg(const std::uint8_t* data, std::size_t size, Samples& s, std::vector<std::uint8_t>& profile) {
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = on_jpeg_error;
  error.manager.output_message = [](j_common_ptr) {};
  JOCTET* icc = nullptr;
  unsigned icc_size = 0;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(icc);
    return error.message;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;  // grey and YCbCr; CMYK files are refused by libjpeg here
  jpeg_start_decompress(&cinfo);
  s.width = static_cast<std::int32_t>(cinfo.output_width);
  s.height = static_cast<std::int32_t>(cinfo.output_height);
  s.bytes.resize(std::size_t(s.width) * std::size_t(s.height) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = s.bytes.data() + std::size_t(cinfo.output_scanline) * std::size_t(s.width) * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  if (jpeg_read_icc_profile(&cinfo, &icc, &icc_size)) profile.assign(icc, icc + icc_size);
  std::free(icc);
  icc = nullptr;
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return {};
}

// --- WebP

std::string decode_webp(const std::uint8_t* data, std::size_t size, Samples& s, std::vector<std::uint8_t>& profile,
                        bool& lossless) {
  WebPBitstreamFeatures features{};
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return "damaged WebP file";
  if (features.has_animation) return "an animated WebP file (only still pictures are read)";
  if (!within_picture_limit(std::uint64_t(features.width), std::uint64_t(features.height)))
    return too_large(std::uint64_t(features.width), std::uint64_t(features.height));
  lossless = features.format == 2;
  s.width = features.width;
  s.height = features.height;
  s.has_alpha = features.has_alpha != 0;
  s.bytes.resize(std::size_t(s.width) * std::size_t(s.height) * std::size_t(s.channels()));
  const int stride = s.width * s.channels();
  const bool decoded = s.has_alpha ? WebPDecodeRGBAInto(data, size, s.bytes.data(), s.bytes.size(), stride) != nullptr
                                   : WebPDecodeRGBInto(data, size, s.bytes.data(), s.bytes.size(), stride) != nullptr;
  if (!decoded) return "damaged WebP file";
  const WebPData whole{data, size};
  if (WebPDemuxer* demux = WebPDemux(&whole)) {
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "ICCP", 1, &chunk))
      profile.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    WebPDemuxDelete(demux);
  }
  return {};
}

// --- TIFF: the first page, from memory

struct MemoryFile {
  const std::uint8_t* data;
  toff_t size, at;
};

tsize_t memory_read(thandle_t h, tdata_t buffer, tsize_t n) {
  auto* f = static_cast<MemoryFile*>(h);
  const toff_t left = f->at < f->size ? f->size - f->at : 0;
  const toff_t count = std::min<toff_t>(left, toff_t(n));
  std::memcpy(buffer, f->data + f->at, count);
  f->at += count;
  return tsize_t(count);
}
tsize_t memory_write(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t memory_seek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  const toff_t base = whence == SEEK_CUR ? f->at : whence == SEEK_END ? f->size : 0;
  f->at = base + offset;
  return f->at;
}
int memory_close(thandle_t) { return 0; }
toff_t memory_size(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int memory_map(thandle_t, tdata_t*, toff_t*) { return 0; }
void memory_unmap(thandle_t, tdata_t, toff_t) {}

std::string decode_tiff(const std::uint8_t* data, std::size_t size, Samples& s, std::vector<std::uint8_t>& profile) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  MemoryFile file{data, toff_t(size), 0};
  TIFF* tif = TIFFClientOpen("input", "rm", &file, memory_read, memory_write, memory_seek, memory_close, memory_size,
                             memory_map, memory_unmap);
  if (tif == nullptr) return "damaged TIFF file";
  std::string error;
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  char message[1024] = "damaged TIFF file";
  TIFFRGBAImage img{};
  if (width == 0 || height == 0 || !within_picture_limit(width, height)) {
    error = too_large(width, height);
  } else if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&img, tif, 0, message)) {
    error = message;
  } else {
    // The rows as stored, top first: the core turns them upright.
    img.req_orientation = img.orientation;
    std::vector<std::uint32_t> raster(std::size_t(width) * height);
    if (!TIFFRGBAImageGet(&img, raster.data(), width, height)) {
      error = "damaged TIFF file";
    } else {
      s.width = std::int32_t(width);
      s.height = std::int32_t(height);
      s.has_alpha = img.alpha != 0;
      s.bytes.resize(raster.size() * std::size_t(s.channels()));
      for (std::size_t i = 0; i < raster.size(); ++i) {
        std::uint8_t* p = &s.bytes[i * std::size_t(s.channels())];
        p[0] = std::uint8_t(TIFFGetR(raster[i])), p[1] = std::uint8_t(TIFFGetG(raster[i]));
        p[2] = std::uint8_t(TIFFGetB(raster[i]));
        if (s.has_alpha) p[3] = std::uint8_t(TIFFGetA(raster[i]));
      }
      if (s.has_alpha && img.alpha == EXTRASAMPLE_ASSOCALPHA)  // premultiplied: back to straight colours
        for (std::size_t i = 0; i < raster.size(); ++i) {
          std::uint8_t* p = &s.bytes[i * 4];
          for (int k = 0; k < 3 && p[3] != 0; ++k) p[k] = std::uint8_t(std::min(255, (p[k] * 255 + p[3] / 2) / p[3]));
        }
      std::uint32_t icc_size = 0;
      void* icc = nullptr;
      if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &icc_size, &icc) && icc != nullptr)
        profile.assign(static_cast<std::uint8_t*>(icc), static_cast<std::uint8_t*>(icc) + icc_size);
    }
    TIFFRGBAImageEnd(&img);
  }
  TIFFClose(tif);
  return error;
}

// --- GIF: the first frame on the logical screen, transparent around it

struct GifInput {
  const std::uint8_t* data;
  std::size_t size, at;
};

int gif_read(GifFileType* gif, GifByteType* buffer, int n) {
  auto* in = static_cast<GifInput*>(gif->UserData);
  const std::size_t count = std::min(in->size - in->at, std::size_t(n));
  std::memcpy(buffer, in->data + in->at, count);
  in->at += count;
  return int(count);
}

std::string decode_gif(const std::uint8_t* data, std::size_t size, Samples& s) {
  GifInput input{data, size, 0};
  int code = 0;
  GifFileType* gif = DGifOpen(&input, gif_read, &code);
  if (gif == nullptr) return "damaged GIF file";
  std::string error;
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    error = std::string("damaged GIF file: ") + GifErrorString(gif->Error);
  } else {
    const SavedImage& frame = gif->SavedImages[0];
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    GraphicsControlBlock control{};
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, 0, &control);
    s.width = gif->SWidth;
    s.height = gif->SHeight;
    s.has_alpha = true;
    s.bytes.assign(std::size_t(s.width) * std::size_t(s.height) * 4, 0);
    const GifImageDesc& d = frame.ImageDesc;
    for (int y = 0; y < d.Height && map != nullptr; ++y)
      for (int x = 0; x < d.Width; ++x) {
        const int sx = d.Left + x, sy = d.Top + y;
        if (sx >= s.width || sy >= s.height) continue;
        const int index = frame.RasterBits[std::size_t(y) * std::size_t(d.Width) + std::size_t(x)];
        if (index == control.TransparentColor || index >= map->ColorCount) continue;
        std::uint8_t* p = &s.bytes[(std::size_t(sy) * std::size_t(s.width) + std::size_t(sx)) * 4];
        p[0] = map->Colors[index].Red, p[1] = map->Colors[index].Green, p[2] = map->Colors[index].Blue, p[3] = 255;
      }
  }
  DGifCloseFile(gif, &code);
  return error;
}

// --- HEIF: the primary picture, turned by its own transforms

std::string decode_heif(const std::uint8_t* data, std::size_t size, Samples& s, std::vector<std::uint8_t>& profile) {
  std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
  heif_error e = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (e.code != heif_error_Ok) return std::string("damaged HEIF file: ") + e.message;
  heif_image_handle* raw_handle = nullptr;
  e = heif_context_get_primary_image_handle(context.get(), &raw_handle);
  if (e.code != heif_error_Ok) return std::string("damaged HEIF file: ") + e.message;
  std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(raw_handle,
                                                                                    heif_image_handle_release);
  const int width = heif_image_handle_get_width(raw_handle), height = heif_image_handle_get_height(raw_handle);
  if (width <= 0 || height <= 0 || !within_picture_limit(std::uint64_t(width), std::uint64_t(height)))
    return too_large(std::uint64_t(std::max(width, 0)), std::uint64_t(std::max(height, 0)));
  s.has_alpha = heif_image_handle_has_alpha_channel(raw_handle) != 0;
  heif_image* raw_image = nullptr;
  e = heif_decode_image(raw_handle, &raw_image, heif_colorspace_RGB,
                        s.has_alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
  if (e.code != heif_error_Ok) return std::string("cannot decode the HEIF file: ") + e.message;
  std::unique_ptr<heif_image, decltype(&heif_image_release)> image(raw_image, heif_image_release);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(raw_image, heif_channel_interleaved, &stride);
  s.width = heif_image_get_width(raw_image, heif_channel_interleaved);
  s.height = heif_image_get_height(raw_image, heif_channel_interleaved);
  if (plane == nullptr || s.width <= 0 || s.height <= 0) return "cannot decode the HEIF file";
  const std::size_t row = std::size_t(s.width) * std::size_t(s.channels());
  s.bytes.resize(row * std::size_t(s.height));
  for (int y = 0; y < s.height; ++y) std::memcpy(&s.bytes[std::size_t(y) * row], plane + std::size_t(y) * std::size_t(stride), row);
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(raw_handle);
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    profile.resize(heif_image_handle_get_raw_color_profile_size(raw_handle));
    if (heif_image_handle_get_raw_color_profile(raw_handle, profile.data()).code != heif_error_Ok) profile.clear();
  }
  return {};
}

}  // namespace

const char* native_format_of(const std::uint8_t* data, std::size_t size) {
  if (starts_with(data, size, "\xFF\xD8\xFF")) return "JPEG";
  if (starts_with(data, size, "RIFF") && starts_with(data, size, "WEBP", 8)) return "WebP";
  if (starts_with(data, size, "II*") || starts_with(data, size, "MM")) {
    if (size >= 4 && (data[0] == 'I' ? data[2] == 42 && data[3] == 0 : data[2] == 0 && data[3] == 42)) return "TIFF";
  }
  if (starts_with(data, size, "GIF87a") || starts_with(data, size, "GIF89a")) return "GIF";
  if (starts_with(data, size, "ftyp", 4) && heif_check_filetype(data, int(std::min<std::size_t>(size, 1 << 20))) ==
                                                  heif_filetype_yes_supported)
    return "HEIF";
  return nullptr;
}

std::string decode_native(const std::uint8_t* data, std::size_t size, Picture& picture, bool& lossless) {
  const std::string format = native_format_of(data, size);
  lossless = format == "GIF" || format == "TIFF";
  // JPEG, GIF and TIFF by the core's header reader; WebP and HEIF by their
  // libraries' header parsers, which decode nothing.
  if (format == "JPEG" || format == "GIF" || format == "TIFF") {
    const PictureHeader header = read_picture_header(data, size);
    if (!header.ok()) return header.error;
  }
  Samples samples;
  std::vector<std::uint8_t> profile;
  std::string error = format == "JPEG"   ? decode_jpeg(data, size, samples, profile)
                      : format == "WebP" ? decode_webp(data, size, samples, profile, lossless)
                      : format == "TIFF" ? decode_tiff(data, size, samples, profile)
                      : format == "GIF"  ? decode_gif(data, size, samples)
                                         : decode_heif(data, size, samples, profile);
  if (!error.empty()) return error;
  convert_to_srgb(samples, profile);
  // HEIF applies its own turns while decoding.
  const int orientation = format == "JPEG" || format == "TIFF" ? picture_orientation(data, size) : kUpright;
  to_picture(samples, orientation, picture);
  return {};
}

void convert_to_srgb(Picture& picture, const std::vector<std::uint8_t>& profile) {
  // A colour 0x00BBGGRR in memory: R, G, B, 0 on a little-endian machine.
  constexpr bool little = std::endian::native == std::endian::little;
  const Layout layout = little ? Layout{TYPE_RGBA_8, 0, 1, 2} : Layout{TYPE_ABGR_8, 3, 2, 1};
  convert_to_srgb(reinterpret_cast<std::uint8_t*>(picture.image.pixels.data()), picture.image.pixels.size(),
                  sizeof(Colour), layout, profile);
}

std::string encode_jpeg_into(Picture& picture, int quality, std::vector<std::uint8_t>& out) {
  blend_over_white(picture);
  const Image& image = picture.image;
  jpeg_compress_struct cinfo{};
  JpegError error{};
  cinfo.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = on_jpeg_error;
  unsigned char* buffer = nullptr;
  unsigned long buffer_size = 0;
  std::vector<std::uint8_t> row(std::size_t(image.width) * 3);
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return error.message;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &buffer_size);
  cinfo.image_width = JDIMENSION(image.width);
  cinfo.image_height = JDIMENSION(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const Colour* p = &image.pixels[std::size_t(cinfo.next_scanline) * std::size_t(image.width)];
    for (std::int32_t x = 0; x < image.width; ++x)
      row[std::size_t(x) * 3] = std::uint8_t(red_of(p[x])), row[std::size_t(x) * 3 + 1] = std::uint8_t(green_of(p[x])),
      row[std::size_t(x) * 3 + 2] = std::uint8_t(blue_of(p[x]));
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  out.assign(buffer, buffer + buffer_size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return {};
}

std::string encode_webp_into(const Picture& picture, bool lossless, int quality, std::vector<std::uint8_t>& out) {
  const Image& image = picture.image;
  if (image.width > WEBP_MAX_DIMENSION || image.height > WEBP_MAX_DIMENSION)
    return "a WebP file holds at most " + std::to_string(WEBP_MAX_DIMENSION) + " pixels a side";
  const bool alpha = !picture.alpha.empty();
  const int channels = alpha ? 4 : 3;
  std::vector<std::uint8_t> samples(image.pixels.size() * std::size_t(channels));
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    std::uint8_t* p = &samples[i * std::size_t(channels)];
    p[0] = std::uint8_t(red_of(image.pixels[i])), p[1] = std::uint8_t(green_of(image.pixels[i]));
    p[2] = std::uint8_t(blue_of(image.pixels[i]));
    if (alpha) p[3] = picture.alpha[i];
  }
  std::uint8_t* encoded = nullptr;
  const int stride = image.width * channels;
  const std::size_t size =
      lossless ? (alpha ? WebPEncodeLosslessRGBA : WebPEncodeLosslessRGB)(samples.data(), image.width, image.height,
                                                                         stride, &encoded)
               : (alpha ? WebPEncodeRGBA : WebPEncodeRGB)(samples.data(), image.width, image.height, stride,
                                                          float(quality), &encoded);
  if (size == 0) {
    WebPFree(encoded);
    return "the WebP encoder failed";
  }
  out.assign(encoded, encoded + size);
  WebPFree(encoded);
  return {};
}

}  // namespace murkel::cli
