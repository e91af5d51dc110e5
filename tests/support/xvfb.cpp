#include "support/xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "screen/page.h"
#include "support/glyph_match.h"

// After the standard headers: X defines macros such as None.
#include "app/x11_support.h"

namespace ws::test {

namespace {

using Clock = std::chrono::steady_clock;

int elapsed_ms(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool path_exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The environment with DISPLAY (left out when empty) and the extra entries
// set.
std::vector<std::string> make_environment(const std::string& display,
                                          const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  auto overridden = [&](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (name == "DISPLAY=") return true;
    for (const auto& e : extra)
      if (e.compare(0, name.size(), name) == 0) return true;
    return false;
  };
  for (char** e = environ; *e != nullptr; ++e)
    if (!overridden(*e)) env.emplace_back(*e);
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  for (const auto& e : extra) env.push_back(e);
  return env;
}

// fork/exec with standard output and error sent to files (or /dev/null;
// error to err_fd instead when that is given), and the descriptors in closed
// closed. The child dies with the process that started it.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& out_path, const std::string& err_path, int err_fd = -1,
            const std::vector<int>& closed = {}) {
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int out = open(out_path.empty() ? "/dev/null" : out_path.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = err_fd >= 0 ? err_fd
                              : open(err_path.empty() ? "/dev/null" : err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const int fd : closed) close(fd);
    setpgid(0, 0);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(out);
  if (err != err_fd) close(err);
  close(in);
  return pid;
}

// Waits for a child; its exit code (128 + signal), or nullopt after timeout_ms.
std::optional<int> wait_child(pid_t pid, int timeout_ms) {
  const auto start = Clock::now();
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    }
    if (r < 0) return -1;
    if (elapsed_ms(start) >= timeout_ms) return std::nullopt;
    sleep_ms(1);
  }
}

// SIGTERM, then SIGKILL after grace_ms; reaps the child.
void stop_child(pid_t pid, int grace_ms) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (!wait_child(pid, grace_ms)) {
    ::kill(pid, SIGKILL);
    wait_child(pid, kPatienceMs);
  }
}

// The same for a child that leads a process group of its own (spawn makes
// it one): the whole group is stopped, so that what the child started (a
// session bus and the services it activated, say) does not outlive it.
// Returns once no process of the group is left.
void stop_group(pid_t pid, int grace_ms) {
  if (pid <= 0) return;
  ::kill(-pid, SIGTERM);
  if (!wait_child(pid, grace_ms)) {
    ::kill(-pid, SIGKILL);
    wait_child(pid, kPatienceMs);
  }
  // The leader is reaped; members it left behind (now children of init)
  // get what remains of the grace, then SIGKILL.
  const auto start = Clock::now();
  while (::kill(-pid, 0) == 0 && elapsed_ms(start) < kPatienceMs) {
    if (elapsed_ms(start) >= grace_ms) ::kill(-pid, SIGKILL);
    sleep_ms(5);
  }
}

int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

std::optional<unsigned long> cardinal_property(Display* d, WindowId w, const char* name) {
  const Atom atom = XInternAtom(d, name, True);
  if (atom == None) return std::nullopt;
  const auto values = property_values(d, w, atom, AnyPropertyType, 1);
  if (values.empty()) return std::nullopt;
  return values[0];
}

uint32_t read_u32(const unsigned char* p, bool big_endian) {
  return big_endian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                    : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

// The 8-bit value of the channel that mask selects.
uint32_t channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = __builtin_ctz(mask);
  const uint32_t max = mask >> shift;
  const uint32_t v = (pixel & mask) >> shift;
  return max == 255 ? v : (v * 255 + max / 2) / max;
}

}  // namespace

int palette_index(uint32_t rgb) {
  for (int n = 0; n < 16; ++n)
    if ((kDefaultPalette[n] & 0xFFFFFF) == (rgb & 0xFFFFFF)) return n;
  return -1;
}

