// Frame building on one thread: when a pass builds and when it drops, what a
// frame holds, the display lock and the slot choice.
#include <gtest/gtest.h>

#include <functional>

#include "screen/frames.h"
#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

// A runtime whose passes are run by hand, as the frame thread would.
struct FramePasses {
  Headless h;
  Runtime& rt = h.rt;
  FrameStore& frames = rt.frames;

  // Runs one pass; the slot it built, or -1 when it dropped or took nothing.
  int pass() {
    const uint64_t before = frames.frame_order.load();
    build();
    if (frames.frame_order.load() == before) return -1;
    for (int i = 0; i < 3; ++i)
      if (frames.slots[i].load_state() == SlotState::Ready && frames.slots[i].order.load() == before)
        return i;
    return -1;
  }
  void build() { build_frame(frames, rt.pages, h.boxes); }
  ScreenPage& page() { return h.page(); }
  DisplayLock& lock() { return rt.pages.display_lock(); }
  void set_state(int slot, SlotState s) { frames.slots[slot].state.store(s); }
};

TEST(FrameBuilding, FirstPassBuildsAndAnUnchangedPageIsDroppedWhileTheOrderMovesOn) {
  FramePasses f;
  const int first = f.pass();
  ASSERT_GE(first, 0);
  EXPECT_EQ(f.frames.frame_order.load(), 1u);
  for (uint64_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(f.pass(), -1) << "pass " << n;
    // A dropped pass still takes an order number and leaves its slot empty.
    EXPECT_EQ(f.frames.frame_order.load(), n + 1);
  }
  int empty = 0;
  for (const auto& s : f.frames.slots) empty += s.load_state() == SlotState::Empty;
  EXPECT_EQ(empty, 2);
}

TEST(FrameBuilding, WhatMakesAPassBuild) {
  struct Case {
    const char* change;
    std::function<void(FramePasses&)> apply;
    bool builds;
  };
  const Case cases[] = {
      {"nothing", [](FramePasses&) {}, false},
      {"one pixel", [](FramePasses& f) { f.page().set_pixel(100, 50, 9); }, true},
      {"the last pixel", [](FramePasses& f) { f.page().set_pixel(639, 399, 1); }, true},
      {"a pixel changed and changed back",
       [](FramePasses& f) {
         f.page().set_pixel(7, 7, 4);
         f.page().set_pixel(7, 7, 0);
       },
       false},
      {"palette entry 15", [](FramePasses& f) { f.page().set_palette(15, 0xFF123456); }, true},
      {"a palette entry the page does not use",
       [](FramePasses& f) { f.page().set_palette(16, 0xFF123456); }, false},
      {"force_rebuild", [](FramePasses& f) { f.frames.force_rebuild.store(true); }, true},
      {"a screen-mode call that keeps the mode",
       [](FramePasses& f) {
         set_screen_mode(f.rt, 12);
         f.pass();  // the new page's own first frame
         set_screen_mode(f.rt, 12);
       },
       true},
  };
  for (const Case& c : cases) {
    FramePasses f;
    ASSERT_GE(f.pass(), 0);
    c.apply(f);
    EXPECT_EQ(f.pass() >= 0, c.builds) << c.change;
    // Whatever made it build, the next pass of the same page drops.
    EXPECT_EQ(f.pass(), -1) << c.change;
  }
}

TEST(FrameBuilding, TheFrameHoldsThePalettesColoursOfEveryPixelInRowOrder) {
  FramePasses f;
  ScreenPage& page = f.page();
  f.pass();
  // Two changes within one building interval come in one frame.
  page.set_pixel(0, 0, 12);
  page.set_pixel(639, 399, 3);
  page.set_palette(3, 0xFF010203);
  const int slot = f.pass();
  ASSERT_GE(slot, 0);
  const FrameSlot& s = f.frames.slots[slot];
  ASSERT_EQ(s.width, 640);
  ASSERT_EQ(s.height, 400);
  EXPECT_EQ(s.pixels[0], kDefaultPalette[12]);
  EXPECT_EQ(s.pixels[640 * 400 - 1], 0xFF010203u);
  EXPECT_EQ(s.pixels[1], kDefaultPalette[0]);
  EXPECT_EQ(s.pixels[640], kDefaultPalette[0]);
}

TEST(FrameBuilding, PixelBytesBeyondThePaletteSizeTakeTheirEntryWithoutReadingOutside) {
  FramePasses f;
  f.page().set_word(0, 0xFFFEFDFCFBFAF9F8ULL);
  f.page().set_palette(255, 0xFF00FF00);
  const int slot = f.pass();
  ASSERT_GE(slot, 0);
  EXPECT_EQ(f.frames.slots[slot].pixels[7], 0xFF00FF00u);
}

