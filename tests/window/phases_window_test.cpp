// The real program under Xvfb, from the first key to the exit: typed 24 and 4,
// sped up with '+' keys, it draws the whole diagram, erases the speed hint,
// waits for a key, shows the end prompt with the page equal to the golden
// page pixel for pixel, and ends with exit code 0 on the next key.
//
// WS_README_PICTURE=path also writes the window's picture of the finished
// diagram (at the final key wait, before the prompt) to that PNG file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "screen/page.h"
#include "support/golden.h"
#include "support/png_writer.h"
#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

const std::string kGolden = WS_SOURCE_DIR "/tests/winding/golden/diagram-24-4.png";
// Sped up, the diagram takes a few seconds to draw; this guards against a
// hang only.
constexpr int kDrawingGuardMs = 60000;

// A grab as the golden check compares it: each pixel's colour number (a
// colour outside the palette has none, and so differs).
GoldenPicture picture_of(const RgbImage& img) {
  GoldenPicture p;
  p.width = img.width;
  p.height = img.height;
  p.rgb = img.pixels;
  p.colours.reserve(img.pixels.size());
  for (const uint32_t rgb : img.pixels) p.colours.push_back(palette_index(rgb));
  return p;
}

bool write_picture(const RgbImage& img, const std::string& path) {
  auto page = create_page(12);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      page->set_pixel(x, y, static_cast<uint32_t>(palette_index(img.at(x, y))));
  return write_page_png(*page, path);
}

class PhasesWindow : public ProgramAtFirstPrompt {};

TEST_F(PhasesWindow, WholeRunSpedUpEqualsTheGoldenPageAndEndsWithTwoKeys) {
  const GoldenPage golden(kGolden);
  ASSERT_TRUE(golden.loaded()) << kGolden;
  XServer& x = this->x();
  Program& p = program();
  const WindowId w = window();

  // The numbers, then ten '+' for the number tables and the marks: each
  // step takes one and halves the pause.
  std::vector<std::string> keys{"2", "4", "Return", "4", "Return"};
  keys.insert(keys.end(), 10, "plus");
  ASSERT_TRUE(x.send_keys(w, keys));

  // The paths start again at one second per step; once "U1" stands, twelve
  // more '+' for them.
  ASSERT_TRUE(
      x.grab_page_until(
          w, [](const RgbImage& img) { return grab_cell(img, 6, 11) == 'U'; }, kDrawingGuardMs))
      << "the paths did not begin; " << p.stderr_text();
  ASSERT_TRUE(x.send_keys(w, std::vector<std::string>(12, "plus")));

  // The final key wait: "W2" in blue on row 15 (lines cross its cells), the
  // speed hint erased.
  const auto finished = x.grab_page_until(w, [](const RgbImage& img) {
    int blue = 0;
    for (int y = 224; y < 240; ++y)
      for (int px = 360; px < 376; ++px) blue += palette_index(img.at(px, y)) == 1;
    return blue > 10 && grab_text(img, 2, 8, 73) == std::string(66, ' ');
  }, kDrawingGuardMs);
  ASSERT_TRUE(finished) << "no finale; " << p.stderr_text();
  if (const char* path = std::getenv("WS_README_PICTURE")) {
    EXPECT_TRUE(write_picture(*finished, path)) << path;
  }
  EXPECT_TRUE(p.running());
  EXPECT_EQ(grab_text(*finished, 30, 1, 25), std::string(25, ' '));

  // The first key ends the wait and the prompt appears; then the window
  // shows the golden page.
  ASSERT_TRUE(x.send_keys(w, {"space"}));
  const auto prompt = x.grab_page_until(
      w, [&](const RgbImage& img) { return golden.differing_pixels(picture_of(img)) == 0; });
  if (!prompt) {
    const auto img = x.grab(w);
    ASSERT_TRUE(img && img->width == 640 && img->height == 480);
    FAIL() << golden.mismatch(picture_of(*img), "phases-window", kDiagramGoldenWriter)
           << "\nrow 30 reads \"" << grab_text(*img, 30, 1, 25) << "\"";
  }
  // The prompt waits: a second later the program still runs.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_TRUE(p.running());

  ASSERT_TRUE(x.send_keys(w, {"space"}));
  EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
  const auto total_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(p.exit_time() - p.start_time()).count();
  RecordProperty("run_ms", std::to_string(total_ms));
  std::cout << "whole run under Xvfb, start to exit: " << total_ms << " ms\n";
}

}  // namespace
}  // namespace ws::test
