// Fixtures of the window tests.
//
// XServerSuite: a test suite whose tests share one private X server with a
// window manager, started before the suite's first test and stopped after its
// last.
//
// ProgramAtFirstPrompt: the real program on an X server of the test's own,
// brought to its first prompt (the window shows the 640 x 480 page with
// " Z=" at row 3, column 7). Used where WS_BINARY_DIR is defined.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "support/xvfb.h"

namespace ws::test {

template <class Suite>
class XServerSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = std::make_unique<XServer>(); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_->ok()) << server_->error(); }
  static XServer& x() { return *server_; }

 private:
  static inline std::unique_ptr<XServer> server_;
};

#ifdef WS_BINARY_DIR
class ProgramAtFirstPrompt : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << x_.error();
    program_.emplace(x_, WS_BINARY_DIR "/winding-scheme");
    ASSERT_TRUE(program_->started());
    const auto w = x_.wait_for_page_window(*program_);
    ASSERT_TRUE(w) << "no 640 x 480 window; " << program_->stderr_text();
    window_ = *w;
    ASSERT_TRUE(x_.grab_page_until(
        window_, [](const RgbImage& img) { return grab_text(img, 3, 7, 9) == " Z="; }))
        << "no prompt; " << program_->stderr_text();
  }

  XServer& x() { return x_; }
  Program& program() { return *program_; }
  WindowId window() const { return window_; }

 private:
  XServer x_;
  std::optional<Program> program_;
  WindowId window_ = 0;
};
#endif

}  // namespace ws::test
