#include "screen/number_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "screen/errors.h"
#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

using namespace std::string_literals;

// What the page shows between two keys: pixels, cursor and hold flag.
struct PageState {
  std::vector<uint64_t> words;
  int row = 0, col = 0, hold = 0;
  float variable = 0;

  bool same_page(const PageState& o) const {
    return words == o.words && row == o.row && col == o.col && hold == o.hold;
  }
};

PageState capture(const ScreenPage& page, float variable) {
  PageState s;
  s.words.resize(static_cast<size_t>(page.word_count()));
  for (int k = 0; k < page.word_count(); ++k) s.words[k] = page.word(k);
  s.row = page.cursor_row;
  s.col = page.cursor_col;
  s.hold = page.hold;
  s.variable = variable;
  return s;
}

std::vector<KeyPair> keys_of(std::string_view text) {
  std::vector<KeyPair> keys;
  for (unsigned char c : text) keys.push_back({c, 0});
  return keys;
}

// The input after a prompt, fed one key at a time through the key ring; the
// page is captured just before each key and once more before Enter, so that
// states[k] and states[k + 1] are the page before and after key k.
struct InputRun {
  Headless h;
  int prompt_row = 1, prompt_col = 1;
  std::string prompt = " Z=";
  std::function<void(ScreenPage&)> draw;  // run on the page before the prompt
  int64_t first_key_ms = 15;
  int64_t spacing_ms = 20;
  float variable = 7;
  std::vector<PageState> states;
  RunEnd end = RunEnd::Returned;

  void type(const std::vector<KeyPair>& keys, bool enter = true) {
    int64_t t = first_key_ms;
    for (KeyPair k : keys) {
      h.at(t, [this, k] {
        states.push_back(capture(h.page(), variable));
        h.rt.keyboard.ring.push(k);
      });
      t += spacing_ms;
    }
    h.at(t, [this, enter] {
      states.push_back(capture(h.page(), variable));
      if (enter) h.rt.keyboard.ring.push({13, 0x1C});
    });
    end = h.run([this](Runtime& rt) {
      set_screen_mode(rt, 12);
      if (draw) draw(rt.pages.write_page());
      locate_cursor(rt, prompt_row, prompt_col);
      print_string(rt, prompt, 0);
      input_values(rt, variable, 1);
      if (rt.state.stop_requested.load() != 0) park_program_thread(rt);
    });
  }
  void type(std::string_view keys) { type(keys_of(keys)); }

  const ScreenPage& page() { return h.page(); }
};

// A pixel of a different colour on every pixel row, so that any scroll shows.
void draw_busy(ScreenPage& page) {
  for (int y = 0; y < page.height; ++y) page.set_pixel((y * 37) % page.width, y, 1 + y % 15);
}

// Which keys the input must refuse, for keys typed without Backspace: a key is
// accepted when it is the next byte of the accepted text.
std::vector<bool> refusals(std::string_view keys, std::string_view accepted) {
  std::vector<bool> refused;
  size_t next = 0;
  for (char c : keys) {
    const bool taken = next < accepted.size() && accepted[next] == c;
    refused.push_back(!taken);
    if (taken) ++next;
  }
  return refused;
}

struct TypedCase {
  std::string keys;
  std::string accepted;
  float value;
};

// Types every case after " Z=" on row 1 and checks the text that stands on
// the page, the variable, and that each refused key left the page exactly as
// it was before the key (and each accepted one changed it).
void expect_typed(const std::vector<TypedCase>& cases) {
  for (const TypedCase& c : cases) {
    SCOPED_TRACE("typed \"" + c.keys + "\"");
    InputRun run;
    run.type(c.keys);
    ASSERT_EQ(run.end, RunEnd::Returned);
    const ScreenPage& page = run.page();
    const int n = static_cast<int>(c.accepted.size());
    EXPECT_EQ(row_text(page, 1, 4, 3 + n), c.accepted);
    EXPECT_EQ(row_text(page, 1, 4 + n, 80), std::string(77 - n, ' ')) << "cursor block left";
    EXPECT_EQ(std::bit_cast<uint32_t>(run.variable), std::bit_cast<uint32_t>(c.value))
        << run.variable << " instead of " << c.value;
    EXPECT_EQ(page.cursor_row, 2) << "Enter ends the line";
    EXPECT_EQ(page.cursor_col, 1);
    const std::vector<bool> refused = refusals(c.keys, c.accepted);
    ASSERT_EQ(run.states.size(), c.keys.size() + 1);
    for (size_t k = 0; k < c.keys.size(); ++k) {
      EXPECT_EQ(run.states[k + 1].same_page(run.states[k]), refused[k]) << "key " << k;
    }
  }
}

