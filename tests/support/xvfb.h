// A private X server (Xvfb) with a window manager (openbox, or another one
// chosen) for window tests, and helpers to start a program on it, find and
// drive its window as a user would (keys, resizes, maximising, mouse drags of
// the frame) and grab its client area.
//
//   ws::test::XServer x;                       // Xvfb + openbox
//   ASSERT_TRUE(x.ok()) << x.error();
//   ws::test::Program p(x, WS_BINARY_DIR "/winding-scheme");
//   auto w = x.wait_for_window_of(p, kPatienceMs);   // by _NET_WM_PID
//   ASSERT_TRUE(w && x.wait_mapped(*w, kPatienceMs));
//   x.request_close(*w);
//   EXPECT_EQ(p.wait_exit(kPatienceMs), 0);
//
// Both server processes are stopped by pid in the destructor (SIGTERM, then
// SIGKILL; the window manager with its whole process group, which holds
// what it started, such as xfwm4's private session bus), and they are also
// told to die with the test process should it crash.
//
// Waits for something that is to happen take kPatienceMs: they guard against
// a hang, and a slow machine must not run them out. How fast something
// happened is a figure for the test's output, not a check.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <functional>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

namespace ws::test {

using WindowId = unsigned long;

// The time allowed for something that is to happen: long enough that only a
// hang runs it out, also with the machine fully loaded.
inline constexpr int kPatienceMs = 20000;

struct Geometry {
  int x = 0, y = 0;  // client area origin relative to the root window
  int width = 0, height = 0;
};

// A picture of 0xRRGGBB values, rows top to bottom.
struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The colour number 0..15 whose default palette value is rgb, or -1.
int palette_index(uint32_t rgb);
// A text cell of a grab read with the page font: lit pixels are those whose
// colour is not palette colour 0. ' ' for an unlit cell, '?' when no printable
// glyph matches; *colour gets the colour number of the lit pixels (-1 when
// unlit, -2 when they differ or lie outside the palette).
char grab_cell(const RgbImage& img, int row, int col, int* colour = nullptr);
// Columns from..to of a text row of a grab.
std::string grab_text(const RgbImage& img, int row, int from = 1, int to = 80);

struct Point {
  int x = 0, y = 0;
};

// Whether text is drawn in the page font with its top-left cell corner at
// (x, y) of a grab (of a message box, say, whose colours are its own): every
// pixel of a set glyph bit has one colour (*ink), every other pixel of the
// cells another (*paper).
bool text_at(const RgbImage& img, int x, int y, const std::string& text, uint32_t* ink = nullptr,
             uint32_t* paper = nullptr);
// The first place, row by row, where text is drawn in the page font.
std::optional<Point> find_text(const RgbImage& img, const std::string& text);

// The pixels of a grab whose colour is no palette entry (a smoothed picture
// has them, a sharp one none).
int off_palette_pixels(const RgbImage& img);
// Whether rows from..to-1 of a grab are black (the bars of the page's aspect
// kept on a screen of another shape).
bool rows_black(const RgbImage& img, int from, int to);

// Decodes an XWD dump (any header byte order, 8/16/24/32 bits per pixel,
// true colour masks) into RGB. Nullopt when it is not a picture xwd writes.
std::optional<RgbImage> decode_xwd(const std::string& bytes);

class XServer;

// The CPU time (user and system) a process has used so far, in clock ticks
// (sysconf(_SC_CLK_TCK) a second); 0 when it is gone.
long cpu_ticks(pid_t pid);

// The window managers the tests can run (Debian packages). Openbox is the
// default, with the tests' own configuration (tests/support/openbox-rc.xml).
// xfwm4 runs under dbus-run-session: it needs a session bus.
enum class WindowManager { Openbox, Metacity, I3, Xfwm4, Fluxbox };
const char* window_manager_name(WindowManager wm);
// The manager's name in test names and messages.
inline void PrintTo(WindowManager wm, std::ostream* os) { *os << window_manager_name(wm); }

// Where a Program's standard error goes.
enum class ErrorStream {
  File,             // a file: stderr_text() reads it
  PipeReaderGone,   // a pipe whose read end is closed before the program starts
  SmallUnreadPipe,  // a pipe of 4096 bytes that nobody reads while the program runs
};

// How a Program's standard streams are set up. By default standard input is
// /dev/null and output and error go to files.
struct StandardStreams {
  // Of 0, 1 and 2: closed when the program starts (as `exec 2>&-` does).
  std::vector<int> closed;
  ErrorStream error = ErrorStream::File;
};

// A program started on an XServer (fork/exec, DISPLAY set), its standard
// output and error captured. Killed (SIGKILL) in the destructor if it still
// runs.
class Program {
 public:
  // extra_env: "NAME=value" entries added to (or replacing in) the
  // environment. display_override replaces DISPLAY (e.g. ":999"); an empty
  // one leaves DISPLAY out of the environment.
  Program(const XServer& server, const std::string& path, std::vector<std::string> args = {},
          std::vector<std::string> extra_env = {},
          std::optional<std::string> display_override = std::nullopt,
          StandardStreams streams = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }
  std::chrono::steady_clock::time_point start_time() const { return start_; }

