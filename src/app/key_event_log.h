// The keyboard events that the X hook takes out of the window library's way,
// in the order they arrived: the Pause and Break presses and releases (which
// the window library would drop), the loss of the keyboard focus and its
// coming back (with the modifier keys down then), and the lock toggles as the
// keyboard reports them; and, while any of those waits to be
// acted upon, every other key event of the same batch, held back so that it is
// handled after them and not before.
//
// The hook records while Xlib converts the events of one read of the
// connection, however many that read brings (nothing is ever dropped); the
// window thread drains the log once the window library's event processing has
// returned. Both run on the window thread; the log takes no lock.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "screen/keyboard.h"

namespace ws {

// What the hook recorded, besides held-back key events.
struct KeyboardNotice {
  enum class Kind : uint8_t { Press, Release, FocusLost, FocusGained, LockToggles };
  Kind kind;
  int32_t code = 0;  // Press and Release: the key code (Pause or Break)
  bool caps_lock = false, num_lock = false;  // LockToggles
  ModifierKeys modifiers{};  // FocusGained: the modifier keys down then
};

template <class Event>
class KeyEventLog {
 public:
  // A notice: acted upon in order with the key events around it.
  void record(const KeyboardNotice& notice) { entries_.push_back(Entry{notice, {}, false}); }

  // Sorts one key event of a read, as it arrives: a key that is a notice of
  // its own (Pause or Break: notice holds it) is recorded; any other key
  // event is held back while something recorded before it waits, so that it
  // is handled after that. True when the log took the event, which the
  // window library must then not see; false when it goes to the window
  // library at once.
  bool take_key_event(const std::optional<KeyboardNotice>& notice, const Event& event) {
    if (notice) {
      record(*notice);
      return true;
    }
    if (!holding()) return false;
    entries_.push_back(Entry{{}, event, true});
    return true;
  }

  // Whether something recorded waits, so that key events are held back.
  bool holding() const { return !entries_.empty(); }

  // Takes the entries oldest first: act(notice) for each notice, and
  // hand_back(events) for each run of held-back key events, which the window
  // library then processes before the next entry is taken. hand_back may
  // record more (it runs the window library's event processing): those are
  // taken by the same drain.
  template <class Act, class HandBack>
  void drain(Act&& act, HandBack&& hand_back) {
    while (!entries_.empty()) {
      if (!entries_.front().held) {
        const KeyboardNotice notice = entries_.front().notice;
        entries_.pop_front();
        act(notice);
        continue;
      }
      run_.clear();
      while (!entries_.empty() && entries_.front().held) {
        run_.push_back(entries_.front().event);
        entries_.pop_front();
      }
      hand_back(std::as_const(run_));
    }
  }

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    KeyboardNotice notice;
    Event event;
    bool held;
  };
  std::deque<Entry> entries_;
  std::vector<Event> run_;
};

}  // namespace ws
