// The order of the window's event loop round: a batch of keys read by the
// pending check before the wait is acted upon in the order it arrived, the
// keys that went to Xlib's queue before the Pause that came after them, and
// a recorded Pause is not left waiting through a sleep.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/event_loop.h"
#include "app/key_event_log.h"
#include "screen/keyboard.h"

namespace ws::test {
namespace {

// The loop's steps around a stand-in connection. A read splits a batch with
// the X hook's own sorting (KeyEventLog::take_key_event): "Pause" is
// recorded, a key behind a recorded one is held back, any other key goes to
// the queue the window library processes. The
// timeline is what is acted upon, in order, with "sleep" for each sleep.
class ScriptedSteps final : public EventLoopSteps {
 public:
  explicit ScriptedSteps(std::vector<std::string> batch) : batch_(std::move(batch)) {}

  void process_events() override {
    while (!queue_.empty()) {
      timeline.push_back(queue_.front());
      queue_.pop_front();
    }
  }
  void act_on_recorded() override {
    log_.drain([this](const KeyboardNotice&) { timeline.push_back("Pause"); },
               [this](const std::vector<std::string>& held) {
                 queue_.insert(queue_.begin(), held.begin(), held.end());
                 process_events();
               });
  }
  bool window_gone() override { return false; }
  void apply_title() override {}
  // The pending check is what reads the batch.
  bool events_queued() override {
    if (!read_) {
      read_ = true;
      for (const std::string& key : batch_) {
        std::optional<KeyboardNotice> notice;
        if (key == "Pause") notice = KeyboardNotice{KeyboardNotice::Kind::Press, kKeyPause};
        if (!log_.take_key_event(notice, key)) queue_.push_back(key);
      }
    }
    return !queue_.empty();
  }
  bool recorded_waiting() override { return log_.holding(); }
  void sleep_until_work() override { timeline.push_back("sleep"); }

  std::vector<std::string> timeline;

 private:
  std::vector<std::string> batch_;
  bool read_ = false;
  std::deque<std::string> queue_;
  KeyEventLog<std::string> log_;
};

TEST(EventLoopRound, ABatchReadByThePendingCheckIsActedUponInItsOrderBeforeAnySleep) {
  const std::vector<std::vector<std::string>> batches = {
      {"2", "Pause"},
      {"Pause"},
      {"Pause", "3"},
      {"1", "2", "Pause", "3", "Pause", "4"},
  };
  for (const auto& batch : batches) {
    std::string name;
    for (const auto& k : batch) name += k + " ";
    SCOPED_TRACE(name);
    ScriptedSteps steps(batch);
    // The first round's pending check reads the batch; the second acts on it
    // and then, with nothing left, sleeps.
    ASSERT_EQ(run_event_loop_round(steps), RoundEnd::GoOn);
    ASSERT_EQ(run_event_loop_round(steps), RoundEnd::GoOn);
    std::vector<std::string> expected = batch;
    expected.push_back("sleep");
    EXPECT_EQ(steps.timeline, expected);
  }
}

}  // namespace
}  // namespace ws::test
