#include "support/png_writer.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "screen/page.h"

namespace ws {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Largest picture read_page_png accepts, so that a damaged file cannot ask
// for a huge buffer.
constexpr png_uint_32 kMaxSide = 4096;

// The libpng calls live in functions with nothing to destroy: a libpng error
// returns through longjmp to the setjmp below, which must not skip a
// destructor. The caller owns the file and the buffers.
bool write_png(FILE* file, const ScreenPage& page, const png_color* colours, int colour_count,
               uint8_t* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  const int depth = colour_count <= 16 ? 4 : 8;
  png_set_IHDR(png, info, page.width, page.height, depth, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, colours, colour_count);
  png_write_info(png, info);
  png_set_packing(png);  // rows are handed over one byte per pixel
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      // Colour numbers beyond the palette (a page whose mask lets them
      // through) are cut to fit, so the file stays valid.
      row[x] = static_cast<uint8_t>(page.pixel(x, y) % colour_count);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Reads a PNG of the colour type given (a palette: one byte per pixel, the
// colour number; 8-bit RGB: three) into bytes, rows top to bottom. False for
// any other kind of picture.
bool read_png(FILE* file, int colour_type_wanted, png_uint_32& width, png_uint_32& height,
              std::vector<uint8_t>& bytes, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);
  int depth = 0, colour_type = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour_type, nullptr, nullptr, nullptr);
  const bool palette = colour_type_wanted == PNG_COLOR_TYPE_PALETTE;
  if (colour_type != colour_type_wanted || (!palette && depth != 8)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  if (palette) png_set_packing(png);  // one byte per pixel: the colour number
  png_read_update_info(png, info);
  const size_t row_bytes = static_cast<size_t>(width) * (palette ? 1 : 3);
  bytes.assign(row_bytes * height, 0);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = bytes.data() + y * row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool write_rgb(FILE* file, int width, int height, const uint32_t* pixels, uint8_t* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint32_t* line = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(line[x] >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(line[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(line[x]);
    }
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool write_page_png(const ScreenPage& page, const std::string& path) {
  const int colour_count = page.palette_size() > 256 ? 256 : page.palette_size();
  std::vector<png_color> colours(static_cast<size_t>(colour_count));
  for (int n = 0; n < colour_count; ++n) {
    const uint32_t argb = page.palette(n);
    colours[n] = {static_cast<png_byte>(argb >> 16), static_cast<png_byte>(argb >> 8),
                  static_cast<png_byte>(argb)};
  }
  std::vector<uint8_t> row(page.width);
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool ok = write_png(file.get(), page, colours.data(), colour_count, row.data());
  return std::fclose(file.release()) == 0 && ok;
}

bool read_page_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& pixels) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  png_uint_32 w = 0, h = 0;
  std::vector<png_bytep> rows;
  if (!read_png(file.get(), PNG_COLOR_TYPE_PALETTE, w, h, pixels, rows)) {
    pixels.clear();
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

bool write_rgb_png(int width, int height, const std::vector<uint32_t>& pixels,
                   const std::string& path) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height)
    return false;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool ok = write_rgb(file.get(), width, height, pixels.data(), row.data());
  return std::fclose(file.release()) == 0 && ok;
}

bool read_rgb_png(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels) {
  pixels.clear();
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  png_uint_32 w = 0, h = 0;
  std::vector<uint8_t> bytes;
  std::vector<png_bytep> rows;
  if (!read_png(file.get(), PNG_COLOR_TYPE_RGB, w, h, bytes, rows)) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  pixels.resize(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint32_t{bytes[3 * i]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
  return true;
}

std::string test_output_path(const std::string& file_name) {
  const char* dir = std::getenv("TEST_OUTPUT_DIR");
  const std::filesystem::path folder = dir != nullptr && *dir != 0 ? dir : WS_TEST_OUTPUT_DIR;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return (folder / file_name).string();
}

}  // namespace ws