int off_palette_pixels(const RgbImage& img) {
  int n = 0;
  for (const uint32_t rgb : img.pixels) n += palette_index(rgb) < 0;
  return n;
}

bool rows_black(const RgbImage& img, int from, int to) {
  for (int y = from; y < to; ++y)
    for (int x = 0; x < img.width; ++x)
      if (img.at(x, y) != 0) return false;
  return true;
}

bool text_at(const RgbImage& img, int x, int y, const std::string& text, uint32_t* ink,
             uint32_t* paper) {
  if (x < 0 || y < 0 || x + 8 * static_cast<int>(text.size()) > img.width || y + 16 > img.height)
    return false;
  std::optional<uint32_t> on, off;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* glyph = kPageFont[static_cast<uint8_t>(text[i])];
    for (int row = 0; row < 16; ++row) {
      for (int col = 0; col < 8; ++col) {
        const uint32_t p = img.at(x + 8 * static_cast<int>(i) + col, y + row);
        auto& expected = (glyph[row] & (0x80 >> col)) != 0 ? on : off;
        if (!expected) expected = p;
        if (*expected != p) return false;
      }
    }
  }
  if (!on || !off || *on == *off) return false;
  if (ink) *ink = *on;
  if (paper) *paper = *off;
  return true;
}

std::optional<Point> find_text(const RgbImage& img, const std::string& text) {
  for (int y = 0; y + 16 <= img.height; ++y)
    for (int x = 0; x + 8 * static_cast<int>(text.size()) <= img.width; ++x)
      if (text_at(img, x, y, text)) return Point{x, y};
  return std::nullopt;
}

std::optional<RgbImage> decode_xwd(const std::string& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < 100) return std::nullopt;
  // The header is 25 words; its version (7) tells its byte order.
  bool big = true;
  if (read_u32(b + 4, true) != 7) {
    if (read_u32(b + 4, false) != 7) return std::nullopt;
    big = false;
  }
  uint32_t h[25];
  for (int i = 0; i < 25; ++i) h[i] = read_u32(b + 4 * i, big);
  const uint32_t header_size = h[0], format = h[2], width = h[4], height = h[5];
  const uint32_t byte_order = h[7], bits_per_pixel = h[11], bytes_per_line = h[12];
  const uint32_t visual_class = h[13], red = h[14], green = h[15], blue = h[16];
  const uint32_t ncolors = h[19];
  constexpr uint32_t kZPixmap = 2, kTrueColor = 4, kDirectColor = 5;
  if (format != kZPixmap || (visual_class != kTrueColor && visual_class != kDirectColor))
    return std::nullopt;
  if (bits_per_pixel % 8 != 0 || bits_per_pixel == 0 || bits_per_pixel > 32) return std::nullopt;
  const uint64_t offset = uint64_t{header_size} + uint64_t{ncolors} * 12;
  if (width > 16384 || height > 16384 || uint64_t{bytes_per_line} < uint64_t{width} * bits_per_pixel / 8 ||
      offset + uint64_t{bytes_per_line} * height > bytes.size())
    return std::nullopt;
  RgbImage img;
  img.width = static_cast<int>(width);
  img.height = static_cast<int>(height);
  img.pixels.resize(static_cast<size_t>(width) * height);
  const int bpp = static_cast<int>(bits_per_pixel / 8);
  const bool msb_first = byte_order == 1;
  for (uint32_t y = 0; y < height; ++y) {
    const unsigned char* row = b + offset + uint64_t{bytes_per_line} * y;
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = row + x * bpp;
      uint32_t v = 0;
      for (int k = 0; k < bpp; ++k)
        v |= uint32_t{p[msb_first ? k : bpp - 1 - k]} << (8 * (bpp - 1 - k));
      img.pixels[static_cast<size_t>(y) * width + x] =
          channel(v, red) << 16 | channel(v, green) << 8 | channel(v, blue);
    }
  }
  return img;
}

// ---------------------------------------------------------------- Program

