#include "cli/auto_fetch.h"

#include "engine/buffer_names.h"
#include "engine/clock_text.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using acquisition::FetchPlan;
using acquisition::FetchVerdict;
using acquisition::RememberedFetch;

namespace {

// The engine's host for the run apart: each URL command reads the next page
// the run loaded, and nothing is shown anywhere.
class ReplayHost final : public engine::Host {
 public:
  ReplayHost(const std::vector<std::string>& urls, const std::vector<const std::u16string*>& pages)
      : urls_(urls), pages_(pages) {}
  void attach(engine::Engine* engine) { engine_ = engine; }
  bool diverged() const { return diverged_; }

  void showMessage(std::u16string_view) override {}
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view url) override {
    if (next_ >= urls_.size() || urls_[next_] != textfile::encodeUtf8(url)) {
      diverged_ = true;
      engine_->stop();
      return;
    }
    engine_->ht().assign(*pages_[next_++]);
  }
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return engine::formatTime(engine::localNow()); }
  std::u16string dateText() override { return engine::formatDate(engine::localNow()); }

 private:
  const std::vector<std::string>& urls_;
  const std::vector<const std::u16string*>& pages_;
  engine::Engine* engine_ = nullptr;
  size_t next_ = 0;
  bool diverged_ = false;
};

}  // namespace

std::optional<engine::Text> displayOver(engine::TextView scriptPath,
                                        const std::vector<engine::Text>& startBuffers,
                                        engine::TextView startTitle,
                                        const std::vector<std::string>& urls,
                                        const std::vector<const std::u16string*>& pages) {
  ReplayHost host(urls, pages);
  engine::Engine apart(host);
  host.attach(&apart);
  for (size_t k = 0; k < startBuffers.size(); ++k) {
    apart.buffer(engine::kBufferNames[k].id).assign(startBuffers[k]);
  }
  apart.title().assign(startTitle);
  const engine::RunOutcome outcome = apart.run(scriptPath);
  if (outcome != engine::RunOutcome::Normal || host.diverged()) return std::nullopt;
  return engine::Text(apart.d().view());
}

void AutoFetch::beginRun(const engine::Engine& engine) {
  pages_.clear();
  directByVerdict_.clear();
  startBuffers_.clear();
  for (size_t k = 0; k < engine::kStoredBufferCount; ++k) {
    startBuffers_.emplace_back(engine.buffer(engine::kBufferNames[k].id).view());
  }
  startTitle_.assign(engine.title().view());
}

FetchPlan AutoFetch::plan(const std::string& url) {
  std::optional<RememberedFetch> remembered = memory_->recall(url);
  FetchPlan plan = acquisition::planFetch(remembered);
  if (plan.way != FetchPlan::Way::Probe) {
    ++remembered->runsSinceCheck;
    memory_->remember(url, *remembered);
  }
  return plan;
}

void AutoFetch::loaded(const std::string& url, engine::TextView ht,
                       std::optional<std::u16string> directHt) {
  pages_.push_back({url, std::u16string(ht), std::move(directHt)});
}

void AutoFetch::decideDirect(const std::string& url, const std::string& why) {
  memory_->remember(url, {FetchVerdict::Direct, why, 0, false});
}

std::string AutoFetch::endRun(const engine::Engine& engine, engine::TextView scriptPath,
                              bool normal, bool missed) {
  std::string told;
  if (missed) {
    for (const std::string& url : directByVerdict_) {
      if (auto remembered = memory_->recall(url)) {
        remembered->recheck = true;
        memory_->remember(url, *remembered);
      }
    }
  }
  bool trial = false;
  for (const Page& page : pages_) trial |= page.directHt.has_value();
  if (normal && trial) {
    std::vector<std::string> urls;
    std::vector<const std::u16string*> texts;
    for (const Page& page : pages_) {
      urls.push_back(page.url);
      texts.push_back(page.directHt ? &*page.directHt : &page.ht);
    }
    const auto display = displayOver(scriptPath, startBuffers_, startTitle_, urls, texts);
    const bool same = display && *display == engine.d().view();
    const RememberedFetch verdict =
        same ? RememberedFetch{FetchVerdict::Direct, "the same display both ways", 0, false}
             : RememberedFetch{FetchVerdict::Browser, "the display differs without the browser", 0,
                               false};
    for (const Page& page : pages_) {
      if (page.directHt) memory_->remember(page.url, verdict);
    }
    told = std::string(acquisition::fetchVerdictName(verdict.verdict)) + " from now on (" +
           verdict.why + ")";
  }
  pages_.clear();
  startBuffers_.clear();
  return told;
}

}  // namespace kelvane::cli
