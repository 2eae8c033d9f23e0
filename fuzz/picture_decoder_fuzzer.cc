// Arbitrary bytes as a note's picture, decoded and drawn as the map draws an
// adornment's picture. Picture bytes come from document files: a damaged or hostile
// picture must never crash, read out of bounds or allocate without limit.

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/cairo/cairo_draw_context.h"
#include "app/cairo/picture_decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;  // NOLINT: a fuzz target of one function
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int width = 0;
  int height = 0;
  const bool sized = PictureSize(bytes, &width, &height);
  cairo_surface_t* picture = DecodePicture(bytes);
  if (picture != nullptr) {
    // Only pictures with a readable size are decoded, and never beyond the limits.
    const int64_t w = cairo_image_surface_get_width(picture);
    const int64_t h = cairo_image_surface_get_height(picture);
    fuzz::Check(sized && width > 0 && height > 0);
    fuzz::Check(w <= kMaxPictureSide && h <= kMaxPictureSide && w * h <= kMaxPicturePixels);
    cairo_surface_destroy(picture);
  }
  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 32, 32);
  cairo_t* cr = cairo_create(target);
  {
    CairoDrawContext dc(cr);
    dc.DrawPicture(bytes, SRect{2, 2, 30, 20});
  }
  cairo_destroy(cr);
  cairo_surface_destroy(target);
  return 0;
}
