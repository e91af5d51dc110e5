// The real program with its standard streams as a shell may hand them over:
// closed, standard error on a pipe whose reader is gone, or on a small pipe
// that nobody reads. The line written before each report box is a courtesy:
// it must never hold the program up or end it, and nothing the program opens
// may take the numbers 0, 1 or 2.
//
// Z=24 and p'=-1 give five reports (error 6, then four times error 5);
// p'=0 makes every step report error 5 at line 124. Each report waits for
// its Yes.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

const std::string kProgram = WS_BINARY_DIR "/winding-scheme";
const std::vector<std::string> kPolesMinusOne{"2", "4", "Return", "minus", "1", "Return"};
// The reports of p'=-1, in order; then the diagram ends.
const std::vector<std::string> kPolesMinusOneReports{
    "Unhandled Error #6", "Unhandled Error #5", "Unhandled Error #5", "Unhandled Error #5",
    "Unhandled Error #5"};
// Then + eight times: the steps (one key each) soon come 256 times faster.
const std::vector<std::string> kPolesZero{"2",    "4",    "Return", "0",    "Return", "plus", "plus",
                                          "plus", "plus", "plus",   "plus", "plus",   "plus"};

// What descriptor fd of process pid names ("/dev/null", "socket:[...]"), or
// "" when it is not open.
std::string descriptor_target(pid_t pid, int fd) {
  const std::string path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

class StreamsWindowTest : public XServerSuite<StreamsWindowTest> {
 protected:
  // The program at its first prompt; 0 when it never got there.
  WindowId start(std::unique_ptr<Program>& p, const StandardStreams& streams) {
    p = std::make_unique<Program>(x(), kProgram, std::vector<std::string>{},
                                  std::vector<std::string>{}, std::nullopt, streams);
    if (!p->started()) return 0;
    const auto w = x().wait_for_page_window(*p);
    if (!w) return 0;
    const bool prompt = x().grab_page_until(*w, [](const RgbImage& img) {
      return grab_text(img, 3, 7, 9) == " Z=";
    }).has_value();
    return prompt ? *w : 0;
  }

  // Answers the reports titled titles[0], titles[1], ... with Yes, one after
  // the other, each once it is on the screen; the number answered before one
  // failed to come.
  // A box is answered when its window is destroyed; the next box may get the
  // same window id, so the destruction is watched for, not looked for.
  int answer_yes(const std::vector<std::string>& titles) {
    Display* d = XOpenDisplay(x().display().c_str());
    if (d == nullptr) return 0;
    const auto old_handler = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int n = 0;
    for (; n < static_cast<int>(titles.size()); ++n) {
      const auto box = x().wait_for_window_titled(titles[n], kPatienceMs);
      if (!box || !x().wait_mapped(*box, kPatienceMs)) break;
      XSelectInput(d, *box, StructureNotifyMask);
      XSync(d, False);
      if (!x().send_keys(*box, {"y"}) || !destroyed(d, *box)) break;
    }
    XSetErrorHandler(old_handler);
    XCloseDisplay(d);
    return n;
  }

  // Waits for the DestroyNotify of w on d.
  static bool destroyed(Display* d, WindowId w) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (std::chrono::steady_clock::now() < end) {
      XEvent e;
      while (XCheckTypedWindowEvent(d, w, DestroyNotify, &e))
        if (e.xdestroywindow.window == w) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // The close button, with a report open or coming: the close waits for
  // its answer, Yes. The exit code, nullopt when the program never ended.
  std::optional<int> close_answering(Program& p, WindowId w, const std::string& title) {
    if (!x().request_close(w)) return std::nullopt;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (std::chrono::steady_clock::now() < end) {
      if (const auto code = p.wait_exit(50)) return code;
      if (const auto box = x().wait_for_window_titled(title, 0)) x().send_keys(*box, {"y"});
    }
    return p.wait_exit(0);
  }
};

// Started with descriptors closed: each closed one names /dev/null while the
// program runs, so neither the X connections nor anything else took it. With
// 2 closed the X connection used to become standard error: the stderr line
// of each box went into the connection, and after a few boxes the window no
// longer answered even the close.
TEST_F(StreamsWindowTest, ClosedStandardStreamsAreNotTakenByWhatTheProgramOpens) {
  const struct {
    const char* name;
    std::vector<int> closed;
  } cases[] = {
      {"standard error", {2}},
      {"standard input", {0}},
      {"all three", {0, 1, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Program> p;
    const WindowId w = start(p, {.closed = c.closed});
    ASSERT_NE(w, 0u) << "no prompt";
    ASSERT_TRUE(x().send_keys(w, kPolesMinusOne));
    // As many boxes as the connection used to bear.
    EXPECT_EQ(answer_yes(kPolesMinusOneReports), 5);
    // Every box opened a connection of its own meanwhile.
    for (const int fd : c.closed) EXPECT_EQ(descriptor_target(p->pid(), fd), "/dev/null") << fd;
    ASSERT_TRUE(x().request_close(w));
    EXPECT_EQ(p->wait_exit(kPatienceMs), 0);
  }
}

// Standard error on a pipe whose reader is gone: the box's line fails and
// the box shows all the same (the program used to die of SIGPIPE before the
// first box).
TEST_F(StreamsWindowTest, StandardErrorWithoutAReaderDoesNotEndTheProgram) {
  std::unique_ptr<Program> p;
  const WindowId w = start(p, {.closed = {}, .error = ErrorStream::PipeReaderGone});
  ASSERT_NE(w, 0u) << "no prompt";
  ASSERT_TRUE(x().send_keys(w, kPolesMinusOne));
  EXPECT_EQ(answer_yes(kPolesMinusOneReports), 5) << "exit " << p->wait_exit(0).value_or(-1);
  ASSERT_TRUE(x().request_close(w));
  EXPECT_EQ(p->wait_exit(kPatienceMs), 0);
}

// Standard error on a 4096-byte pipe that nobody reads: once it is full the
// lines are dropped, and the boxes go on coming (the program thread used to
// block in its write: no more boxes, and the close hung). What the pipe
// holds at the end is whole lines, each the line of one box.
TEST_F(StreamsWindowTest, StandardErrorThatNobodyReadsNeverHoldsTheProgramUp) {
  const std::string line =
      "winding-scheme: Unhandled Error #5: Line:124 Illegal function call Continue?";
  const int fit = 4096 / static_cast<int>(line.size() + 1);
  std::unique_ptr<Program> p;
  const WindowId w = start(p, {.closed = {}, .error = ErrorStream::SmallUnreadPipe});
  ASSERT_NE(w, 0u) << "no prompt";
  ASSERT_TRUE(x().send_keys(w, kPolesZero));
  EXPECT_EQ(answer_yes(std::vector<std::string>(fit + 5, "Unhandled Error #5")), fit + 5);
  ASSERT_EQ(close_answering(*p, w, "Unhandled Error #5"), 0);
  const std::string err = p->stderr_text();
  std::string expected;
  for (int n = 0; n < fit; ++n) expected += line + "\n";
  EXPECT_EQ(err, expected);
}

// The display lost while standard error has no reader: the process ends
// with code 1 through the program's own lost-display path (its line is
// dropped), not by SIGPIPE. A server of its own: the test stops it.
TEST(StreamsLostDisplay, EndsWithCodeOneWhenStandardErrorHasNoReader) {
  XServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  Program p(server, kProgram, {}, {}, std::nullopt,
            {.closed = {}, .error = ErrorStream::PipeReaderGone});
  ASSERT_TRUE(server.wait_for_page_window(p));
  server.stop();
  EXPECT_EQ(p.wait_exit(kPatienceMs), 1);
}

}  // namespace
}  // namespace ws::test
