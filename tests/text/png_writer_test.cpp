#include "support/png_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "screen/page.h"

namespace ws::test {
namespace {

std::string temp_path(const std::string& name) { return ::testing::TempDir() + name; }

TEST(PngWriter, PageReadsBackAsItsColourNumbers) {
  auto page = create_page(12);
  for (int y = 0; y < page->height; ++y) {
    for (int x = 0; x < page->width; ++x) page->set_pixel(x, y, static_cast<uint32_t>((x / 7 + y * 3) % 16));
  }
  const std::string path = temp_path("png_writer_roundtrip.png");
  ASSERT_TRUE(write_page_png(*page, path));

  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  ASSERT_TRUE(read_page_png(path, width, height, pixels));
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  ASSERT_EQ(pixels.size(), 640u * 480u);
  int wrong = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) wrong += pixels[y * width + x] != page->pixel(x, y);
  }
  EXPECT_EQ(wrong, 0);
  std::remove(path.c_str());
}

TEST(PngWriter, FailuresAreReported) {
  auto page = create_page(12);
  EXPECT_FALSE(write_page_png(*page, temp_path("no_such_dir/page.png")));

  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  EXPECT_FALSE(read_page_png(temp_path("no_such_file.png"), width, height, pixels));

  const std::string garbage = temp_path("png_writer_garbage.png");
  std::ofstream(garbage) << "\x89PNG\r\n\x1a\n but not really";
  EXPECT_FALSE(read_page_png(garbage, width, height, pixels));
  EXPECT_TRUE(pixels.empty());
  std::remove(garbage.c_str());
}

}  // namespace
}  // namespace ws::test