Program::Program(const XServer& server, const std::string& path, std::vector<std::string> args,
                 std::vector<std::string> extra_env, std::optional<std::string> display_override,
                 StandardStreams streams) {
  static int counter = 0;
  const std::string base = server.work_dir() + "/program" + std::to_string(++counter);
  out_path_ = base + ".out";
  int err_write = -1;
  if (streams.error == ErrorStream::File) {
    err_path_ = base + ".err";
  } else {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    err_write = ends[1];
    if (streams.error == ErrorStream::SmallUnreadPipe) {
      fcntl(ends[0], F_SETPIPE_SZ, 4096);
      err_pipe_ = ends[0];
    } else {
      close(ends[0]);  // no reader from the start
    }
  }
  args.insert(args.begin(), path);
  start_ = Clock::now();
  pid_ = spawn(args, make_environment(display_override.value_or(server.display()), extra_env),
               out_path_, err_path_, err_write, streams.closed);
  if (err_write >= 0) close(err_write);
}

Program::~Program() {
  kill();
  if (err_pipe_ >= 0) close(err_pipe_);
}

std::optional<int> Program::wait_exit(int timeout_ms) {
  if (exit_code_ || pid_ <= 0) return exit_code_;
  exit_code_ = wait_child(pid_, timeout_ms);
  if (exit_code_) exit_time_ = Clock::now();
  return exit_code_;
}

bool Program::running() { return pid_ > 0 && !wait_exit(0); }

void Program::kill() {
  if (running()) {
    ::kill(pid_, SIGKILL);
    wait_exit(kPatienceMs);
  }
}

std::string Program::stdout_text() const { return read_file(out_path_); }
std::string Program::stderr_text() const {
  if (err_pipe_ < 0) return err_path_.empty() ? std::string() : read_file(err_path_);
  if (!exit_code_) return {};
  // The program is gone: what its pipe holds is all there is.
  fcntl(err_pipe_, F_SETFL, fcntl(err_pipe_, F_GETFL) | O_NONBLOCK);
  char buffer[4096];
  ssize_t n;
  while ((n = read(err_pipe_, buffer, sizeof buffer)) > 0) err_pipe_text_.append(buffer, n);
  return err_pipe_text_;
}

size_t Program::stdout_mark() const {
  const std::string out = stdout_text();
  const size_t last = out.rfind('\n');
  return last == std::string::npos ? 0 : last + 1;
}

bool Program::has_line(const std::string& line, size_t from) const {
  const std::string out = stdout_text();
  if (from > out.size()) return false;
  return ("\n" + out.substr(from)).find("\n" + line + "\n") != std::string::npos;
}

bool Program::wait_for_line(const std::string& line, int timeout_ms, size_t from) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (has_line(line, from)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

char grab_cell(const RgbImage& img, int row, int col, int* colour) {
  const CellRead cell =
      read_cell(row, col, [&img](int x, int y) { return palette_index(img.at(x, y)); });
  if (colour) *colour = cell.colour;
  return cell.ch;
}

std::string grab_text(const RgbImage& img, int row, int from, int to) {
  std::string s;
  for (int col = from; col <= to; ++col) s += grab_cell(img, row, col);
  return s;
}

long cpu_ticks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The name (field 2) is in parentheses and may hold spaces and ')'.
  const size_t paren = s.rfind(')');
  if (paren == std::string::npos || paren + 2 > s.size()) return 0;
  std::istringstream fields(s.substr(paren + 2));
  std::string f;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) utime = std::stol(f);
    if (i == 15) stime = std::stol(f);
  }
  return utime + stime;
}

// ---------------------------------------------------------------- XServer

const char* window_manager_name(WindowManager wm) {
  switch (wm) {
    case WindowManager::Openbox: return "openbox";
    case WindowManager::Metacity: return "metacity";
    case WindowManager::I3: return "i3";
    case WindowManager::Xfwm4: return "xfwm4";
    case WindowManager::Fluxbox: return "fluxbox";
  }
  return "?";
}

