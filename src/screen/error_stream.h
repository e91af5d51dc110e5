// The program's lines on the standard error stream: the courtesy line before
// each box (LoggingMessageBox) and the lines of the fatal paths. Whoever reads
// the stream (a terminal, a pipe into a pager, a file, nobody at all), these
// lines never hold up or end the program: a line that cannot be written at
// once is dropped. Every such line goes through write_error_line.
//
// Also the start of the process (prepare_standard_streams): numbers 0, 1 and
// 2 always name something harmless, so that no connection or file the
// program opens takes one of them, and a reader that went away ends nothing.
//
// Plain POSIX; no window-system header.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace ws {

// First thing in the process, before anything opens a file or a connection:
// each of descriptors 0, 1 and 2 that is closed is opened on /dev/null (the
// X connection would otherwise take the lowest free number, and the stderr
// line would be written into it), and SIGPIPE is ignored (a write to a pipe
// whose reader is gone fails with EPIPE instead of ending the process; a
// broken X connection still ends through the lost-display path).
void prepare_standard_streams();

// Writes lines to a descriptor without ever waiting for its reader. Each
// line goes out whole, or is dropped whole; lines of several threads never
// mix (one lock serialises the writers). Not for signal handlers: it locks.
//
// How it writes depends on what the descriptor is, found at the first line:
// - a pipe, FIFO or terminal: through a description of its own, opened
//   non-blocking on /proc/self/fd/N (the inherited description, which the
//   shell or a terminal may share, keeps its flags). A FIFO without a reader
//   cannot be opened so: its lines are dropped until one appears;
// - a socket: send with MSG_DONTWAIT and MSG_NOSIGNAL;
// - a regular file or anything else: plain writes, which do not wait for a
//   reader.
// A write that takes only the head of a line (a terminal or a socket with
// little room, a line longer than a pipe's atomic size) keeps the tail: it
// goes out before the next line, and while it cannot, later lines are
// dropped. A tail still held when the process ends is lost.
class LineWriter {
 public:
  // fd stays the caller's; the writer closes only the description it opened.
  explicit LineWriter(int fd) : fd_(fd) {}
  ~LineWriter();
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  // Writes line and a line feed. True when the line went out (or its tail
  // waits to go out before the next line); false when it was dropped.
  bool write_line(std::string_view line);
  // Lines dropped so far.
  uint64_t dropped() const;

 private:
  enum class Sink { Unknown, Reopened, Socket, Plain, Closed };

  void find_sink();
  // Writes what it can of bytes at once: the number of bytes written.
  size_t write_some(const char* bytes, size_t size);
  bool flush_tail();

  mutable std::mutex mutex_;
  const int fd_;
  Sink sink_ = Sink::Unknown;
  int own_fd_ = -1;  // the non-blocking description of a pipe, FIFO or terminal
  std::string tail_;  // the unwritten end of the last line
  uint64_t dropped_ = 0;
};

// The process's writer on descriptor 2.
LineWriter& standard_error();
// standard_error().write_line(line).
void write_error_line(std::string_view line);

}  // namespace ws
