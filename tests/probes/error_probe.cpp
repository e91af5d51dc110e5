// A short program for the window tests of the message boxes, run under the
// whole runtime with its real window and X11 boxes.
//
//   error_probe        prints "LIVE" on the page, overflows at line 40 (the
//                      report "Unhandled Error #6"), prints "after 40" to
//                      stdout at line 41, then runs statement ends until the
//                      process is ended
//   error_probe alert  shows an OK box captioned "Alert", prints
//                      "alert answered: ok" (or the other answer) to stdout
//                      and ends the program
//   error_probe divide prints "LIVE" on the page, then at line 20 gets the
//                      arithmetic signal an integer division by zero raises
//                      ("Critical Error", "Division by zero"); prints
//                      "after 20" should the program go on
//   error_probe signal prints "LIVE" on the page, installs the arithmetic
//                      signal's handler, prints "waiting" to stdout and runs
//                      statement ends until the process is ended (for a
//                      SIGFPE sent to one of its threads from outside)
//   error_probe xerror prints "LIVE" on the page, then makes a request that
//                      fails (an X error) on a connection of its own;
//                      prints "after the X error" should the program go on,
//                      and "exit handlers ran" should the process end
//                      through exit()
//   error_probe titles prints "LIVE" on the page, then sets a new window
//                      title every few milliseconds until the process is
//                      ended
//   error_probe late   prints "LIVE" on the page and "waiting" to stdout,
//                      then, within one statement (so that a stop request
//                      meanwhile parks the program only after it), waits two
//                      seconds and shows a question ("Late question") and a
//                      notice ("Late notice"); prints "late question: " and
//                      "late notice: " with each answer (yes, no, ok, none)
//   error_probe crowd  prints "LIVE" on the page, then shows six questions at
//                      once, "Crowd 1" to "Crowd 6", each from a thread of its
//                      own; prints "crowd N: " with each answer as it comes,
//                      "crowd answered" once all are, then runs statement
//                      ends until the process is ended
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "screen/clock.h"
#include "screen/text.h"
#include "screen/window_ops.h"
#include "winding/statement.h"

// After the runtime's headers: X defines macros such as None.
#include <X11/Xlib.h>

namespace {

void say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

const char* answer_name(ws::BoxAnswer a) {
  switch (a) {
    case ws::BoxAnswer::Yes:
      return "yes";
    case ws::BoxAnswer::No:
      return "no";
    case ws::BoxAnswer::Ok:
      return "ok";
    case ws::BoxAnswer::Unavailable:
      break;
  }
  return "none";
}

class ErrorProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "error probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(40, overflowed_ = cint(40000));
    STMT(41, say("after 40"));
    LABEL(50, line_50);
    STMT(51, rt.clock.sleep_ms(5));
    GOTO_IF(52, true, line_50);
  }

 private:
  ws::Q overflowed_;
};

class AlertProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "alert probe"));
    STMT(10, answer_ = rt.boxes.show("Alert", kAlertText, ws::BoxKind::Ok));
    STMT(11, say(answer_ == ws::BoxAnswer::Ok ? "alert answered: ok" : "alert answered: other"));
    // Ends the program as the end prompt does.
    STMT(12, end_program());
  }

 private:
  static constexpr const char* kAlertText = "Software frame buffer: Failed to find available frame";

  void end_program() {
    rt.state.program_ended.store(1, std::memory_order_release);
    ws::park_program_thread(rt);
  }

  ws::BoxAnswer answer_ = ws::BoxAnswer::Unavailable;
};

class DivideProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "divide probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(4, ws::install_arithmetic_signal_handler(rt));
    // Long enough for the window to show the page first.
    STMT(5, rt.clock.sleep_ms(500));
    // Raised rather than provoked: the sanitizer builds stop at a division
    // by zero before the processor would signal it.
    STMT(20, std::raise(SIGFPE));
    STMT(21, say("after 20"));
  }
};

class SignalProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "signal probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(4, ws::install_arithmetic_signal_handler(rt));
    STMT(5, say("waiting"));
    LABEL(10, line_10);
    STMT(11, rt.clock.sleep_ms(5));
    GOTO_IF(12, true, line_10);
  }
};

class XErrorProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "x error probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(4, std::atexit([] { say("exit handlers ran"); }));
    STMT(5, rt.clock.sleep_ms(500));
    STMT(10, fail_a_request());
    STMT(11, say("after the X error"));
  }

 private:
  // Destroys a window that does not exist and waits for the server's answer.
  static void fail_a_request() {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return;
    XDestroyWindow(d, 0x7FFFFFF);
    XSync(d, False);
    XCloseDisplay(d);
  }
};

class TitlesProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    LABEL(10, line_10);
    STMT(11, ws::set_window_title(rt, "titles probe " + std::to_string(++count_)));
    STMT(12, rt.clock.sleep_ms(3));
    GOTO_IF(13, true, line_10);
  }

 private:
  long count_ = 0;
};

class LateProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "late probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(4, say("waiting"));
    STMT(10, late_boxes());
  }

 private:
  void late_boxes() {
    ws::sleep_real_ms(2000);
    const ws::BoxAnswer question = rt.boxes.show("Late question", "Go on?", ws::BoxKind::YesNo);
    std::printf("late question: %s\n", answer_name(question));
    const ws::BoxAnswer notice = rt.boxes.show("Late notice", "Late", ws::BoxKind::Ok);
    std::printf("late notice: %s\n", answer_name(notice));
    std::fflush(stdout);
  }
};

class CrowdProcedure final : public ws::Procedure {
 public:
  using Procedure::Procedure;

  void run() {
    STMT(1, ws::set_screen_mode(rt, 12));
    STMT(2, ws::set_window_title(rt, "crowd probe"));
    STMT(3, ws::print_statement(rt, {ws::PrintItem::item("LIVE")}));
    STMT(10, crowd());
    STMT(11, say("crowd answered"));
    LABEL(50, line_50);
    STMT(51, rt.clock.sleep_ms(5));
    GOTO_IF(52, true, line_50);
  }

 private:
  void crowd() {
    std::vector<std::thread> threads;
    for (int n = 1; n <= 6; ++n) {
      threads.emplace_back([this, n] {
        const std::string number = std::to_string(n);
        const ws::BoxAnswer a = rt.boxes.show("Crowd " + number, "Box " + number,
                                              ws::BoxKind::YesNo);
        std::printf("crowd %d: %s\n", n, answer_name(a));
        std::fflush(stdout);
      });
    }
    for (std::thread& t : threads) t.join();
  }
};

void run_error_procedure(ws::Runtime& rt) { ErrorProcedure(rt).run(); }
void run_late_procedure(ws::Runtime& rt) { LateProcedure(rt).run(); }
void run_signal_procedure(ws::Runtime& rt) { SignalProcedure(rt).run(); }
void run_alert_procedure(ws::Runtime& rt) { AlertProcedure(rt).run(); }
void run_divide_procedure(ws::Runtime& rt) { DivideProcedure(rt).run(); }
void run_x_error_procedure(ws::Runtime& rt) { XErrorProcedure(rt).run(); }
void run_titles_procedure(ws::Runtime& rt) { TitlesProcedure(rt).run(); }
void run_crowd_procedure(ws::Runtime& rt) { CrowdProcedure(rt).run(); }

}  // namespace

int main(int argc, char** argv) {
  const struct {
    const char* mode;
    ws::ProgramProcedure procedure;
  } modes[] = {{"alert", run_alert_procedure},
               {"divide", run_divide_procedure},
               {"signal", run_signal_procedure},
               {"xerror", run_x_error_procedure},
               {"titles", run_titles_procedure},
               {"late", run_late_procedure},
               {"crowd", run_crowd_procedure}};
  ws::ProgramProcedure procedure = nullptr;
  for (const auto& m : modes)
    if (argc > 1 && std::strcmp(argv[1], m.mode) == 0) procedure = m.procedure;
  if (procedure != nullptr) {
    // The mode is this probe's own; the window library gets the rest.
    argv[1] = argv[0];
    ws::runtime_main(argc - 1, argv + 1, procedure);
  }
  ws::runtime_main(argc, argv, run_error_procedure);
}