XServer::XServer(WindowManager wm, int width, int height) : wm_(wm) {
  char dir[] = "/tmp/ws-xvfb-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    error_ = "cannot make a scratch directory";
    return;
  }
  work_dir_ = dir;
  if (!start_xvfb(width, height, true)) return;
  if (!start_window_manager()) return;
  ok_ = true;
}

XServer::XServer(bool with_window_manager, int width, int height, bool with_glx) {
  char dir[] = "/tmp/ws-xvfb-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    error_ = "cannot make a scratch directory";
    return;
  }
  work_dir_ = dir;
  if (!start_xvfb(width, height, with_glx)) return;
  if (with_window_manager && !start_window_manager()) return;
  ok_ = true;
}

XServer::~XServer() {
  stop();
  if (!work_dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(work_dir_, ec);
  }
}

void XServer::stop() {
  if (display_ != nullptr) XCloseDisplay(display_);
  display_ = nullptr;
  stop_group(wm_pid_, 2000);
  stop_child(xvfb_pid_, 2000);
  wm_pid_ = xvfb_pid_ = -1;
  ok_ = false;
}

bool XServer::start_xvfb(int width, int height, bool with_glx) {
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const int base = 100 + static_cast<int>(getpid() % 300);
  for (int attempt = 0; attempt < 60; ++attempt) {
    const int n = 100 + (base - 100 + attempt * 7) % 800;
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (path_exists(socket) || path_exists(lock)) continue;
    const std::string log = work_dir_ + "/xvfb" + std::to_string(n) + ".log";
    const pid_t pid = spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", screen,
                             with_glx ? "+extension" : "-extension", "GLX", "-nolisten", "tcp",
                             "-noreset"},
                            make_environment(":" + std::to_string(n), {}), "", log);
    // Ready when the lock holds our pid and xdpyinfo answers; another run
    // that took the number first makes ours exit.
    const auto start = Clock::now();
    bool ours = false, ready = false;
    while (elapsed_ms(start) < kPatienceMs) {
      if (wait_child(pid, 0)) break;
      if (!ours) {
        const std::string text = read_file(lock);
        ours = !text.empty() && std::atoi(text.c_str()) == pid;
      }
      if (ours) {
        number_ = n;
        if (run({"xdpyinfo"}) == 0) {
          ready = true;
          break;
        }
      }
      sleep_ms(20);
    }
    if (ready) {
      xvfb_pid_ = pid;
      return true;
    }
    number_ = -1;
    stop_child(pid, 1000);
  }
  error_ = "no Xvfb could be started";
  return false;
}

