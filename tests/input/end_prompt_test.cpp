#include "screen/end_prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

constexpr char kPrompt[] = "Press any key to continue";

std::vector<uint64_t> pixel_words(const ScreenPage& page) {
  std::vector<uint64_t> words(static_cast<size_t>(page.word_count()));
  for (int k = 0; k < page.word_count(); ++k) words[k] = page.word(k);
  return words;
}

// A page with something on every row, row 30 included, and the cursor and
// colours as the finale leaves them.
struct PromptRun {
  Headless h;
  std::vector<uint64_t> before;  // the page just before the prompt

  RunEnd run(int32_t foreground) {
    return h.run([&, foreground](Runtime& rt) {
      set_screen_mode(rt, 12);
      ScreenPage& page = rt.pages.write_page();
      for (int y = 0; y < page.height; ++y) page.set_pixel((y * 37) % page.width, y, 1 + y % 15);
      page.fill_pixel_rows(470, 4, 4);
      locate_cursor(rt, 30, 70);
      print_string(rt, "ROW30", 0);
      locate_cursor(rt, 3, 1);
      set_text_colors(rt, foreground);
      before = pixel_words(page);
      end_program(rt);
    });
  }
};

TEST(EndPrompt, ClearsRow30ShowsThePromptAndEndsOnANewKey) {
  for (int32_t foreground : {11, 14}) {
    PromptRun p;
    for (uint8_t c : std::string("abc")) p.h.rt.keyboard.ring.push({c, 0});  // typed before the prompt
    p.h.at(500, [&] { p.h.rt.keyboard.ring.push({0, 0x3B}); });           // F1, after it
    EXPECT_EQ(p.run(foreground), RunEnd::Parked);
    const ScreenPage& page = p.h.page();
    EXPECT_EQ(row_text(page, 30), kPrompt + std::string(80 - 25, ' '));
    for (int col = 1; col <= 25; ++col) {
      if (kPrompt[col - 1] != ' ') {
        EXPECT_EQ(cell_colour(page, 30, col), foreground) << col;
      }
    }
    // Rows 1 to 29 are as they were.
    const std::vector<uint64_t> after = pixel_words(page);
    const size_t row30 = static_cast<size_t>(29 * 16 * page.width / 8);
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + row30, p.before.begin()));
    EXPECT_EQ(page.cursor_row, 30);
    EXPECT_EQ(page.cursor_col, 26);
    // The queued keys did not answer the prompt: the new key did, at the
    // first 100 ms poll after it.
    EXPECT_GE(p.h.now_ms(), 500);
    EXPECT_LE(p.h.now_ms(), 600 + 16);
    EXPECT_EQ(p.h.rt.state.program_ended.load(), 1);
    EXPECT_EQ(p.h.exit_code, 0);
  }
}

TEST(EndPrompt, StopRequestDuringTheWaitParks) {
  PromptRun p;
  p.h.close_at(250);
  EXPECT_EQ(p.run(11), RunEnd::Parked);
  EXPECT_EQ(p.h.rt.state.program_ended.load(), 0);
  EXPECT_LE(p.h.now_ms(), 300 + 16);
  EXPECT_EQ(row_text(p.h.page(), 30, 1, 25), kPrompt);
}

}  // namespace
}  // namespace ws::test