TEST(FrameBuilding, AScreenModeChangeBuildsTheNewPageAtItsSizeInAGrownBuffer) {
  FramePasses f;
  ASSERT_GE(f.pass(), 0);
  set_screen_mode(f.rt, 12);
  // Slots that still hold the small page's frames are the ones to grow.
  int slot = -1;
  for (int n = 0; n < 3 && slot < 0; ++n) slot = f.pass();
  ASSERT_GE(slot, 0);
  const FrameSlot& s = f.frames.slots[slot];
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_GE(s.pixels.size(), 640u * 480u);
  EXPECT_EQ(f.frames.compare_pixel_count, 640 * 480);
}

TEST(FrameBuilding, ARequestedDisplayLockIsGrantedAndNothingIsBuiltWhileItIsHeld) {
  FramePasses f;
  f.lock().request();
  f.page().set_pixel(1, 1, 1);
  f.build();
  EXPECT_EQ(f.lock().state(), DisplayLockState::Granted);
  EXPECT_EQ(f.frames.frame_order.load(), 0u);
  // Granted and not yet given back: still nothing.
  f.build();
  EXPECT_EQ(f.frames.frame_order.load(), 0u);
  f.lock().release();
  EXPECT_GE(f.pass(), 0);
}

TEST(FrameBuilding, WithoutAnEmptySlotTheOldestReadyFrameIsRebuiltNeverTheDisplayedOne) {
  FramePasses f;
  // Three frames: slots are taken last-empty first, so 2, 1, 0.
  for (int colour : {1, 2, 3}) {
    f.page().set_pixel(0, 0, colour);
    ASSERT_GE(f.pass(), 0);
  }
  EXPECT_EQ(f.frames.slots[2].order.load(), 0u);
  EXPECT_EQ(f.frames.slots[0].order.load(), 2u);
  f.set_state(0, SlotState::Displaying);
  f.page().set_pixel(0, 0, 4);
  EXPECT_EQ(f.pass(), 2);  // order 0 was the oldest ready one
  f.page().set_pixel(0, 0, 5);
  EXPECT_EQ(f.pass(), 1);
  EXPECT_EQ(f.frames.slots[0].load_state(), SlotState::Displaying);
}

TEST(FrameBuilding, NoSlotToBeHadShowsTheAlertAndTheNextPassTriesAgain) {
  FramePasses f;
  f.set_state(0, SlotState::Displaying);
  f.set_state(1, SlotState::Building);
  f.set_state(2, SlotState::Displaying);
  f.build();
  ASSERT_EQ(f.h.boxes.shown.size(), 1u);
  EXPECT_EQ(f.h.boxes.shown[0].caption, "Alert");
  EXPECT_EQ(f.h.boxes.shown[0].text, "Software frame buffer: Failed to find available frame");
  EXPECT_EQ(f.h.boxes.shown[0].kind, BoxKind::Ok);
  EXPECT_EQ(f.frames.frame_order.load(), 0u);
  f.set_state(1, SlotState::Empty);
  EXPECT_EQ(f.pass(), 1);
}

TEST(PresentSlot, TheNewestReadyFrameIsShownAndOlderOnesAreEmptied) {
  FramePasses f;
  EXPECT_EQ(choose_present_slot(f.frames).slot, -1);
  // The very first frame (order number 0) is shown.
  const int first = f.pass();
  SlotChoice c = choose_present_slot(f.frames);
  EXPECT_EQ(c.slot, first);
  EXPECT_TRUE(c.changed);
  c = choose_present_slot(f.frames);
  EXPECT_EQ(c.slot, first);
  EXPECT_FALSE(c.changed);

  f.page().set_pixel(0, 0, 1);
  const int second = f.pass();
  f.page().set_pixel(0, 0, 2);
  const int third = f.pass();
  ASSERT_GE(second, 0);
  ASSERT_GE(third, 0);
  c = choose_present_slot(f.frames);
  EXPECT_EQ(c.slot, third);
  EXPECT_TRUE(c.changed);
  EXPECT_EQ(f.frames.slots[first].load_state(), SlotState::Empty);
  EXPECT_EQ(f.frames.slots[second].load_state(), SlotState::Empty);
  EXPECT_EQ(f.frames.slots[third].load_state(), SlotState::Displaying);
}

}  // namespace
}  // namespace ws::test
