// Pictures kept in notes (PNG or JPEG bytes) as Cairo image surfaces. The bytes come
// from documents, so they are outside input: a picture's size is read from its header
// and checked before anything is allocated, and bytes that are not a readable picture
// give no surface.

#ifndef FERNWEAVE_APP_CAIRO_PICTURE_DECODER_H_
#define FERNWEAVE_APP_CAIRO_PICTURE_DECODER_H_

#include <cairo.h>

#include <cstdint>
#include <string_view>

namespace fernweave {

enum class PictureType { kUnknown, kPng, kJpeg };

// By the bytes' signature.
PictureType PictureTypeOf(std::string_view bytes);

// Pictures wider or taller than this, or with more pixels than kMaxPicturePixels, are
// not decoded: a few bytes of header could otherwise ask for gigabytes.
inline constexpr int kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = int64_t{24} << 20;

// The picture's width and height from its header; false when the header is not one
// of a known type or is cut short.
bool PictureSize(std::string_view bytes, int* width, int* height);

// A new image surface holding the picture, or null. The caller destroys it.
cairo_surface_t* DecodePicture(std::string_view bytes);

// The same through a small cache of recently drawn pictures (by content), so a map
// painted again and again decodes each picture once. Returns a new reference, or null;
// bytes that failed to decode are remembered as failing too. Main thread only.
cairo_surface_t* CachedPicture(std::string_view bytes);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_CAIRO_PICTURE_DECODER_H_
