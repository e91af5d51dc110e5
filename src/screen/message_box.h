// The message-box seam: error reports (Yes/No), critical errors and alerts
// (OK). The real program shows an X11 box on its own display connection; tests
// script the answers. Every box is also written to stderr, so none is lost.
#pragma once

#include <string>

namespace ws {

enum class BoxKind { YesNo, Ok };
enum class BoxAnswer { Yes, No, Ok, Unavailable };

class MessageBoxPresenter {
 public:
  virtual ~MessageBoxPresenter() = default;
  // Blocks the calling thread until the user answers. Unavailable when no box
  // could be shown.
  virtual BoxAnswer show(const std::string& caption, const std::string& text,
                         BoxKind kind) = 0;
};

// Writes the box to stderr (one line, dropped when it cannot be written at
// once: see error_stream.h), then shows it through the wrapped presenter (if
// any).
class LoggingMessageBox final : public MessageBoxPresenter {
 public:
  explicit LoggingMessageBox(MessageBoxPresenter* inner) : inner_(inner) {}
  BoxAnswer show(const std::string& caption, const std::string& text,
                 BoxKind kind) override;

 private:
  MessageBoxPresenter* inner_;
};

}  // namespace ws
