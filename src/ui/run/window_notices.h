// The watch's notifications after the window's runs, as after kelvane-run's:
// the run layer's AfterRun follows the window's run cycle, and a timer
// records the deliveries that have ended.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "notify/rules.h"
#include "run/after_run.h"
#include "run/watch_run.h"

namespace kelvane::ui {

class WindowNotices {
 public:
  explicit WindowNotices(run::WatchRun& run);
  // Before the run cycle goes: it no longer calls on what is gone.
  ~WindowNotices();

  // The notifications that follow every run from now on; none, or none
  // without targets or a history: the window tells only its desktop. say
  // gets what the user should read. A delivery still out is ended.
  void set(std::optional<notify::NotifySettings> settings,
           std::function<void(const std::string&)> say);

 private:
  run::WatchRun& run_;
  std::unique_ptr<run::AfterRun> notices_;
  QTimer collect_;
};

}  // namespace kelvane::ui
