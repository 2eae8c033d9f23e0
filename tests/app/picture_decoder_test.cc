#include <cairo.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <tuple>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "app/cairo/cairo_draw_context.h"
#include "app/cairo/picture_decoder.h"

namespace fernweave {
namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// A width × height PNG in one colour.
std::string SolidPng(int width, int height, double r, double g, double b) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, r, g, b);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::string bytes;
  cairo_surface_write_to_png_stream(surface, AppendBytes, &bytes);
  cairo_surface_destroy(surface);
  return bytes;
}

// A width × height JPEG in one colour.
std::string SolidJpeg(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::string row;
  for (int x = 0; x < width; ++x) {
    row += {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = reinterpret_cast<unsigned char*>(row.data());
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  free(out);
  return bytes;
}

// Red, green and blue (0–255) of the pixel of an RGB24 or ARGB32 surface.
std::tuple<int, int, int> PixelAt(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const unsigned char* row =
      cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
  const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
  return {(pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF};
}

// Draws the bytes into the box 10,10,50,50 of a white 60 × 60 picture.
struct Canvas {
  Canvas() {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 60, 60);
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  bool Draw(const std::string& bytes) {
    CairoDrawContext dc(cr);
    return dc.DrawPicture(bytes, SRect{10, 10, 50, 50});
  }
  cairo_surface_t* surface;
  cairo_t* cr;
};

// A picture twice as wide as high fills the box's width and is centred vertically:
// rows 20–40 of the box 10–50, white above and below.
TEST(PictureDecoderTest, PngAndJpegAreFittedIntoTheBox) {
  const struct {
    const char* name;
    std::string bytes;
  } pictures[] = {{"png", SolidPng(8, 4, 1, 0, 0)}, {"jpeg", SolidJpeg(16, 8, 255, 0, 0)}};
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.name);
    Canvas canvas;
    ASSERT_TRUE(canvas.Draw(p.bytes));
    const auto [r, g, b] = PixelAt(canvas.surface, 30, 30);
    EXPECT_GT(r, 240);
    EXPECT_LT(g, 16);
    EXPECT_LT(b, 16);
    EXPECT_EQ(PixelAt(canvas.surface, 30, 15), std::make_tuple(255, 255, 255));
    EXPECT_EQ(PixelAt(canvas.surface, 30, 45), std::make_tuple(255, 255, 255));
    EXPECT_EQ(PixelAt(canvas.surface, 5, 30), std::make_tuple(255, 255, 255));
  }
}

// Bytes from a document that are not a readable picture draw nothing, and a header
// asking for a huge picture is refused before anything is allocated.
TEST(PictureDecoderTest, DamagedOrHugePicturesDrawNothing) {
  std::string png = SolidPng(8, 4, 0, 0, 1);
  std::string huge_png = png;
  huge_png.replace(16, 8, std::string("\x00\x01\x00\x00\x00\x01\x00\x00", 8));  // 65536²
  std::string jpeg = SolidJpeg(16, 8, 0, 0, 255);
  std::string huge_jpeg = SolidJpeg(16, 8, 0, 0, 255);
  // The start-of-frame's height and width: 60000 × 60000.
  const size_t sof = huge_jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge_jpeg.replace(sof + 5, 4, "\xEA\x60\xEA\x60");
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "not a picture at all"},
      {"png signature only", png.substr(0, 8)},
      {"png cut after its header", png.substr(0, 40)},
      {"png of 65536 x 65536", huge_png},
      {"jpeg start only", std::string("\xFF\xD8\xFF", 3)},
      {"jpeg of 60000 x 60000", huge_jpeg},
      {"jpeg with its frame header cut", jpeg.substr(0, sof + 6)},
      {"jpeg cut before its image data", jpeg.substr(0, sof + 19)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodePicture(c.bytes), nullptr);
    Canvas canvas;
    EXPECT_FALSE(canvas.Draw(c.bytes));
    EXPECT_EQ(PixelAt(canvas.surface, 30, 30), std::make_tuple(255, 255, 255));
  }
  // The same bytes drawn again come from the cache, good or bad.
  cairo_surface_t* first = CachedPicture(png);
  cairo_surface_t* second = CachedPicture(png);
  EXPECT_EQ(first, second);
  cairo_surface_destroy(first);
  cairo_surface_destroy(second);
  EXPECT_EQ(CachedPicture("not a picture"), nullptr);
  EXPECT_EQ(CachedPicture("not a picture"), nullptr);
}

}  // namespace
}  // namespace fernweave
