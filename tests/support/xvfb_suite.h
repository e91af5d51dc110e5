// A test suite whose tests share one private X server with a window manager:
// started before the suite's first test, stopped after its last.
#pragma once

#include <gtest/gtest.h>

#include <memory>

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

}  // namespace ws::test
