// The golden-page check that the headless and the window tests share: a
// picture of the page against a palette PNG checked in. On a mismatch the
// actual picture, the expected one and a difference image are written beside
// each other (test_output_path), and the message names them and the switch
// that rewrites the golden file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws {
class ScreenPage;
}

namespace ws::test {

// Set (to anything) in the environment, the test that owns a golden file
// writes it from the page instead of comparing.
inline constexpr const char* kUpdateGoldenVariable = "WS_UPDATE_GOLDEN";
bool golden_update_requested();

// The golden page tests/winding/golden/diagram-24-4.png (the finished diagram
// for Z=24 and p'=4) is written by the headless test that this runs.
inline constexpr const char* kDiagramGoldenWriter = "ctest -R Diagram24x4.GoldenPage";

// What is compared: one colour number per pixel, row by row, -1 where a pixel
// has none (a window grab's colour outside the palette); and the picture as
// it looks, 0xRRGGBB, for the files written on a mismatch.
struct GoldenPicture {
  int width = 0, height = 0;
  std::vector<int> colours;
  std::vector<uint32_t> rgb;
};
// The page's pixels through its palette.
GoldenPicture golden_picture_of(const ScreenPage& page);

class GoldenPage {
 public:
  // Reads the golden file; loaded() tells whether that worked.
  explicit GoldenPage(std::string path);
  bool loaded() const { return loaded_; }
  const std::string& path() const { return path_; }

  // Pixels whose colour number differs (all of them when the sizes differ).
  int differing_pixels(const GoldenPicture& picture) const;

  // Empty when the picture matches. Otherwise writes <name>-actual.png,
  // <name>-expected.png and <name>-difference.png and returns a message that
  // names them, and how to rewrite the golden file: writer names the test
  // that writes it under kUpdateGoldenVariable.
  std::string mismatch(const GoldenPicture& picture, const std::string& name,
                       const std::string& writer) const;

 private:
  std::string path_;
  bool loaded_ = false;
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> colours_;
};

// What the test that owns a golden file does with it: it compares the page
// with the file; only with kUpdateGoldenVariable set it writes the file from
// the page instead, and says so. It never skips: either way the test ends
// passed or failed, with the message.
struct GoldenOutcome {
  bool passed = false;
  bool rewritten = false;
  // Why it failed (GoldenPage::mismatch), or that the file was rewritten.
  std::string message;
};
GoldenOutcome check_golden_page(const ScreenPage& page, const std::string& path,
                                const std::string& name, const std::string& writer);

}  // namespace ws::test