  // The exit code (128 + signal number when a signal ended it), or nullopt
  // when the program still runs after timeout_ms.
  std::optional<int> wait_exit(int timeout_ms);
  // When the exit was seen (valid after wait_exit returned a code).
  std::chrono::steady_clock::time_point exit_time() const { return exit_time_; }
  bool running();
  void kill();

  std::string stdout_text() const;
  // Standard error: the file's text; with ErrorStream::SmallUnreadPipe, what
  // the pipe holds, read only once wait_exit has seen the end (so that no
  // room is made while the program runs); empty otherwise.
  std::string stderr_text() const;
  // The length of standard output up to its last complete line: a mark for
  // has_line and wait_for_line to look only at what comes after it.
  size_t stdout_mark() const;
  // Whether the program has written this whole line to standard output
  // (after the mark `from`).
  bool has_line(const std::string& line, size_t from = 0) const;
  // Polls standard output for the line (after the mark `from`).
  bool wait_for_line(const std::string& line, int timeout_ms, size_t from = 0) const;

 private:
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
  std::chrono::steady_clock::time_point start_, exit_time_;
  std::string out_path_, err_path_;
  int err_pipe_ = -1;  // the read end of a SmallUnreadPipe
  mutable std::string err_pipe_text_;
};

class XServer {
 public:
  // Starts Xvfb on a free display number with a screen of width x height x 24
  // (with the GLX extension unless with_glx is false); then openbox when
  // with_window_manager. ok() tells whether both came up.
  explicit XServer(bool with_window_manager = true, int width = 1280, int height = 1024,
                   bool with_glx = true);
  // Xvfb of width x height with the window manager wm.
  explicit XServer(WindowManager wm, int width = 1280, int height = 1024);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  int number() const { return number_; }
  std::string display() const { return ":" + std::to_string(number_); }
  // Stops the window manager and the X server now, as if the display went
  // away; the scratch directory (with the programs' output) stays until the
  // destructor.
  void stop();
  // Stops the window manager alone (its windows stay, unmanaged) and starts
  // it again; true once it is ready.
  void stop_window_manager();
  bool start_window_manager();
  // A scratch directory removed with the server.
  const std::string& work_dir() const { return work_dir_; }

  // Runs a command with DISPLAY set; its exit code (-1 on timeout, when it is
  // killed). Standard output goes to *out when given.
  int run(const std::vector<std::string>& argv, int timeout_ms = kPatienceMs,
          std::string* out = nullptr) const;

