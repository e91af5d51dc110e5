#include "screen/message_box.h"

#include <cstdio>

namespace ws {

BoxAnswer LoggingMessageBox::show(const std::string& caption,
                                  const std::string& text, BoxKind kind) {
  std::string flat = text;
  for (char& c : flat)
    if (c == '\n') c = ' ';
  std::fprintf(stderr, "winding-scheme: %s: %s\n", caption.c_str(), flat.c_str());
  std::fflush(stderr);
  if (inner_ == nullptr) return BoxAnswer::Unavailable;
  return inner_->show(caption, text, kind);
}

}  // namespace ws
