// The golden-page check of tests/support/golden.h on a small page: a matching
// pair passes and writes nothing; a pair with one wrong pixel writes the
// actual, the expected and the difference picture beside each other and names
// them and the switch that rewrites the golden file. A golden test without
// that switch only compares, and leaves the golden file as it is; with it, it
// rewrites the file and says so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "screen/page.h"
#include "support/golden.h"
#include "support/png_writer.h"

namespace ws::test {
namespace {

namespace fs = std::filesystem;

// An environment variable set or unset for a test, as it was afterwards.
class ScopedVariable {
 public:
  explicit ScopedVariable(const char* name) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) saved_ = old;
  }
  ~ScopedVariable() {
    if (had_)
      setenv(name_, saved_.c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  void set(const std::string& value) { setenv(name_, value.c_str(), 1); }
  void unset() { unsetenv(name_); }

 private:
  const char* name_;
  bool had_ = false;
  std::string saved_;
};

// A 16 x 4 page of stripes, written as the golden file into a folder of its
// own, which is also the test output folder.
class GoldenCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ws-golden-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    output_dir_.set((dir_ / "out").string());
    for (int n = 0; n < 16; ++n) page.set_palette(n, kDefaultPalette[n]);
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x) page.set_pixel(x, y, static_cast<uint32_t>(x % 16));
    golden_path = (dir_ / "golden.png").string();
    ASSERT_TRUE(write_page_png(page, golden_path));
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::vector<uint32_t> read_output(const std::string& file) {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    EXPECT_TRUE(read_rgb_png((dir_ / "out" / file).string(), width, height, pixels)) << file;
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 4);
    return pixels;
  }
  fs::path out() const { return dir_ / "out"; }

  std::string golden_bytes() const {
    std::ifstream in(golden_path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  ScreenPage page{16, 4};
  std::string golden_path;
  ScopedVariable update_switch{kUpdateGoldenVariable};

 private:
  ScopedVariable output_dir_{"TEST_OUTPUT_DIR"};
  fs::path dir_;
};

TEST_F(GoldenCheck, AMatchingPageGivesNoMessageAndWritesNothing) {
  const GoldenPage golden(golden_path);
  ASSERT_TRUE(golden.loaded());
  EXPECT_EQ(golden.mismatch(golden_picture_of(page), "stripes", "the stripes test"), "");
  EXPECT_TRUE(fs::is_empty(out()));
}

TEST_F(GoldenCheck, OneWrongPixelWritesActualExpectedAndDifferenceAndNamesTheSwitch) {
  const GoldenPage golden(golden_path);
  ASSERT_TRUE(golden.loaded());
  page.set_pixel(5, 2, 12);  // 5 in the golden page
  const GoldenPicture actual = golden_picture_of(page);
  EXPECT_EQ(golden.differing_pixels(actual), 1);
  const std::string message = golden.mismatch(actual, "stripes", "the stripes test");

  EXPECT_NE(message.find("1 of 64 pixels differ from the golden page " + golden_path),
            std::string::npos) << message;
  EXPECT_NE(message.find("x 5, y 2: colour 12, expected 5"), std::string::npos) << message;
  EXPECT_NE(message.find("WS_UPDATE_GOLDEN=1"), std::string::npos) << message;
  EXPECT_NE(message.find("the stripes test"), std::string::npos) << message;
  for (const char* file : {"stripes-actual.png", "stripes-expected.png", "stripes-difference.png"})
    EXPECT_NE(message.find((out() / file).string()), std::string::npos) << file << "\n" << message;

  const auto at = [](const std::vector<uint32_t>& pixels, int x, int y) {
    return pixels.at(static_cast<size_t>(y) * 16 + x);
  };
  const auto actual_file = read_output("stripes-actual.png");
  const auto expected_file = read_output("stripes-expected.png");
  const auto difference = read_output("stripes-difference.png");
  ASSERT_EQ(difference.size(), 64u);
  EXPECT_EQ(at(actual_file, 5, 2), kDefaultPalette[12] & 0xFFFFFF);
  EXPECT_EQ(at(expected_file, 5, 2), kDefaultPalette[5] & 0xFFFFFF);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 16; ++x) {
      const uint32_t colour = kDefaultPalette[x] & 0xFFFFFF;
      if (x != 5 || y != 2) {
        EXPECT_EQ(at(actual_file, x, y), colour) << x << "," << y;
        EXPECT_EQ(at(expected_file, x, y), colour) << x << "," << y;
      }
      // Only the wrong pixel stands out, in a red that no matching pixel has.
      EXPECT_EQ(at(difference, x, y) == 0xFF0000, x == 5 && y == 2) << x << "," << y;
    }
  }
}

TEST_F(GoldenCheck, APageOfAnotherSizeOrAMissingGoldenFileFails) {
  const GoldenPage golden(golden_path);
  ScreenPage wider(24, 4);
  const std::string message = golden.mismatch(golden_picture_of(wider), "wider", "the test");
  EXPECT_NE(message.find("a picture of 24 x 4, the golden page 16 x 4"), std::string::npos)
      << message;
  EXPECT_TRUE(fs::exists(out() / "wider-actual.png"));
  EXPECT_TRUE(fs::exists(out() / "wider-expected.png"));

  const GoldenPage missing(golden_path + ".missing");
  EXPECT_FALSE(missing.loaded());
  EXPECT_NE(missing.mismatch(golden_picture_of(page), "missing", "the test").find("cannot be read"),
            std::string::npos);
}

TEST_F(GoldenCheck, WithoutTheSwitchAGoldenTestComparesAndNeverRewrites) {
  update_switch.unset();
  EXPECT_FALSE(golden_update_requested());
  const std::string before = golden_bytes();
  ASSERT_FALSE(before.empty());
  // A matching page passes; a wrong one fails with the mismatch. The golden
  // file stays as it was either way.
  const GoldenOutcome matching = check_golden_page(page, golden_path, "stripes", "the test");
  EXPECT_TRUE(matching.passed) << matching.message;
  EXPECT_FALSE(matching.rewritten);
  page.set_pixel(5, 2, 12);
  const GoldenOutcome wrong = check_golden_page(page, golden_path, "stripes", "the test");
  EXPECT_FALSE(wrong.passed);
  EXPECT_FALSE(wrong.rewritten);
  EXPECT_NE(wrong.message.find("1 of 64 pixels differ"), std::string::npos) << wrong.message;
  EXPECT_EQ(golden_bytes(), before) << "the golden file was rewritten without the switch";
}

TEST_F(GoldenCheck, WithTheSwitchAGoldenTestRewritesTheFileFromThePageAndSaysSo) {
  update_switch.set("1");
  EXPECT_TRUE(golden_update_requested());
  page.set_pixel(5, 2, 12);
  const GoldenOutcome outcome = check_golden_page(page, golden_path, "stripes", "the test");
  EXPECT_TRUE(outcome.passed) << outcome.message;
  EXPECT_TRUE(outcome.rewritten);
  EXPECT_NE(outcome.message.find("rewrote the golden file " + golden_path), std::string::npos)
      << outcome.message;
  // The file is now the page; without the switch it compares equal.
  update_switch.unset();
  const GoldenPage golden(golden_path);
  ASSERT_TRUE(golden.loaded());
  EXPECT_EQ(golden.differing_pixels(golden_picture_of(page)), 0);
}

}  // namespace
}  // namespace ws::test
