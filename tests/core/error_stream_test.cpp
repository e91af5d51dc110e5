// The writer of the program's stderr lines (LineWriter) on the things
// standard error can be, and the start of the process that takes the
// numbers 0 to 2 (prepare_standard_streams). A write that would wait for a
// reader must not happen: each test that could block runs the writer on a
// thread of its own and fails, instead of hanging, when it does not come back.
// Labelled threads with the other core tests: several writers at once run
// under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "screen/error_stream.h"

namespace ws::test {
namespace {

// What can be read from fd without waiting.
std::string read_available(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  fcntl(fd, F_SETFL, flags);
  return text;
}

// Writes into fd until not one more byte fits.
void fill(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const std::string block(4096, '.');
  for (size_t size = 4096; size > 0; size /= 2)
    while (write(fd, block.data(), size) > 0) {
    }
  fcntl(fd, F_SETFL, flags);
}

// A pipe of one page (4096 bytes), both ends closed with the fixture.
struct Pipe {
  int read_end = -1, write_end = -1;
  Pipe() {
    int ends[2];
    if (pipe(ends) != 0) return;
    read_end = ends[0];
    write_end = ends[1];
    fcntl(write_end, F_SETPIPE_SZ, 4096);
  }
  ~Pipe() {
    close_reader();
    if (write_end >= 0) close(write_end);
  }
  void close_reader() {
    if (read_end >= 0) close(read_end);
    read_end = -1;
  }
};

// Runs work on a thread of its own; false when it is still running after
// 5 s (then unblock is called so that it can come back, and it is joined).
bool returns_at_once(const std::function<void()>& work, const std::function<void()>& unblock) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    work();
    done.store(true, std::memory_order_release);
  });
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool in_time = done.load(std::memory_order_acquire);
  if (!in_time) unblock();
  t.join();
  return in_time;
}

// Each kind of descriptor gets the lines as they are, line feed added.
TEST(LineWriter, WritesWholeLinesToEachKindOfStandardError) {
  struct Sink {
    const char* name;
    int write_fd = -1, read_fd = -1;
  };
  Pipe pipe_sink;
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  char file_name[] = "/tmp/ws-line-writer-XXXXXX";
  const int file = mkstemp(file_name);
  ASSERT_GE(file, 0);
  unlink(file_name);
  const Sink sinks[] = {
      {"pipe", pipe_sink.write_end, pipe_sink.read_end},
      {"socket", sockets[0], sockets[1]},
      {"regular file", file, -1},
  };
  for (const Sink& s : sinks) {
    SCOPED_TRACE(s.name);
    {
      LineWriter writer(s.write_fd);
      EXPECT_TRUE(writer.write_line("winding-scheme: Alert: one"));
      EXPECT_TRUE(writer.write_line(""));
      EXPECT_TRUE(writer.write_line("program thread: two"));
      EXPECT_EQ(writer.dropped(), 0u);
    }
    std::string text;
    if (s.read_fd >= 0) {
      text = read_available(s.read_fd);
    } else {
      char buffer[256] = {};
      text.assign(buffer, static_cast<size_t>(pread(s.write_fd, buffer, sizeof buffer, 0)));
    }
    EXPECT_EQ(text, "winding-scheme: Alert: one\n\nprogram thread: two\n");
  }
  // The inherited description is left blocking: another process (the shell,
  // a terminal) may share it.
  EXPECT_EQ(fcntl(pipe_sink.write_end, F_GETFL) & O_NONBLOCK, 0);
  close(sockets[0]);
  close(sockets[1]);
  close(file);
}

// A full pipe or socket that nobody reads: the line is dropped at once.
TEST(LineWriter, DropsTheLineWhenNobodyReadsAndTheStreamIsFull) {
  {
    SCOPED_TRACE("pipe");
    Pipe p;
    fill(p.write_end);
    LineWriter writer(p.write_end);
    bool written = true;
    EXPECT_TRUE(returns_at_once([&] { written = writer.write_line("winding-scheme: lost"); },
                                [&] { read_available(p.read_end); }));
    EXPECT_FALSE(written);
    EXPECT_EQ(writer.dropped(), 1u);
  }
  {
    SCOPED_TRACE("socket");
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    fill(sockets[0]);
    LineWriter writer(sockets[0]);
    bool written = true;
    EXPECT_TRUE(returns_at_once([&] { written = writer.write_line("winding-scheme: lost"); },
                                [&] { read_available(sockets[1]); }));
    EXPECT_FALSE(written);
    close(sockets[0]);
    close(sockets[1]);
  }
}