void XServer::stop_window_manager() {
  stop_group(wm_pid_, 2000);
  wm_pid_ = -1;
  // The manager's check window goes with it; wait until the root no longer
  // names a live one, so that a restart is told apart.
  Display* d = connection();
  const auto start = Clock::now();
  while (d != nullptr && elapsed_ms(start) < kPatienceMs) {
    const auto check = cardinal_property(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK");
    XWindowAttributes a;
    if (!check || XGetWindowAttributes(d, *check, &a) == 0) break;
    sleep_ms(20);
  }
  // Its list of the windows it manages stays on the root: the next manager
  // writes its own once it has taken them on (see wait_managed).
  if (d != nullptr) {
    XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST", False));
    XSync(d, False);
  }
}

bool XServer::start_window_manager() {
  const std::string name = window_manager_name(wm_);
  std::vector<std::string> argv;
  switch (wm_) {
    case WindowManager::Openbox: argv = {"openbox", "--config-file", WS_OPENBOX_RC}; break;
    case WindowManager::Metacity: argv = {"metacity", "--no-composite", "--replace"}; break;
    case WindowManager::I3: {
      // Without a configuration i3 starts a first-run wizard.
      const std::string config = work_dir_ + "/i3.config";
      std::ofstream(config) << "font pango:monospace 8\nfocus_follows_mouse no\n";
      argv = {"i3", "-c", config};
      break;
    }
    case WindowManager::Xfwm4:
      // xfwm4 exits at once without its settings service, which it reaches
      // on a session bus: a private one, stopped with it (its process group).
      argv = {"dbus-run-session", "--", "xfwm4", "--compositor=off", "--replace"};
      break;
    case WindowManager::Fluxbox: argv = {"fluxbox"}; break;
  }
  // Its own home: no user settings, no session, no leftovers between runs.
  wm_pid_ = spawn(argv,
                  make_environment(display(), {"XDG_CONFIG_HOME=" + work_dir_,
                                               "XDG_CACHE_HOME=" + work_dir_,
                                               "XDG_DATA_HOME=" + work_dir_,
                                               "HOME=" + work_dir_,
                                               // No accessibility bus either.
                                               "NO_AT_BRIDGE=1"}),
                  "", work_dir_ + "/" + name + ".log");
  Display* d = connection();
  const auto start = Clock::now();
  while (d != nullptr && elapsed_ms(start) < kPatienceMs) {
    if (wait_child(wm_pid_, 0)) break;
    // Ready when the root names the manager's check window and it exists.
    const auto check = cardinal_property(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK");
    XWindowAttributes a;
    if (check && XGetWindowAttributes(d, *check, &a) != 0) return true;
    sleep_ms(20);
  }
  error_ = name + " did not come up: " + read_file(work_dir_ + "/" + name + ".log");
  return false;
}

Display* XServer::connection() {
  if (display_ == nullptr && number_ >= 0) {
    XSetErrorHandler(ignore_x_errors);
    display_ = XOpenDisplay(display().c_str());
  }
  return display_;
}

int XServer::run(const std::vector<std::string>& argv, int timeout_ms, std::string* out) const {
  static int counter = 0;
  const std::string out_path = out ? work_dir_ + "/run" + std::to_string(++counter) + ".out" : "";
  const pid_t pid = spawn(argv, make_environment(display(), {}), out_path, "");
  const auto code = wait_child(pid, timeout_ms);
  if (!code) {
    ::kill(pid, SIGKILL);
    wait_child(pid, kPatienceMs);
  }
  if (out) {
    *out = read_file(out_path);
    std::remove(out_path.c_str());
  }
  return code.value_or(-1);
}

std::vector<WindowId> XServer::client_windows() {
  std::vector<WindowId> found;
  Display* d = connection();
  if (d == nullptr) return found;
  XSync(d, False);
  std::vector<Window> pending{DefaultRootWindow(d)};
  while (!pending.empty()) {
    const Window w = pending.back();
    pending.pop_back();
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) continue;
    for (unsigned int i = 0; i < count; ++i) {
      found.push_back(children[i]);
      pending.push_back(children[i]);
    }
    if (children != nullptr) XFree(children);
  }
  return found;
}

std::optional<std::string> XServer::title(WindowId w) {
  Display* d = connection();
  if (d == nullptr) return std::nullopt;
  const Atom net_name = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  if (auto s = string_property(d, w, net_name, utf8, 4096)) return s;
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name != nullptr) {
    std::string s(name);
    XFree(name);
    return s;
  }
  return std::nullopt;
}

std::optional<WindowId> XServer::wait_for_window_titled(const std::string& wanted, int timeout_ms) {
  const auto start = Clock::now();
  do {
    for (WindowId w : client_windows())
      if (title(w) == wanted) return w;
    sleep_ms(5);
  } while (elapsed_ms(start) < timeout_ms);
  return std::nullopt;
}

std::optional<WindowId> XServer::wait_for_window_of(const Program& program, int timeout_ms) {
  const auto start = Clock::now();
  do {
    Display* d = connection();
    if (d == nullptr) return std::nullopt;
    std::optional<WindowId> best;
    for (WindowId w : client_windows()) {
      const auto pid = cardinal_property(d, w, "_NET_WM_PID");
      if (pid && static_cast<pid_t>(*pid) == program.pid() && (!best || w < *best)) best = w;
    }
    if (best) return best;
    sleep_ms(2);
  } while (elapsed_ms(start) < timeout_ms);
  return std::nullopt;
}

