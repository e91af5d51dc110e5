// The number input when memory for its page copies runs out. The array forms
// of operator new and delete are replaced in this test program so that the
// n-th allocation of a page's pixels can be made to fail; every other array
// allocation goes to malloc, and all of them are freed with free.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "screen/number_input.h"
#include "screen/text.h"
#include "support/headless.h"

namespace {

constexpr std::size_t kPagePixelBytes = 640 * 480;
// Page-sized array allocations still to pass before one fails; -1: none fails.
int g_page_allocations_before_failure = -1;

void* allocate_array(std::size_t size) {
  if (size >= kPagePixelBytes && g_page_allocations_before_failure >= 0 &&
      g_page_allocations_before_failure-- == 0) {
    return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new[](std::size_t size) {
  if (void* p = allocate_array(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate_array(size); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace ws::test {
namespace {

TEST(NumberInputMemory, NoPageCopyIsACriticalError) {
  const struct {
    int copies_made;
    const char* caption;
  } cases[] = {{0, "Critical Error #16"}, {1, "Critical Error #17"}};
  for (const auto& c : cases) {
    Headless h;
    h.rt.keyboard.ring.push({'5', 0});
    float variable = 7;
    const RunEnd end = h.run([&](Runtime& rt) {
      set_screen_mode(rt, 12);
      print_string(rt, " Z=", 0);
      g_page_allocations_before_failure = c.copies_made;
      input_values(rt, variable, 1);
    });
    g_page_allocations_before_failure = -1;
    EXPECT_EQ(end, RunEnd::ProcessEnded) << c.caption;
    EXPECT_EQ(h.exit_code, 0);
    ASSERT_EQ(h.boxes.shown.size(), 1u) << c.caption;
    EXPECT_EQ(h.boxes.shown[0].caption, c.caption);
    EXPECT_EQ(h.boxes.shown[0].text, "Out of memory");
    EXPECT_EQ(h.boxes.shown[0].kind, BoxKind::Ok);
    EXPECT_EQ(variable, 7) << "the input never started";
    EXPECT_EQ(h.rt.keyboard.ring.size(), 1);
  }
}

}  // namespace
}  // namespace ws::test