  // A window anywhere in the tree whose title is exactly title.
  std::optional<WindowId> wait_for_window_titled(const std::string& title, int timeout_ms);
  // A window whose _NET_WM_PID is the program's pid (of several, the lowest
  // id; a program's message boxes are best told apart by title).
  std::optional<WindowId> wait_for_window_of(const Program& program, int timeout_ms);
  bool wait_mapped(WindowId w, int timeout_ms);
  // Polls until a window manager has taken the window on (the root's
  // _NET_CLIENT_LIST names it; stop_window_manager clears the list of the
  // manager that went): after a manager's start, before keys that need it.
  bool wait_managed(WindowId w, int timeout_ms);
  // The program's window once it is mapped and shows the 640 x 480 page.
  std::optional<WindowId> wait_for_page_window(const Program& program,
                                               int timeout_ms = kPatienceMs);
  // The title (_NET_WM_NAME, else WM_NAME), nullopt when the window is gone.
  std::optional<std::string> title(WindowId w);
  std::optional<Geometry> client_geometry(WindowId w);
  // Polls until the client size is width x height; the last geometry seen.
  std::optional<Geometry> wait_client_size(WindowId w, int width, int height, int timeout_ms);
  // Polls until the geometry stays the same for stable_ms.
  std::optional<Geometry> wait_geometry_settled(WindowId w, int stable_ms, int timeout_ms);

  // xdotool windowactivate --sync W key --delay D keys...
  bool send_keys(WindowId w, const std::vector<std::string>& keys, int delay_ms = 30);
  // xdotool windowsize W width height: a resize the way a user's drag ends.
  bool resize(WindowId w, int width, int height);
  // One xdotool with a windowsize command per size, chained: the sizes come
  // as fast as a resize storm brings them.
  bool resize_burst(WindowId w, const std::vector<std::pair<int, int>>& sizes);
  // xdotool windowmove W x y.
  bool move(WindowId w, int x, int y);
  // Maximises the window (both directions) or restores it, as the manager's
  // title-bar button would: wmctrl -i -r W -b add|remove,maximized_vert,...
  bool maximise(WindowId w, bool on);
  // wmctrl -i -r W -b add|remove,fullscreen.
  bool set_full_screen(WindowId w, bool on);
  // The window's _NET_WM_STATE, as atom names without the prefix
  // _NET_WM_STATE_ (e.g. "FULLSCREEN", "MAXIMIZED_VERT").
  std::vector<std::string> window_states(WindowId w);
  // The frame around the client area (_NET_FRAME_EXTENTS: left, right, top,
  // bottom), nullopt without one.
  std::optional<std::array<int, 4>> frame_extents(WindowId w);
  // A mouse drag with button 1 from (x0, y0) to (x1, y1) in steps, each step
  // one xdotool mousemove; between the steps `sample` is called (it may
  // look at the window). Root coordinates.
  bool drag(int x0, int y0, int x1, int y1, int steps,
            const std::function<void()>& sample = nullptr);
  // Keys to the window with no window manager running: xdotool windowfocus
  // --sync W key --delay D keys...
  bool send_keys_focused(WindowId w, const std::vector<std::string>& keys, int delay_ms = 30);
  // The window manager's close: a WM_DELETE_WINDOW client message.
  bool request_close(WindowId w);
  // xwd -id W -silent -nobdrs, decoded.
  std::optional<RgbImage> grab(WindowId w);
  // Grabs until pred holds (the grab that satisfied it) or timeout_ms passes.
  std::optional<RgbImage> grab_until(WindowId w, const std::function<bool(const RgbImage&)>& pred,
                                     int timeout_ms = kPatienceMs);
  // The same for a grab of exactly the page's 640 x 480.
  std::optional<RgbImage> grab_page_until(WindowId w,
                                          const std::function<bool(const RgbImage&)>& pred,
                                          int timeout_ms = kPatienceMs);
  // One pixel of the client area as 0xRRGGBB, read directly (fast enough to
  // poll for a change).
  std::optional<uint32_t> pixel(WindowId w, int x, int y);

 private:
  Display* connection();
  bool start_xvfb(int width, int height, bool with_glx);
  std::vector<WindowId> client_windows();

  bool ok_ = false;
  std::string error_;
  int number_ = -1;
  pid_t xvfb_pid_ = -1;
  pid_t wm_pid_ = -1;
  WindowManager wm_ = WindowManager::Openbox;
  std::string work_dir_;
  Display* display_ = nullptr;
};

}  // namespace ws::test