TEST(NumberInput, TypedTexts) {
  const float smallest = FLT_TRUE_MIN;
  expect_typed({
      {"", "", 0},
      {"-", "-", 0},
      {".", ".", 0},
      {"-.", "-.", 0},
      {"0", "0", 0},
      {"-0", "-0", 0},
      {"5.", "5.", 5},
      {"12E", "12E", 12},
      {"12E-", "12E-", 12},
      {"1E0", "1E0", 1},
      {"1.5E3", "1.5E3", 1500},
      {"00", "0", 0},
      {"05", "0", 0},
      {"-05", "-0", 0},
      {"0E", "0", 0},
      {"+", "", 0},
      {" ", "", 0},
      {"E", "", 0},
      {"-E", "-", 0},
      {"5-", "5", 5},
      {"1.2.", "1.2", 1.2f},
      {"1D", "1", 1},
      {"1.E", "1.", 1},
      {".E", ".", 0},
      {"0.0E", "0.0", 0},
      {"1E05", "1E0", 1},
      {"&HFF", "&HFF", 255},
      {"&O17", "&O17", 15},
      {"&", "&", 0},
      {"&h", "&h", 0},
      {"&B", "&", 0},
      {"-&", "-", 0},
      {"1E-45", "1E-45", smallest},
      {"1E-46", "1E-4", 1e-4f},
      {"1.3E-45", "1.3E-4", 1.3e-4f},
      {"4E38", "4E3", 4000},
      {",", "", 0},
      {"1,5", "15", 15},
      {"-,.,5,E,3", "-.5E3", -500},
      {"&H,F", "&HF", 15},
      {"\",24\"", "\"24\"", 24},
      {"\"24\"", "\"24\"", 24},
      {"\"24\"5\"", "\"24\"", 24},
      {"\"2,4\"", "\"24\"", 24},
  });
}

TEST(NumberInput, DigitAndMagnitudeLimits) {
  const std::string zeros38(38, '0');
  expect_typed({
      // 39 integer digits, not 40.
      {"1" + zeros38 + "0", "1" + zeros38, 1e38f},
      // Magnitude 39: the first seven digits against 3402823.
      {"3402823" + std::string(33, '9'), "3402823" + std::string(32, '9'), FLT_MAX},
      {"3402824" + std::string(32, '0'), "3402824" + std::string(31, '0'), 3.402824e37f},
      {"3.4028235E38", "3.4028235E38", FLT_MAX},
      {"-3.4028236E38", "-3.4028236E38", -FLT_MAX},
      // 43 leading fraction zeros, not 44.
      {"." + std::string(44, '0'), "." + std::string(43, '0'), 0},
      // Eight digits once there is a fraction.
      {"1234567.8", "1234567.8", 1234567.8f},
      {"12345678.9", "12345678.", 12345678},
      {".123456789", ".12345678", .12345678f},
      {".0000000123456789", ".000000012345678", 1.2345678e-8f},
      {"12345678.00", "12345678.0", 12345678},
      // Magnitude -44: the first seven digits against 1401298.
      {"1.401298E-45", "1.401298E-45", FLT_TRUE_MIN},
      {"1.401297E-45", "1.401297E-4", 1.401297e-4f},
      {"." + std::string(43, '0') + "14", "." + std::string(43, '0') + "14", 1.4e-44f},
      {".1E-44", ".1E-44", FLT_TRUE_MIN},
      // Hexadecimal: 16 digits, not 17.
      {"&H" + std::string(17, 'F'), "&H" + std::string(16, 'F'), 18446744073709551615.0f},
      // Octal: 22 digits only after a first digit 0 or 1.
      {"&O1" + std::string(22, '7'), "&O1" + std::string(21, '7'), 18446744073709551615.0f},
      {"&O2" + std::string(21, '7'), "&O2" + std::string(20, '7'), 3458764513820540928.0f},
  });
}

