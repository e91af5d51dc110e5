// The X server support of the window tests (support/xvfb.h) as a program,
// for scripts outside the test suite (bench/idle_cost.py): a private Xvfb
// with a window manager, one program at a time on it, its window found,
// driven and grabbed as the window tests do.
//
// One command a line on standard input, one answer a line on standard
// output: "ok" with the values asked for, or "error" and why. The end of
// standard input (or "quit") stops the program, the window manager and the
// X server.
//
//   start openbox|i3           the server and its manager   -> ok DISPLAY-NUMBER
//   run PATH                   starts PATH (ends the one before) -> ok PID
//   status                     -> ok running | ok ended CODE [last lines of its stderr]
//   wait-exit MS               -> ok CODE | ok running
//   stop                       ends the program (SIGKILL)   -> ok
//   page-window MS             its window, mapped at 640 x 480 -> ok WINDOW
//   window MS                  its window, mapped at any size  -> ok WINDOW
//   titled MS TITLE            a mapped window titled exactly TITLE -> ok WINDOW
//   size WINDOW                the client size -> ok WIDTH HEIGHT
//   keys WINDOW DELAY-MS KEY...   xdotool keys to the activated window -> ok
//   resize WINDOW WIDTH HEIGHT    xdotool windowsize -> ok
//   maximise WINDOW               the manager maximises it (wmctrl) -> ok
//   grab WINDOW [X0 Y0 X1 Y1]     the client area, or the box of it
//       -> ok WIDTH HEIGHT DIGEST BLANK: the grab's size, a digest of the
//          box's pixels (equal pictures, equal digests) and whether every
//          pixel of the box is black (1) or not (0)
#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/xvfb.h"

namespace ws::test {
namespace {

// The last lines of a text, joined by " | " (the way a one-line answer
// quotes a program's error output).
std::string last_lines(const std::string& text, int lines) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find_first_not_of(" \t\r") != std::string::npos) all.push_back(line);
  std::string joined;
  for (size_t i = all.size() > static_cast<size_t>(lines) ? all.size() - lines : 0;
       i < all.size(); ++i)
    joined += (joined.empty() ? "" : " | ") + all[i];
  return joined;
}

// FNV-1a over the pixels of the box, row by row.
uint64_t digest(const RgbImage& img, int x0, int y0, int x1, int y1) {
  uint64_t h = 14695981039346656037ull;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t p = img.at(x, y);
      for (int k = 0; k < 4; ++k) {
        h ^= (p >> (8 * k)) & 0xFF;
        h *= 1099511628211ull;
      }
    }
  return h;
}

bool blank(const RgbImage& img, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (img.at(x, y) != 0) return false;
  return true;
}

class Driver {
 public:
  // The answer to one command line.
  std::string answer(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "start") return start(in);
    if (!x_ || !x_->ok()) return "error no X server started";
    if (command == "run") {
      std::string path;
      std::getline(in >> std::ws, path);
      program_.reset();
      program_ = std::make_unique<Program>(*x_, path);
      if (!program_->started()) return "error " + path + " could not be started";
      return "ok " + std::to_string(program_->pid());
    }
    if (!program_) return "error no program started";
    if (command == "status") {
      if (program_->running()) return "ok running";
      const auto code = program_->wait_exit(0);
      const std::string err = last_lines(program_->stderr_text(), 3);
      return "ok ended " + std::to_string(code.value_or(-1)) + (err.empty() ? "" : " " + err);
    }
    if (command == "wait-exit") {
      const auto code = program_->wait_exit(number(in));
      return code ? "ok " + std::to_string(*code) : "ok running";
    }
    if (command == "stop") {
      program_->kill();
      return "ok";
    }
    if (command == "page-window") return window(x_->wait_for_page_window(*program_, number(in)));
    if (command == "window") {
      const int ms = number(in);
      const auto w = x_->wait_for_window_of(*program_, ms);
      return window(w && x_->wait_mapped(*w, ms) ? w : std::nullopt);
    }
    if (command == "titled") {
      const int ms = number(in);
      std::string title;
      std::getline(in >> std::ws, title);
      const auto w = x_->wait_for_window_titled(title, ms);
      return window(w && x_->wait_mapped(*w, ms) ? w : std::nullopt);
    }
    const WindowId w = number(in);
    if (command == "size") {
      const auto g = x_->client_geometry(w);
      if (!g) return "error no such window";
      return "ok " + std::to_string(g->width) + " " + std::to_string(g->height);
    }
    if (command == "keys") {
      const int delay = number(in);
      std::vector<std::string> keys;
      for (std::string k; in >> k;) keys.push_back(k);
      return x_->send_keys(w, keys, delay) ? "ok" : "error xdotool key failed";
    }
    if (command == "resize") {
      const int width = number(in), height = number(in);
      return x_->resize(w, width, height) ? "ok" : "error xdotool windowsize failed";
    }
    if (command == "maximise") return x_->maximise(w, true) ? "ok" : "error wmctrl failed";
    if (command == "grab") return grab(w, in);
    return "error unknown command " + command;
  }

 private:
  static long number(std::istringstream& in) {
    long n = 0;
    in >> n;
    return n;
  }

  static std::string window(std::optional<WindowId> w) {
    return w ? "ok " + std::to_string(*w) : "error no such window";
  }

  std::string start(std::istringstream& in) {
    std::string name;
    in >> name;
    if (x_) return "error the X server runs already";
    if (name == "openbox")
      x_ = std::make_unique<XServer>(WindowManager::Openbox);
    else if (name == "i3")
      x_ = std::make_unique<XServer>(WindowManager::I3);
    else
      return "error unknown window manager " + name;
    if (!x_->ok()) return "error " + last_lines(x_->error(), 3);
    return "ok " + std::to_string(x_->number());
  }

  std::string grab(WindowId w, std::istringstream& in) {
    const auto img = x_->grab(w);
    if (!img) return "error no grab";
    int x0 = 0, y0 = 0, x1 = img->width, y1 = img->height;
    if (in >> x0 >> y0 >> x1 >> y1) {
      if (x0 < 0 || y0 < 0 || x1 > img->width || y1 > img->height || x0 > x1 || y0 > y1)
        return "error the box lies outside the grab";
    } else {
      x0 = y0 = 0;
      x1 = img->width;
      y1 = img->height;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(digest(*img, x0, y0, x1, y1)));
    return "ok " + std::to_string(img->width) + " " + std::to_string(img->height) + " " + hex +
           (blank(*img, x0, y0, x1, y1) ? " 1" : " 0");
  }

  // Declared after the server: the program ends before the server stops.
  std::unique_ptr<XServer> x_;
  std::unique_ptr<Program> program_;
};

}  // namespace
}  // namespace ws::test

int main() {
  // An answer to a script that has gone fails instead of ending the driver,
  // which then finds the end of its input and stops what it started.
  signal(SIGPIPE, SIG_IGN);
  ws::test::Driver driver;
  for (std::string line; std::getline(std::cin, line);) {
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (line == "quit") break;
    std::cout << driver.answer(line) << std::endl;
  }
  return 0;
}