bool XServer::wait_mapped(WindowId w, int timeout_ms) {
  const auto start = Clock::now();
  do {
    Display* d = connection();
    XWindowAttributes a;
    if (d != nullptr && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return true;
    sleep_ms(2);
  } while (elapsed_ms(start) < timeout_ms);
  return false;
}

bool XServer::wait_managed(WindowId w, int timeout_ms) {
  const auto start = Clock::now();
  do {
    if (Display* d = connection()) {
      const auto windows = property_values(d, DefaultRootWindow(d),
                                           XInternAtom(d, "_NET_CLIENT_LIST", False), XA_WINDOW,
                                           1024);
      if (std::find(windows.begin(), windows.end(), w) != windows.end()) return true;
    }
    sleep_ms(5);
  } while (elapsed_ms(start) < timeout_ms);
  return false;
}

std::optional<Geometry> XServer::client_geometry(WindowId w) {
  Display* d = connection();
  XWindowAttributes a;
  if (d == nullptr || !XGetWindowAttributes(d, w, &a)) return std::nullopt;
  Geometry g;
  g.width = a.width;
  g.height = a.height;
  Window child;
  if (!XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &g.x, &g.y, &child))
    return std::nullopt;
  return g;
}

std::optional<Geometry> XServer::wait_client_size(WindowId w, int width, int height,
                                                  int timeout_ms) {
  const auto start = Clock::now();
  std::optional<Geometry> g;
  do {
    g = client_geometry(w);
    if (g && g->width == width && g->height == height) return g;
    sleep_ms(5);
  } while (elapsed_ms(start) < timeout_ms);
  return g;
}

std::optional<Geometry> XServer::wait_geometry_settled(WindowId w, int stable_ms, int timeout_ms) {
  const auto start = Clock::now();
  std::optional<Geometry> last = client_geometry(w);
  auto since = Clock::now();
  while (elapsed_ms(start) < timeout_ms) {
    sleep_ms(5);
    const auto g = client_geometry(w);
    if (!g) return std::nullopt;
    if (!last || g->x != last->x || g->y != last->y || g->width != last->width ||
        g->height != last->height) {
      last = g;
      since = Clock::now();
    } else if (elapsed_ms(since) >= stable_ms) {
      break;
    }
  }
  return last;
}

bool XServer::send_keys(WindowId w, const std::vector<std::string>& keys, int delay_ms) {
  std::vector<std::string> argv{"xdotool", "windowactivate", "--sync", std::to_string(w),
                                "key",     "--delay",        std::to_string(delay_ms)};
  argv.insert(argv.end(), keys.begin(), keys.end());
  return run(argv) == 0;
}

bool XServer::resize(WindowId w, int width, int height) {
  return run({"xdotool", "windowsize", std::to_string(w), std::to_string(width),
              std::to_string(height)}) == 0;
}

bool XServer::resize_burst(WindowId w, const std::vector<std::pair<int, int>>& sizes) {
  std::vector<std::string> argv{"xdotool"};
  for (const auto& [width, height] : sizes)
    argv.insert(argv.end(), {"windowsize", std::to_string(w), std::to_string(width),
                             std::to_string(height)});
  return run(argv) == 0;
}

bool XServer::move(WindowId w, int x, int y) {
  return run({"xdotool", "windowmove", std::to_string(w), std::to_string(x), std::to_string(y)}) ==
         0;
}

bool XServer::maximise(WindowId w, bool on) {
  return run({"wmctrl", "-i", "-r", std::to_string(w), "-b",
              std::string(on ? "add" : "remove") + ",maximized_vert,maximized_horz"}) == 0;
}

bool XServer::set_full_screen(WindowId w, bool on) {
  return run({"wmctrl", "-i", "-r", std::to_string(w), "-b",
              std::string(on ? "add" : "remove") + ",fullscreen"}) == 0;
}

