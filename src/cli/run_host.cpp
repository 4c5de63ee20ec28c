#include "cli/run_host.h"

#include <chrono>

#include "acquisition/page_loader.h"
#include "cli/output.h"
#include "cli/stop_signals.h"
#include "engine/clock_text.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::BufferName;
using engine::kBufferNames;
using engine::TextView;

namespace {

// The direct fetch's surroundings: nothing to wait for, since the fetch has
// finished when Navigate returns, and no script runs in a fetched page, so
// there is nothing to settle (the wait value is taken as 0). A failed load
// is written at once and kept for the run's record.
class DirectLoadHost final : public acquisition::LoadHost {
 public:
  DirectLoadHost(std::FILE* err, LoadReport* load) : err_(err), load_(load) {}
  void wait(int) override {}
  std::u16string waitValueText() override { return u"0"; }
  void loadFailed(std::u16string_view reason) override {
    load_->error = textfile::toUtf8(reason);
    writeMessage(err_, "cannot load URL: " + load_->error);
  }

 private:
  std::FILE* err_;
  LoadReport* load_;
};

}  // namespace

void RunHost::showMessage(std::u16string_view text) {
  std::string line = textfile::encodeUtf8(text);
  writeLine(err_, line);
  if (firstMessage_.empty()) firstMessage_ = std::move(line);
}

// The page loader module is loaded on the first URL command only.
void RunHost::openUrl(std::u16string_view url) {
  LoadReport load;
  load.url = textfile::encodeUtf8(url);
  const auto start = std::chrono::steady_clock::now();
  if (fetch_ == acquisition::FetchMode::Direct) {
    openUrlDirectly(url, &load);
  } else {
    pages_.openUrl(*engine_, url, waitValue_, err_, &load);
  }
  load.loadMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
  if (load.error.empty() && engine_->interruptRequested()) load.error = "interrupted by a signal";
  if (!load.error.empty() && firstMessage_.empty()) firstMessage_ = load.error;
  loads_.push_back(std::move(load));
}

// The same page loading as with the browser, over a fetch that has finished
// when Navigate returns.
void RunHost::openUrlDirectly(std::u16string_view url, LoadReport* load) {
  if (!direct_) {
    direct_ = std::make_unique<acquisition::DirectBrowser>();
    direct_->setStopCheck([] { return stopSignal() != 0; });
  }
  load->fetch = acquisition::FetchMode::Direct;
  DirectLoadHost host(err_, load);
  acquisition::PageLoader loader(*engine_, *direct_, host);
  loader.loadUrl(url);
  const acquisition::LoadFacts facts = direct_->loadFacts();
  if (facts.status != 0) load->status = facts.status;
  load->finalUrl = facts.finalUrl;
  load->bytes = facts.bytes;
  load->charset = facts.charset;
  load->settleMs = 0;
  std::fflush(err_);
}

void RunHost::beginRun() {
  loads_.clear();
  linesRun_ = 0;
  firstMessage_.clear();
}

std::u16string RunHost::timeText() {
  return engine::formatTime(engine::localNow());
}

std::u16string RunHost::dateText() {
  return engine::formatDate(engine::localNow());
}

std::array<uint64_t, RunHost::kTraced> RunHost::versions() const {
  std::array<uint64_t, kTraced> v{};
  for (size_t k = 0; k < kTraced; ++k) v[k] = engine_->buffer(kBufferNames[k].id).version();
  return v;
}

void RunHost::lineStarting(int index) {
  ++linesRun_;
  if (!trace_) return;
  const auto& lines = engine_->scriptLines();
  const TextView line =
      static_cast<size_t>(index) < lines.size() ? TextView(lines[index]) : TextView{};
  writeLine(err_, "[" + std::to_string(index) + "] " + escaped(line));
  before_ = versions();
}

void RunHost::lineFinished(int) {
  if (!trace_) return;
  const auto after = versions();
  for (size_t k = 0; k < kTraced; ++k) {
    if (after[k] == before_[k]) continue;
    const TextView text = engine_->buffer(kBufferNames[k].id).view();
    writeLine(err_, "    " + textfile::toUtf8(kBufferNames[k].name) + " (" +
                        std::to_string(text.size()) + ") \"" + escaped(text.substr(0, 60)) +
                        (text.size() > 60 ? "\"..." : "\""));
  }
}

}  // namespace kelvane::cli
