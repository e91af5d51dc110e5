#include "support/golden.h"

#include <cstdlib>
#include <sstream>
#include <utility>

#include "screen/page.h"
#include "support/png_writer.h"

namespace ws::test {

namespace {

// Pixels that match are shown dimmed in the difference image, those that
// differ in a red outside the palette.
constexpr uint32_t kDifferent = 0xFF0000;
uint32_t dimmed(uint32_t rgb) { return (rgb >> 2) & 0x3F3F3F; }

}  // namespace

bool golden_update_requested() { return std::getenv(kUpdateGoldenVariable) != nullptr; }

GoldenPicture golden_picture_of(const ScreenPage& page) {
  GoldenPicture p;
  p.width = page.width;
  p.height = page.height;
  p.colours.reserve(static_cast<size_t>(page.pixel_count()));
  p.rgb.reserve(static_cast<size_t>(page.pixel_count()));
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      const uint32_t n = page.pixel(x, y);
      p.colours.push_back(static_cast<int>(n));
      p.rgb.push_back(n < 256 ? page.palette(static_cast<int>(n)) & 0xFFFFFF : 0);
    }
  }
  return p;
}

GoldenPage::GoldenPage(std::string path) : path_(std::move(path)) {
  loaded_ = read_page_png(path_, width_, height_, colours_);
}

int GoldenPage::differing_pixels(const GoldenPicture& picture) const {
  if (picture.width != width_ || picture.height != height_ ||
      picture.colours.size() != colours_.size())
    return static_cast<int>(picture.colours.size() > colours_.size() ? picture.colours.size()
                                                                     : colours_.size());
  int count = 0;
  for (size_t i = 0; i < colours_.size(); ++i) count += picture.colours[i] != colours_[i];
  return count;
}

std::string GoldenPage::mismatch(const GoldenPicture& picture, const std::string& name,
                                 const std::string& writer) const {
  std::ostringstream m;
  if (!loaded_) {
    m << "the golden file " << path_ << " cannot be read";
  } else {
    const int count = differing_pixels(picture);
    if (count == 0) return {};
    m << count << " of " << colours_.size() << " pixels differ from the golden page " << path_;
    if (picture.width != width_ || picture.height != height_) {
      m << " (a picture of " << picture.width << " x " << picture.height << ", the golden page "
        << width_ << " x " << height_ << ")";
    } else {
      size_t i = 0;
      while (picture.colours[i] == colours_[i]) ++i;
      m << "; the first at x " << i % width_ << ", y " << i / width_ << ": colour "
        << picture.colours[i] << ", expected " << int{colours_[i]};
    }
  }
  // The expected picture through the default palette, which the golden pages
  // are written with.
  std::vector<uint32_t> expected(colours_.size());
  for (size_t i = 0; i < colours_.size(); ++i)
    expected[i] = colours_[i] < kDefaultPalette.size() ? kDefaultPalette[colours_[i]] & 0xFFFFFF : 0;
  const std::string actual_path = test_output_path(name + "-actual.png");
  const std::string expected_path = test_output_path(name + "-expected.png");
  const std::string difference_path = test_output_path(name + "-difference.png");
  const bool actual_written = write_rgb_png(picture.width, picture.height, picture.rgb, actual_path);
  const bool expected_written = loaded_ && write_rgb_png(width_, height_, expected, expected_path);
  bool difference_written = false;
  if (loaded_ && picture.width == width_ && picture.height == height_) {
    std::vector<uint32_t> difference(expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      difference[i] = picture.colours[i] == colours_[i] ? dimmed(expected[i]) : kDifferent;
    difference_written = write_rgb_png(width_, height_, difference, difference_path);
  }
  const auto file = [](bool written, const std::string& path) {
    return written ? path : "(not written)";
  };
  m << "\n  actual:     " << file(actual_written, actual_path)
    << "\n  expected:   " << file(expected_written, expected_path)
    << "\n  difference: " << file(difference_written, difference_path)
    << "\nIf the new picture is right, rewrite the golden file with " << kUpdateGoldenVariable
    << "=1 set: " << writer;
  return m.str();
}

GoldenOutcome check_golden_page(const ScreenPage& page, const std::string& path,
                                const std::string& name, const std::string& writer) {
  GoldenOutcome outcome;
  if (golden_update_requested()) {
    outcome.rewritten = write_page_png(page, path);
    outcome.passed = outcome.rewritten;
    outcome.message = outcome.rewritten
                          ? "rewrote the golden file " + path + " from the page (" +
                                kUpdateGoldenVariable + " is set)"
                          : "the golden file " + path + " could not be written";
    return outcome;
  }
  outcome.message = GoldenPage(path).mismatch(golden_picture_of(page), name, writer);
  outcome.passed = outcome.message.empty();
  return outcome;
}

}  // namespace ws::test
