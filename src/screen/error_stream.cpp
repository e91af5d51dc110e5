#include "screen/error_stream.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace ws {

void prepare_standard_streams() {
  // In order 0, 1, 2: open gives the lowest free number, which is then the
  // closed one itself.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    // Without /dev/null (a bare chroot, say) the number is still taken, by
    // a descriptor nothing can be written to.
    if (opened < 0) opened = open("/", O_PATH);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
  signal(SIGPIPE, SIG_IGN);
}

LineWriter::~LineWriter() {
  if (own_fd_ >= 0) close(own_fd_);
}

void LineWriter::find_sink() {
  struct stat st;
  if (fstat(fd_, &st) != 0)
    sink_ = Sink::Closed;
  else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
    sink_ = Sink::Reopened;
  else if (S_ISSOCK(st.st_mode))
    sink_ = Sink::Socket;
  else
    sink_ = Sink::Plain;
}

size_t LineWriter::write_some(const char* bytes, size_t size) {
  if (sink_ == Sink::Reopened && own_fd_ < 0) {
    // A new description of the same pipe or terminal, non-blocking. A FIFO
    // with no reader refuses it (ENXIO): tried again at the next line.
    const std::string path = "/proc/self/fd/" + std::to_string(fd_);
    own_fd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (own_fd_ < 0) return 0;
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = -1;
    switch (sink_) {
      case Sink::Reopened:
        n = write(own_fd_, bytes + done, size - done);
        break;
      case Sink::Socket:
        n = send(fd_, bytes + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        break;
      case Sink::Plain:
        n = write(fd_, bytes + done, size - done);
        break;
      case Sink::Unknown:
      case Sink::Closed:
        return 0;
    }
    if (n < 0 && errno == EINTR) continue;
    // Full (EAGAIN), the reader gone (EPIPE) or any other failure: what is
    // left waits or is dropped.
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool LineWriter::flush_tail() {
  if (tail_.empty()) return true;
  tail_.erase(0, write_some(tail_.data(), tail_.size()));
  return tail_.empty();
}

bool LineWriter::write_line(std::string_view line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sink_ == Sink::Unknown) find_sink();
  // The tail of the line before goes first, so that no line is cut by
  // another.
  if (!flush_tail()) {
    ++dropped_;
    return false;
  }
  std::string whole(line);
  whole += '\n';
  const size_t n = write_some(whole.data(), whole.size());
  if (n == 0) {
    ++dropped_;
    return false;
  }
  if (n < whole.size()) tail_.assign(whole, n);
  return true;
}

uint64_t LineWriter::dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

LineWriter& standard_error() {
  // Never destroyed: a thread may write a line while the process ends.
  static LineWriter* const writer = new LineWriter(STDERR_FILENO);
  return *writer;
}

void write_error_line(std::string_view line) { standard_error().write_line(line); }

}  // namespace ws
