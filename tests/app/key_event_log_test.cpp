// The order in which the window acts on the keyboard events its X hook took:
// however many one read of the connection brings, none is lost, and a key
// behind a Pause or Break is handled after it.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/key_event_log.h"
#include "screen/keyboard.h"

namespace ws::test {
namespace {

// A stand-in for an X key event: its place in the batch.
struct FakeEvent {
  int id = 0;
};

using Kind = KeyboardNotice::Kind;

// Records a batch as the hook does: Pause/Break and focus notices always,
// other key events only while something recorded waits (else they go to the
// window library at once and are not in the log). The trace is what
// draining the log hands on, in order.
struct Batch {
  KeyEventLog<FakeEvent> log;
  std::vector<std::string> expected;  // everything the drain must hand on
  std::vector<std::string> trace;
  int next_id = 0;

  void key(int id) {
    // Not taken: the window library gets it directly.
    if (!log.take_key_event(std::nullopt, FakeEvent{id})) return;
    expected.push_back("key " + std::to_string(id));
  }
  void notice(Kind kind, int32_t code = 0) {
    log.record({kind, code});
    expected.push_back(name(kind, code));
  }
  static std::string name(Kind kind, int32_t code) {
    switch (kind) {
      case Kind::Press: return "press " + std::to_string(code);
      case Kind::Release: return "release " + std::to_string(code);
      case Kind::FocusLost: return "focus lost";
      case Kind::FocusGained: return "focus gained";
      case Kind::LockToggles: return "locks";
    }
    return "?";
  }
  void drain(const std::function<void()>& during_hand_back = {}) {
    log.drain([this](const KeyboardNotice& n) { trace.push_back(name(n.kind, n.code)); },
              [&](const std::vector<FakeEvent>& events) {
                for (const FakeEvent& e : events) trace.push_back("key " + std::to_string(e.id));
                if (during_hand_back) during_hand_back();
              });
  }
};

TEST(KeyEventLog, ABatchOfAHundredRecordsComesOutWholeAndInOrder) {
  Batch b;
  b.key(0);  // before any notice: not held back
  EXPECT_TRUE(b.expected.empty());
  for (int i = 0; i < 100; ++i) {
    switch (i % 5) {
      case 0: b.notice(Kind::Press, kKeyPause); break;
      case 1: b.notice(Kind::Release, kKeyPause); break;
      case 2: b.key(i); break;
      case 3: b.notice(Kind::Press, kKeyBreak); break;
      default: b.notice(i % 10 == 4 ? Kind::FocusLost : Kind::LockToggles); break;
    }
  }
  ASSERT_EQ(b.log.size(), 100u);
  b.drain();
  EXPECT_EQ(b.trace, b.expected);
  EXPECT_FALSE(b.log.holding()) << "keys after the drain go to the window library again";
}

TEST(KeyEventLog, RecordsMadeWhileKeysAreHandedBackAreTakenByTheSameDrainAfterThem) {
  // '2', Pause, '4' in one read: '2' goes straight on, '4' waits for Pause.
  Batch b;
  b.key(2);
  b.notice(Kind::Press, kKeyPause);
  b.key(4);
  b.notice(Kind::Release, kKeyPause);
  bool once = false;
  // While the window library processes '4', the next read brings a Break.
  b.drain([&] {
    if (once) return;
    once = true;
    b.notice(Kind::Press, kKeyBreak);
    b.key(5);
  });
  EXPECT_EQ(b.trace, b.expected);
  EXPECT_EQ(b.trace.front(), "press " + std::to_string(kKeyPause));
  EXPECT_EQ(b.trace.back(), "key 5");
}

}  // namespace
}  // namespace ws::test