// A line longer than the room in the pipe goes out in part; its tail is
// written before any later line, and a line that comes while the tail
// cannot go is dropped, so that the reader never sees a line cut by another.
TEST(LineWriter, FinishesACutLineBeforeTheNextAndDropsWhatComesMeanwhile) {
  Pipe p;
  LineWriter writer(p.write_end);
  const std::string long_line(6000, 'L');
  std::string seen;
  EXPECT_TRUE(returns_at_once(
      [&] {
        EXPECT_TRUE(writer.write_line(long_line));
        EXPECT_FALSE(writer.write_line("dropped"));
      },
      [&] { seen = read_available(p.read_end); }));
  seen += read_available(p.read_end);
  EXPECT_EQ(seen.size(), 4096u);
  EXPECT_TRUE(writer.write_line("next"));
  seen += read_available(p.read_end);
  EXPECT_EQ(seen, long_line + "\nnext\n");
}

// A reader that goes away ends nothing: the write fails with EPIPE and the
// line is dropped, once the start of the process has ignored SIGPIPE
// (without it this test process dies of the signal).
TEST(LineWriter, AReaderThatWentAwayEndsNothing) {
  prepare_standard_streams();
  Pipe p;
  LineWriter writer(p.write_end);
  EXPECT_TRUE(writer.write_line("read"));
  EXPECT_EQ(read_available(p.read_end), "read\n");
  p.close_reader();
  EXPECT_FALSE(writer.write_line("nobody reads this"));
  EXPECT_EQ(writer.dropped(), 1u);
}

// Several threads at once, into a pipe read as it fills: every line that
// arrives is one that was written, whole; those that arrive and those that
// were dropped add up to all.
TEST(LineWriter, LinesOfSeveralThreadsNeverMix) {
  constexpr int kThreads = 4, kLines = 2000;
  Pipe p;
  LineWriter writer(p.write_end);
  std::atomic<bool> writing{true};
  std::string seen;
  std::thread reader([&] {
    while (writing.load(std::memory_order_acquire)) {
      seen += read_available(p.read_end);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    seen += read_available(p.read_end);
  });
  std::vector<std::thread> writers;
  std::atomic<int> written{0};
  for (int t = 0; t < kThreads; ++t)
    writers.emplace_back([&, t] {
      // Lines of several lengths, some longer than a pipe's atomic size.
      for (int n = 0; n < kLines; ++n) {
        const std::string line =
            "thread " + std::to_string(t) + " line " + std::to_string(n) + " " +
            std::string(n % 7 == 0 ? PIPE_BUF + 100 : n % 50, static_cast<char>('a' + t));
        if (writer.write_line(line)) written.fetch_add(1);
      }
    });
  for (std::thread& w : writers) w.join();
  // A last line, once a tail still held has gone out.
  int end_dropped = 0;
  while (!writer.write_line("end") && end_dropped < 1000) {
    ++end_dropped;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  writing.store(false, std::memory_order_release);
  reader.join();

  std::set<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int n = 0; n < kLines; ++n)
      expected.insert("thread " + std::to_string(t) + " line " + std::to_string(n) + " " +
                      std::string(n % 7 == 0 ? PIPE_BUF + 100 : n % 50,
                                  static_cast<char>('a' + t)));
  ASSERT_FALSE(seen.empty());
  ASSERT_EQ(seen.back(), '\n');
  int arrived = 0, foreign = 0;
  size_t from = 0;
  for (size_t at = seen.find('\n'); at != std::string::npos; at = seen.find('\n', from)) {
    const std::string line = seen.substr(from, at - from);
    from = at + 1;
    if (line == "end") continue;
    if (expected.count(line) == 0)
      ++foreign;
    else
      ++arrived;
  }
  EXPECT_EQ(foreign, 0);
  EXPECT_EQ(arrived, written.load());
  EXPECT_EQ(static_cast<uint64_t>(arrived) + writer.dropped() - end_dropped,
            static_cast<uint64_t>(kThreads * kLines));
}

// Started with the standard streams closed: afterwards each names
// /dev/null, and the next file opened gets a number above them. In a child
// process, whose descriptors the test may close.
TEST(StandardStreams, ClosedOnesAreOpenedOnTheNullDevice) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;
    std::vector<int> closed;
  } cases[] = {{"standard error", {2}}, {"standard input", {0}}, {"all three", {0, 1, 2}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          for (const int fd : c.closed) close(fd);
          prepare_standard_streams();
          int code = open("/dev/zero", O_RDONLY) > 2 ? 0 : 1;
          for (const int fd : c.closed) {
            char target[64] = {};
            const std::string path = "/proc/self/fd/" + std::to_string(fd);
            if (readlink(path.c_str(), target, sizeof target - 1) < 0 ||
                std::string(target) != "/dev/null")
              code = 2;
          }
          _exit(code);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

}  // namespace
}  // namespace ws::test
