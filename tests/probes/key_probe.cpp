// A program for the window tests of the keyboard, run under the whole
// runtime with its real window. It fills the page with colour 1 and then
// runs one statement every 20 ms that never polls the key queue, but prints
// to stdout (each line flushed):
//
//   "tick N"          every fifth statement
//   "size N"          whenever the number of waiting keys changes
//   "paused"          the first statement that finds the pause requested; it
//                     fills the page with colour 4 before its statement end
//                     holds the program, so the pause hides the change
//   "keys: PAIRS"     the waiting keys, taken from the queue, as (CC,SS) hex
//   "drained K"       pairs, when the file drain-K appears in $KEY_PROBE_DIR
//                     (K = 1, 2, ...); "keys: nothing" for an empty queue
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/app.h"
#include "screen/text.h"
#include "screen/window_ops.h"
#include "winding/statement.h"

namespace {

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class KeyProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "key probe"));
    STMT(3, fill(1));
    LABEL(10, line_10);
    STMT(11, step());
    GOTO_IF(12, true, line_10);
  }

 private:
  void fill(int colour) {
    ws::ScreenPage& page = rt.pages.page();
    page.fill_pixel_rows(0, page.height, static_cast<uint32_t>(colour));
  }

  void step() {
    if (++ticks_ % 5 == 0) say("tick " + std::to_string(ticks_));
    if (const int size = rt.keyboard.ring.size(); size != size_) {
      size_ = size;
      say("size " + std::to_string(size));
    }
    if (access((dir_ + "/drain-" + std::to_string(drains_ + 1)).c_str(), F_OK) == 0) drain();
    rt.clock.sleep_ms(20);
    // Last in the statement: a pause that comes after this look holds the
    // program at the statement's end without "paused" ever being said, so
    // nothing may stand between the look and the end.
    if ((rt.state.pause_requested.load(std::memory_order_acquire) & 1) != 0 && !pause_seen_) {
      pause_seen_ = true;
      fill(4);
      say("paused");
    }
  }

  void drain() {
    std::string pairs;
    char buf[16];
    for (ws::KeyPair k; rt.keyboard.ring.pop(k);) {
      std::snprintf(buf, sizeof buf, "(%02X,%02X)", k.character, k.scan);
      pairs += buf;
    }
    size_ = 0;
    say("keys: " + (pairs.empty() ? std::string("nothing") : pairs));
    say("drained " + std::to_string(++drains_));
  }

  const std::string dir_ = std::getenv("KEY_PROBE_DIR") ? std::getenv("KEY_PROBE_DIR") : "/tmp";
  bool pause_seen_ = false;
  int ticks_ = 0;
  int size_ = 0;
  int drains_ = 0;
};

void run_key_procedure(ws::Runtime& rt) { KeyProcedure(rt).run(); }

}  // namespace

int main(int argc, char** argv) { ws::runtime_main(argc, argv, run_key_procedure); }