TEST(NumberInput, RefusedEchoThatWrappedOrScrolledLeavesThePageAsItWas) {
  const struct {
    const char* name;
    int row, col;
    std::string prompt, keys, accepted;
    float value;
  } cases[] = {
      {"the prompt holds on column 80; the echo wraps", 5, 78, " Z=", ",7,", "7", 7},
      {"the echo scrolls from row 29", 29, 78, " Z=", ",-,", "-", 0},
      {"the accepted text scrolled; the refused key does not", 29, 76, " Z=", "123,4", "1234", 1234},
      {"a refused key on column 80 clears the hold it set", 10, 1, std::string(77, 'x') + "=", "1,2,3,", "123", 123},
      {"from row 30", 30, 70, " Z=", "1234567,8,", "12345678", 12345678},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InputRun run;
    run.draw = draw_busy;
    run.prompt_row = c.row;
    run.prompt_col = c.col;
    run.prompt = c.prompt;
    run.type(c.keys);
    ASSERT_EQ(run.end, RunEnd::Returned);
    EXPECT_EQ(run.variable, c.value);
    const std::vector<bool> refused = refusals(c.keys, c.accepted);
    for (size_t k = 0; k < c.keys.size(); ++k) {
      EXPECT_EQ(run.states[k + 1].same_page(run.states[k]), refused[k]) << "key " << k;
    }
  }
}

TEST(NumberInput, BackspaceRemovesTheLastByteAndItsEcho) {
  InputRun run;
  run.type("\b12\b\b\b3");
  ASSERT_EQ(run.end, RunEnd::Returned);
  const std::vector<PageState>& s = run.states;  // before each key, then before Enter
  EXPECT_TRUE(s[1].same_page(s[0])) << "Backspace on an empty text does nothing";
  EXPECT_TRUE(s[4].same_page(s[2])) << "\"12\" then Backspace shows \"1\"";
  EXPECT_TRUE(s[5].same_page(s[0]));
  EXPECT_TRUE(s[6].same_page(s[0]));
  EXPECT_EQ(std::vector<float>({s[1].variable, s[2].variable, s[3].variable, s[4].variable,
                                s[5].variable, s[7].variable}),
            std::vector<float>({0, 1, 12, 1, 0, 3}));
  EXPECT_EQ(row_text(run.page(), 1, 4, 5), "3 ");
  EXPECT_EQ(run.variable, 3);
}

TEST(NumberInput, TabBellAndControlBytesChangeNothing) {
  InputRun run;
  run.spacing_ms = 300;  // the bell pauses 250 ms
  run.h.clock.record_sleeps = true;
  const std::string keys = "12\t\a\n\v\f\x1c\x1d\x1e\x1f" "3";
  run.type(keys);
  ASSERT_EQ(run.end, RunEnd::Returned);
  for (size_t k = 2; k + 1 < keys.size(); ++k) {
    EXPECT_TRUE(run.states[k + 1].same_page(run.states[k])) << "key " << k;
  }
  EXPECT_EQ(row_text(run.page(), 1, 4, 7), "123 ");
  EXPECT_EQ(run.variable, 123);
  EXPECT_EQ(std::count(run.h.clock.sleeps.begin(), run.h.clock.sleeps.end(), 250), 1);
}

TEST(NumberInput, ExtendedKeysAreSkippedAndByteZeroIsRefused) {
  InputRun run;
  run.type({{'4', 0}, {0, 0x4B}, {0, 0x3B}, {0, 0}, {0xE9, 0}, {27, 1}, {'2', 0}});
  ASSERT_EQ(run.end, RunEnd::Returned);
  for (size_t k = 1; k <= 5; ++k) EXPECT_TRUE(run.states[k + 1].same_page(run.states[k])) << k;
  EXPECT_EQ(row_text(run.page(), 1, 4, 6), "42 ");
  EXPECT_EQ(run.variable, 42);
}

