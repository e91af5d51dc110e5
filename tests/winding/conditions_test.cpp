// Conditions of two comparisons that must hold together, as the phase paths
// use them: each comparison gives -1 or 0, the condition is their bitwise AND,
// and both comparisons are evaluated, left to right, whatever the first gave.
#include <gtest/gtest.h>

#include <vector>

#include "support/headless.h"
#include "winding/statement.h"

namespace ws::test {
namespace {

class Conditions : public Procedure {
 public:
  explicit Conditions(Runtime& rt) : Procedure(rt) {}
  PointArray a{rt};
  using Procedure::all;
  using Procedure::cint;
  using Procedure::enter;
};

TEST(TwoComparisons, BothAreEvaluatedLeftToRightAndAndedAsMinusOneOrZero) {
  struct Case {
    bool first, second;
    int32_t value;
  };
  const Case cases[] = {
      {true, true, -1}, {true, false, 0}, {false, true, 0}, {false, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " " << c.second);
    std::vector<int> trail;
    const int32_t value = Conditions::all({(trail.push_back(1), c.first),
                                           (trail.push_back(2), c.second)});
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(trail, (std::vector<int>{1, 2}));
  }
}

// An error raised by either comparison makes the condition hold (after Yes the
// conditional part runs) and is reported with the condition's line; when both
// raise one, the first comparison's error is the one reported.
TEST(TwoComparisons, AnErrorInEitherComparisonIsReportedAndTheConditionHolds) {
  struct Case {
    int which;  // 1: the first comparison fails, 2: the second, 3: both
    const char* caption;
  };
  const Case cases[] = {
      {1, "Unhandled Error #6"}, {2, "Unhandled Error #9"}, {3, "Unhandled Error #6"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.which);
    Headless h;
    Conditions s(h.rt);
    bool held = false;
    const RunEnd end = h.run([&](Runtime&) {
      // Without an error both comparisons are false.
      const Real first = c.which & 1 ? 40000.0L : 1.0L;  // cint(40000) raises 6
      const Real index = c.which & 2 ? 1001.0L : 5.0L;   // index 1001 raises 9
      held = s.enter(276, s.all({s.cint(first) == 7, s.a(index) == 1}));
    });
    EXPECT_EQ(end, RunEnd::Returned);
    EXPECT_TRUE(held);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].caption, c.caption);
    EXPECT_EQ(h.boxes.shown[0].text.rfind("Line:276\n", 0), 0u) << h.boxes.shown[0].text;
  }
}

}  // namespace
}  // namespace ws::test
