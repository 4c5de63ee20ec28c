// An engine host for trying lines out: nothing is shown, no page is loaded,
// and the clock always reads the same, so that two runs of the same lines
// agree.
#pragma once

#include "engine/host.h"

namespace kelvane::workbench {

class QuietHost : public engine::Host {
 public:
  void showMessage(std::u16string_view) override {}
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view) override {}
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return u"0:00:00"; }
  std::u16string dateText() override { return u"2000/01/01"; }
};

}  // namespace kelvane::workbench
