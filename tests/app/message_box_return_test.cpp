// When a report box taken from the screen shows itself again, over the
// sequences the window managers produce: what each changes of the box's
// sight, and when. A box the manager has taken on (mapped, WM_STATE Normal, on
// desktop 0, which the user is shown) at 0 ms; each case then plays its
// changes, the decision is asked again at each change and at the times it
// names, and a box that shows itself again is mapped by the manager a few
// milliseconds later (Normal, neither hidden nor the desktop shown: the
// activation ends "show desktop"), or by the server when no manager runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/message_box_return.h"

namespace ws::test {
namespace {

// The manager's answer to a box that maps itself again.
constexpr int64_t kMapAnswerMs = 4;

struct Change {
  int64_t at_ms;
  std::function<void(BoxSight&)> apply;
};

// The usual changes, as the managers make them.
Change unmap(int64_t t) { return {t, [](BoxSight& s) { s.mapped = false; }}; }
Change map(int64_t t) { return {t, [](BoxSight& s) { s.mapped = true; }}; }
Change wm_state(int64_t t, BoxWmState w) { return {t, [w](BoxSight& s) { s.wm_state = w; }}; }
Change hidden(int64_t t, bool on) { return {t, [on](BoxSight& s) { s.hidden = on; }}; }
Change showing_desktop(int64_t t, bool on) {
  return {t, [on](BoxSight& s) { s.showing_desktop = on; }};
}
Change current_desktop(int64_t t, std::optional<uint32_t> d) {
  return {t, [d](BoxSight& s) { s.current_desktop = d; }};
}
Change box_desktop(int64_t t, std::optional<uint32_t> d) {
  return {t, [d](BoxSight& s) { s.desktop = d; }};
}

struct Case {
  const char* what;
  std::vector<Change> changes;  // in time order, after the box was taken on
  std::vector<int64_t> shown_at;  // when the box shows itself again
  bool manager = true;            // false: nobody answers a mapping but the server
};

// Plays a case to a second after its last change; the times of ShowAgain.
std::vector<int64_t> play(const Case& c) {
  BoxReturn decision;
  BoxSight sight;
  std::vector<Change> changes = c.changes;
  // Taken on by the manager (or mapped by the server alone).
  sight.mapped = true;
  if (c.manager) {
    sight.wm_state = BoxWmState::Normal;
    sight.desktop = 0;
    sight.current_desktop = 0;
  }
  std::vector<int64_t> shown;
  std::optional<int64_t> look;
  const auto act = [&](const BoxStep& step, int64_t now) {
    look.reset();
    if (step.kind == BoxStep::Kind::LookAgain) {
      EXPECT_GT(step.at_ms, now) << "a look again at once, at " << now;
      look = step.at_ms;
    } else if (step.kind == BoxStep::Kind::ShowAgain) {
      shown.push_back(now);
      const bool manager = c.manager;
      Change answer{now + kMapAnswerMs, [manager](BoxSight& s) {
                      s.mapped = true;
                      if (!manager) return;
                      s.wm_state = BoxWmState::Normal;
                      s.hidden = s.showing_desktop = false;
                    }};
      const auto later = std::find_if(changes.begin(), changes.end(), [&](const Change& x) {
        return x.at_ms > answer.at_ms;
      });
      changes.insert(later, answer);
    }
  };
  act(decision.decide(sight, 0), 0);
  const int64_t end = (c.changes.empty() ? 0 : c.changes.back().at_ms) + 1000;
  size_t next = 0;
  for (;;) {
    const bool change_due = next < changes.size();
    if (look && (!change_due || *look < changes[next].at_ms)) {
      const int64_t now = *look;
      act(decision.decide(sight, now), now);
    } else if (change_due) {
      const int64_t now = changes[next].at_ms;
      changes[next++].apply(sight);
      act(decision.decide(sight, now), now);
    } else {
      break;
    }
    if (look && *look > end) break;
  }
  return shown;
}

std::string times(const std::vector<int64_t>& t) {
  std::ostringstream out;
  for (const int64_t ms : t) out << ms << " ";
  return out.str();
}

TEST(MessageBoxReturn, ABoxTakenFromTheScreenComesBackOnItsDesktopAfterTheSettlingTime) {
  const auto iconic = BoxWmState::Iconic;
  const auto normal = BoxWmState::Normal;
  const Case cases[] = {
      {"minimised: iconified, then unmapped", {wm_state(1000, iconic), unmap(1001)}, {1150}},
      {"minimised: unmapped, then iconified", {unmap(1000), wm_state(1003, iconic)}, {1150}},
      {"minimised and restored by the user within the settling time",
       {wm_state(1000, iconic), unmap(1001), wm_state(1100, normal), map(1101)}, {}},
      {"hidden and unmapped", {hidden(1000, true), unmap(1001)}, {1150}},
      {"hidden, left mapped", {hidden(1000, true)}, {1150}},
      {"show desktop: the box unmapped", {showing_desktop(1000, true), unmap(1001)}, {1150}},
      {"show desktop: the box left mapped", {showing_desktop(1000, true)}, {1150}},
      {"show desktop on and off again within the settling time",
       {showing_desktop(1000, true), unmap(1001), showing_desktop(1080, false), map(1081)}, {}},
      {"show desktop on again after the box came back",
       {showing_desktop(1000, true), unmap(1001), showing_desktop(2000, true), unmap(2001)},
       {1150, 2150}},
      {"unmapped by another client, then let go by the manager",
       {unmap(1000), wm_state(1002, BoxWmState::Withdrawn), box_desktop(1002, std::nullopt)},
       {1150}},
      {"unmapped by another client with no manager running", {unmap(1000)}, {1150}, false},
      {"unmapped twice by another client with no manager running",
       {unmap(1000), unmap(2000)}, {1150, 2150}, false},
      {"a desktop switch that names the new desktop first",
       {current_desktop(1000, 1), unmap(1001), current_desktop(3000, 0), map(3002)}, {}},
      {"a desktop switch that unmaps before it names the new desktop",
       {unmap(1000), current_desktop(1040, 1), current_desktop(3000, 0), map(3002)}, {}},
      {"a desktop switch that unmaps and iconifies before it names the new desktop",
       {unmap(1000), wm_state(1001, iconic), current_desktop(1100, 1), current_desktop(3000, 0),
        wm_state(3001, normal), map(3002)},
       {}},
      {"minimised, then a desktop switch within the settling time: back when the user is",
       {wm_state(1000, iconic), unmap(1001), current_desktop(1080, 1), current_desktop(3000, 0)},
       {3150}},
      {"minimised, then a desktop switch a moment later; back on the desktop within the "
       "settling time",
       {wm_state(1000, iconic), unmap(1001), current_desktop(1020, 1), current_desktop(1100, 0)},
       {1250}},
      {"minimised, then a desktop switch after the settling time",
       {wm_state(1000, iconic), unmap(1001), unmap(1300), current_desktop(1302, 1),
        current_desktop(3000, 0), map(3002)},
       {1150}},
      {"the user back on the box's desktop: the manager maps it again",
       {unmap(1000), current_desktop(1001, 1), current_desktop(2000, 0), map(2001),
        unmap(2500), current_desktop(2501, 2), current_desktop(4000, 0), map(4001)},
       {}},
      {"moved by the user to another desktop, named before the unmap",
       {box_desktop(1000, 1), unmap(1001), current_desktop(3000, 1), map(3001)}, {}},
      {"moved by the user to another desktop, named after the unmap",
       {unmap(1000), box_desktop(1030, 1), current_desktop(3000, 1), map(3001)}, {}},
      {"moved to another desktop, minimised there later: back when the user goes there",
       {box_desktop(1000, 1), unmap(1001), current_desktop(2000, 1), map(2001),
        wm_state(2500, iconic), unmap(2501), current_desktop(2520, 0), current_desktop(4000, 1)},
       {4150}},
      {"on every desktop: minimised while the user is on another one",
       {box_desktop(1000, kAllDesktops), current_desktop(1500, 1), wm_state(2000, iconic),
        unmap(2001)},
       {2150}},
      {"the manager restarted: let go and taken on again at once",
       {unmap(1000), wm_state(1001, BoxWmState::Missing), map(1002), unmap(1500),
        wm_state(1501, normal), map(1510)},
       {}},
      {"the manager restarted: the root names no desktop until the new one has started",
       {current_desktop(1000, std::nullopt), unmap(1001), map(1002), unmap(1500),
        current_desktop(1505, 0), map(1520)},
       {}},
      {"the manager gone, the box left unmapped", {unmap(1000), wm_state(1001, BoxWmState::Missing)},
       {1150}},
      {"the manager takes the box back minimised after a restart",
       {unmap(1000), wm_state(1001, BoxWmState::Missing), map(1002), unmap(1500),
        wm_state(1501, iconic)},
       {1650}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(times(play(c)), times(c.shown_at));
  }
}

// A manager that does not map a box asking to be shown: the box asks once,
// and again only once something it sees has changed and settled again.
TEST(MessageBoxReturn, ABoxShownAgainAsksOnceUntilWhatItSeesChanges) {
  BoxReturn decision;
  BoxSight s{true, BoxWmState::Normal, false, false, 0u, 0u};
  EXPECT_EQ(decision.decide(s, 0), BoxStep{});
  s.mapped = false;
  s.wm_state = BoxWmState::Iconic;
  EXPECT_EQ(decision.decide(s, 1000), (BoxStep{BoxStep::Kind::LookAgain, 1150}));
  EXPECT_EQ(decision.decide(s, 1150), (BoxStep{BoxStep::Kind::ShowAgain, 0}));
  EXPECT_EQ(decision.decide(s, 1400), BoxStep{});
  s.hidden = true;
  EXPECT_EQ(decision.decide(s, 2000), (BoxStep{BoxStep::Kind::LookAgain, 2150}));
  EXPECT_EQ(decision.decide(s, 2150), (BoxStep{BoxStep::Kind::ShowAgain, 0}));
}

// Before the manager has taken a new box on it is unmapped, and that is not
// being taken away; put away before its first mapping, it comes back.
TEST(MessageBoxReturn, ANewBoxNotYetMappedIsNotAway) {
  BoxReturn decision;
  BoxSight s;
  s.desktop = s.current_desktop = 0;
  EXPECT_EQ(decision.decide(s, 0), BoxStep{});
  EXPECT_EQ(decision.decide(s, 500), BoxStep{});
  s.wm_state = BoxWmState::Iconic;
  EXPECT_EQ(decision.decide(s, 600), (BoxStep{BoxStep::Kind::LookAgain, 750}));
}

}  // namespace
}  // namespace ws::test
