#include "ui/run/window_notices.h"

namespace kelvane::ui {

WindowNotices::WindowNotices(run::WatchRun& run) : run_(run) {
  QObject::connect(&collect_, &QTimer::timeout, [this] {
    if (notices_) notices_->collect();
  });
}

WindowNotices::~WindowNotices() {
  if (notices_) run_.removeFollower(*notices_);
}

void WindowNotices::set(std::optional<notify::NotifySettings> settings,
                        std::function<void(const std::string&)> say) {
  if (notices_) run_.removeFollower(*notices_);
  notices_.reset();
  collect_.stop();
  if (!settings || settings->targets.empty() || !run_.recorder()) return;
  notices_ =
      std::make_unique<run::AfterRun>(std::move(*settings), *run_.recorder(), std::move(say));
  run_.addFollower(*notices_);
  collect_.start(1000);
}

}  // namespace kelvane::ui
