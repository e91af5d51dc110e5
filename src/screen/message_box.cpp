#include "screen/message_box.h"

#include "screen/error_stream.h"

namespace ws {

BoxAnswer LoggingMessageBox::show(const std::string& caption,
                                  const std::string& text, BoxKind kind) {
  std::string flat = text;
  for (char& c : flat)
    if (c == '\n') c = ' ';
  write_error_line("winding-scheme: " + caption + ": " + flat);
  if (inner_ == nullptr) return BoxAnswer::Unavailable;
  return inner_->show(caption, text, kind);
}

}  // namespace ws
