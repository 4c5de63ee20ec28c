// When the window tells the desktop that the display changed: after an
// automatic run whose display differs from the one the previous run left,
// while the popup item "変化を通知" is ticked. Every run that ends normally,
// by hand or automatic, becomes the display the next one is compared with;
// a stopped run leaves it alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::ui {

class ChangeNotice {
 public:
  struct Run {
    bool automatic = false;
    bool normal = false;  // the run ended normally
    std::u16string_view display;
  };

  // After each run: true when a notification is due.
  bool runEnded(const Run& run, bool noticeOn) {
    if (!run.normal) return false;
    const bool changed = previous_ && *previous_ != run.display;
    previous_.emplace(run.display);
    return changed && run.automatic && noticeOn;
  }

 private:
  std::optional<std::u16string> previous_;
};

}  // namespace kelvane::ui