std::vector<std::string> XServer::window_states(WindowId w) {
  std::vector<std::string> names;
  Display* d = connection();
  if (d == nullptr) return names;
  for (const Atom atom :
       property_values(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 64)) {
    char* name = XGetAtomName(d, atom);
    if (name == nullptr) continue;
    std::string n(name);
    XFree(name);
    const std::string prefix = "_NET_WM_STATE_";
    names.push_back(n.compare(0, prefix.size(), prefix) == 0 ? n.substr(prefix.size()) : n);
  }
  return names;
}

std::optional<std::array<int, 4>> XServer::frame_extents(WindowId w) {
  Display* d = connection();
  if (d == nullptr) return std::nullopt;
  const auto v =
      property_values(d, w, XInternAtom(d, "_NET_FRAME_EXTENTS", False), XA_CARDINAL, 4);
  if (v.size() != 4) return std::nullopt;
  return std::array<int, 4>{static_cast<int>(v[0]), static_cast<int>(v[1]),
                            static_cast<int>(v[2]), static_cast<int>(v[3])};
}

bool XServer::drag(int x0, int y0, int x1, int y1, int steps,
                   const std::function<void()>& sample) {
  if (run({"xdotool", "mousemove", std::to_string(x0), std::to_string(y0), "mousedown", "1"}) != 0)
    return false;
  bool ok = true;
  for (int i = 1; i <= steps && ok; ++i) {
    const int x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
    ok = run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}) == 0;
    if (sample) sample();
  }
  return run({"xdotool", "mouseup", "1"}) == 0 && ok;
}

bool XServer::send_keys_focused(WindowId w, const std::vector<std::string>& keys, int delay_ms) {
  std::vector<std::string> argv{"xdotool", "windowfocus", "--sync", std::to_string(w),
                                "key",     "--delay",     std::to_string(delay_ms)};
  argv.insert(argv.end(), keys.begin(), keys.end());
  return run(argv) == 0;
}

bool XServer::request_close(WindowId w) {
  Display* d = connection();
  if (d == nullptr) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  // An empty event mask sends it to the client that created the window.
  const Status ok = XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  return ok != 0;
}

std::optional<WindowId> XServer::wait_for_page_window(const Program& program, int timeout_ms) {
  const auto w = wait_for_window_of(program, timeout_ms);
  if (!w || !wait_mapped(*w, timeout_ms)) return std::nullopt;
  const auto g = wait_client_size(*w, 640, 480, timeout_ms);
  if (!g || g->width != 640 || g->height != 480) return std::nullopt;
  return w;
}

std::optional<RgbImage> XServer::grab_until(WindowId w,
                                            const std::function<bool(const RgbImage&)>& pred,
                                            int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    auto img = grab(w);
    if (img && pred(*img)) return img;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

std::optional<RgbImage> XServer::grab_page_until(WindowId w,
                                                 const std::function<bool(const RgbImage&)>& pred,
                                                 int timeout_ms) {
  return grab_until(
      w, [&](const RgbImage& img) { return img.width == 640 && img.height == 480 && pred(img); },
      timeout_ms);
}

std::optional<RgbImage> XServer::grab(WindowId w) {
  std::string bytes;
  if (run({"xwd", "-id", std::to_string(w), "-silent", "-nobdrs"}, kPatienceMs, &bytes) != 0)
    return std::nullopt;
  return decode_xwd(bytes);
}

std::optional<uint32_t> XServer::pixel(WindowId w, int x, int y) {
  Display* d = connection();
  if (d == nullptr) return std::nullopt;
  XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  const unsigned long v = XGetPixel(image, 0, 0);
  const uint32_t rgb = channel(static_cast<uint32_t>(v), static_cast<uint32_t>(image->red_mask)) << 16 |
                       channel(static_cast<uint32_t>(v), static_cast<uint32_t>(image->green_mask)) << 8 |
                       channel(static_cast<uint32_t>(v), static_cast<uint32_t>(image->blue_mask));
  XDestroyImage(image);
  return rgb;
}

}  // namespace ws::test
