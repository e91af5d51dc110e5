#include "screen/x11_message_box.h"

namespace ws {
namespace {
class NoBoxes final : public MessageBoxPresenter {
 public:
  BoxAnswer show(const std::string&, const std::string&, BoxKind) override { return BoxAnswer::Unavailable; }
};
}  // namespace
MessageBoxPresenter* make_x11_message_boxes() {
  static NoBoxes boxes;
  return &boxes;
}
}  // namespace ws