TEST(NumberInput, KeysWaitingAtTheStartAreTaken) {
  InputRun run;
  for (unsigned char c : "-2.5\r"s) run.h.rt.keyboard.ring.push({c, 0});
  run.type({}, false);
  ASSERT_EQ(run.end, RunEnd::Returned);
  EXPECT_EQ(run.variable, -2.5f);
  EXPECT_EQ(row_text(run.page(), 1, 1, 8), " Z=-2.5 ");
  EXPECT_LT(run.h.now_ms(), 100);
}

TEST(NumberInput, CursorBlockIsTheCellXorTheForegroundDrawnOncePerWait) {
  InputRun run;
  // Something in the cell after the prompt.
  run.draw = [](ScreenPage& page) {
    for (int x = 24; x < 32; ++x) page.set_pixel(x, 5, 4);
  };
  run.h.at(15, [&] { run.states.push_back(capture(run.h.page(), 0)); });
  run.h.at(500, [&] { run.states.push_back(capture(run.h.page(), 0)); });
  run.first_key_ms = 1000;
  run.type(""s);
  ASSERT_EQ(run.end, RunEnd::Returned);
  ASSERT_EQ(run.states.size(), 3u);
  // While waiting every pixel of the cell is its colour XOR 15, and stays so
  // (no blinking); after Enter the cell is as before.
  const PageState& waiting = run.states[0];
  const ScreenPage& page = run.page();
  for (int y = 0; y < 16; ++y) {
    for (int x = 24; x < 32; ++x) {
      const int i = y * 640 + x;
      const auto shown = static_cast<int>((waiting.words[i / 8] >> (i % 8 * 8)) & 0xFF);
      EXPECT_EQ(shown, y == 5 ? (4 ^ 15) : 15) << x << "," << y;
      EXPECT_EQ(page.pixel(x, y), y == 5 ? 4 : 0) << x << "," << y;
    }
  }
  EXPECT_TRUE(run.states[1].same_page(waiting));
  EXPECT_TRUE(run.states[2].same_page(waiting));
}

TEST(NumberInput, StopRequestReturnsAtOnceWithoutALineEnd) {
  InputRun run;
  run.h.close_at(100);
  run.type(keys_of("12"), false);
  EXPECT_EQ(run.end, RunEnd::Parked);
  EXPECT_LE(run.h.now_ms(), 100 + 10 + 16);
  EXPECT_EQ(run.page().cursor_row, 1);
  EXPECT_EQ(run.page().cursor_col, 6);
  EXPECT_EQ(run.variable, 12);
}

TEST(NumberInput, WithAnErrorPendingReturnsAtOnce) {
  Headless h;
  float variable = 7;
  h.rt.keyboard.ring.push({'1', 0});
  const RunEnd end = h.run([&](Runtime& rt) {
    set_screen_mode(rt, 12);
    rt.state.error.pending_error = 5;
    input_values(rt, variable, 1);
  });
  EXPECT_EQ(end, RunEnd::Returned);
  EXPECT_EQ(variable, 7);
  EXPECT_EQ(h.rt.keyboard.ring.size(), 1);
  EXPECT_EQ(h.now_ms(), 0);
}

TEST(NumberInput, LineEndZeroLeavesTheCursorAfterTheText) {
  Headless h;
  float variable = 0;
  for (unsigned char c : "8\r"s) h.rt.keyboard.ring.push({c, 0});
  h.run([&](Runtime& rt) {
    set_screen_mode(rt, 12);
    input_values(rt, variable, 0);
  });
  EXPECT_EQ(variable, 8);
  EXPECT_EQ(h.page().cursor_row, 1);
  EXPECT_EQ(h.page().cursor_col, 2);
}

}  // namespace
}  // namespace ws::test
