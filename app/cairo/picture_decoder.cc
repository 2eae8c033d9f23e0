#include "app/cairo/picture_decoder.h"

// libjpeg's header needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace fernweave {

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t BigEndian32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return v;
}

bool SaneSize(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// --- PNG, through Cairo's own reader ---------------------------------------------

struct PngSource {
  std::string_view bytes;
  size_t at = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* source = static_cast<PngSource*>(closure);
  if (source->bytes.size() - source->at < length) {
    return CAIRO_STATUS_READ_ERROR;
  }
  std::memcpy(data, source->bytes.data() + source->at, length);
  source->at += length;
  return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* DecodePng(std::string_view bytes) {
  PngSource source{bytes, 0};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadPng, &source);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface;
}

// --- JPEG, through libjpeg ------------------------------------------------------

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps
// back to the decoder, which lets everything go.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings (a file cut short is drawn with its missing part grey) are not printed.
void IgnoreJpegMessage(j_common_ptr) {}

// Only plain data lives in this frame, so the jump back leaves nothing undestroyed.
cairo_surface_t* DecodeJpeg(std::string_view bytes) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  cairo_surface_t* volatile surface = nullptr;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JumpOnJpegError;
  errors.manager.output_message = IgnoreJpegMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    if (surface != nullptr) {
      cairo_surface_destroy(surface);
    }
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (!SaneSize(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  // Cairo's RGB24 pixels are 32-bit words 0x00RRGGBB: in memory B, G, R, X on a
  // little-endian machine, X, R, G, B on a big-endian one.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  info.out_color_space = JCS_EXT_BGRX;
#else
  info.out_color_space = JCS_EXT_XRGB;
#endif
  jpeg_start_decompress(&info);
  surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(info.output_width),
                                       static_cast<int>(info.output_height));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    jpeg_destroy_decompress(&info);
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* pixels = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels + static_cast<size_t>(info.output_scanline) * stride;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) {
      break;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  cairo_surface_mark_dirty(surface);
  return surface;
}

// The size from a JPEG's start-of-frame marker, walking the segments before it.
bool JpegSize(std::string_view bytes, int* width, int* height) {
  size_t at = 2;
  while (at + 4 <= bytes.size()) {
    if (static_cast<unsigned char>(bytes[at]) != 0xFF) {
      return false;
    }
    const unsigned char marker = static_cast<unsigned char>(bytes[at + 1]);
    if (marker == 0xFF) {
      ++at;  // fill byte
      continue;
    }
    if ((marker >= 0xD0 && marker <= 0xD8) || marker == 0x01) {
      at += 2;  // a marker without a segment
      continue;
    }
    const size_t length = (static_cast<unsigned char>(bytes[at + 2]) << 8) |
                          static_cast<unsigned char>(bytes[at + 3]);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                       marker != 0xCC;
    if (frame) {
      if (at + 9 > bytes.size()) {
        return false;
      }
      *height = (static_cast<unsigned char>(bytes[at + 5]) << 8) |
                static_cast<unsigned char>(bytes[at + 6]);
      *width = (static_cast<unsigned char>(bytes[at + 7]) << 8) |
               static_cast<unsigned char>(bytes[at + 8]);
      return true;
    }
    if (length < 2) {
      return false;
    }
    at += 2 + length;
  }
  return false;
}

// --- The cache --------------------------------------------------------------------

struct CachedEntry {
  size_t hash = 0;
  std::string bytes;  // kept to tell two pictures of the same hash apart
  cairo_surface_t* surface = nullptr;  // null: the bytes did not decode
};

constexpr size_t kCacheEntries = 8;

std::vector<CachedEntry>& Cache() {
  static auto* cache = new std::vector<CachedEntry>();
  return *cache;
}

void ReleaseCache() {
  for (CachedEntry& entry : Cache()) {
    if (entry.surface != nullptr) {
      cairo_surface_destroy(entry.surface);
    }
  }
  Cache().clear();
  Cache().shrink_to_fit();
}

}  // namespace

PictureType PictureTypeOf(std::string_view bytes) {
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0) {
    return PictureType::kPng;
  }
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xD8 &&
      static_cast<unsigned char>(bytes[2]) == 0xFF) {
    return PictureType::kJpeg;
  }
  return PictureType::kUnknown;
}

bool PictureSize(std::string_view bytes, int* width, int* height) {
  switch (PictureTypeOf(bytes)) {
    case PictureType::kPng: {
      // The signature, then the IHDR chunk: length, "IHDR", width, height.
      if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") {
        return false;
      }
      const uint32_t w = BigEndian32(bytes, 16);
      const uint32_t h = BigEndian32(bytes, 20);
      if (w > INT32_MAX || h > INT32_MAX) {
        return false;
      }
      *width = static_cast<int>(w);
      *height = static_cast<int>(h);
      return true;
    }
    case PictureType::kJpeg:
      return JpegSize(bytes, width, height);
    case PictureType::kUnknown:
      return false;
  }
  return false;
}

cairo_surface_t* DecodePicture(std::string_view bytes) {
  int width = 0;
  int height = 0;
  if (!PictureSize(bytes, &width, &height) || !SaneSize(width, height)) {
    return nullptr;
  }
  return PictureTypeOf(bytes) == PictureType::kPng ? DecodePng(bytes) : DecodeJpeg(bytes);
}

cairo_surface_t* CachedPicture(std::string_view bytes) {
  static const bool registered = [] { return std::atexit(ReleaseCache) == 0; }();
  (void)registered;
  std::vector<CachedEntry>& cache = Cache();
  const size_t hash = std::hash<std::string_view>()(bytes);
  for (size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].hash == hash && cache[i].bytes == bytes) {
      // The most recently used entry moves to the front.
      std::rotate(cache.begin(), cache.begin() + static_cast<ptrdiff_t>(i),
                  cache.begin() + static_cast<ptrdiff_t>(i) + 1);
      return cache.front().surface == nullptr ? nullptr
                                              : cairo_surface_reference(cache.front().surface);
    }
  }
  CachedEntry entry{hash, std::string(bytes), DecodePicture(bytes)};
  if (cache.size() >= kCacheEntries) {
    if (cache.back().surface != nullptr) {
      cairo_surface_destroy(cache.back().surface);
    }
    cache.pop_back();
  }
  cache.insert(cache.begin(), std::move(entry));
  return cache.front().surface == nullptr ? nullptr
                                          : cairo_surface_reference(cache.front().surface);
}

}  // namespace fernweave
