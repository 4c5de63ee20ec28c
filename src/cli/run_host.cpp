#include "cli/run_host.h"

#include <chrono>

#include "acquisition/direct/cookie_file.h"
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
// finished when its load has started, and no script runs in a fetched page, so
// there is nothing to settle (the wait value is taken as 0). A failed load
// is written at once.
class DirectLoadHost final : public acquisition::LoadHost {
 public:
  DirectLoadHost(std::FILE* err, bool login) : err_(err), login_(login) {}
  void wait(int) override {}
  std::u16string waitValueText() override { return u"0"; }
  void loadFailed(std::u16string_view reason) override {
    writeMessage(err_, "cannot load URL: " + textfile::toUtf8(reason));
  }
  bool loginInUse() override { return login_; }

 private:
  std::FILE* err_;
  bool login_;
};

// A page the direct fetch has already brought, handed to the loader as if
// it were fetched now: the navigation asks nothing of the server again.
class FetchedPage final : public acquisition::Browser {
 public:
  explicit FetchedPage(acquisition::DirectBrowser& direct) : direct_(direct) {}
  void startLoading(std::u16string_view) override {}
  bool loading() const override { return false; }
  std::optional<std::u16string> loadError() const override { return direct_.loadError(); }
  std::optional<std::u16string> bodyHtml() override { return direct_.bodyHtml(); }
  acquisition::FetchMode fetchMode() const override { return acquisition::FetchMode::Direct; }
  void describeLoad(acquisition::LoadRecord& record) const override {
    direct_.describeLoad(record);
  }

 private:
  acquisition::DirectBrowser& direct_;
};

bool scriptAddress(std::u16string_view url) {
  while (!url.empty() && (url.front() == u' ' || url.front() == u'\t')) url.remove_prefix(1);
  constexpr std::u16string_view kScheme = u"javascript:";
  if (url.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    const char16_t c = url[i] >= u'A' && url[i] <= u'Z' ? url[i] - u'A' + u'a' : url[i];
    if (c != kScheme[i]) return false;
  }
  return true;
}

}  // namespace

void RunHost::showMessage(std::u16string_view text) {
  const std::string line = textfile::encodeUtf8(text);
  writeLine(err_, line);
  journal_->message(line);
}

// The page loader module is loaded on the first URL command only.
void RunHost::openUrl(std::u16string_view url) {
  acquisition::LoadRecord load;
  load.url = textfile::encodeUtf8(url);
  const auto start = std::chrono::steady_clock::now();
  const auto refused = acquisition::refusedPageAddress(*engine_, url);
  if (refused && fetch_ != acquisition::FetchMode::Browser) {
    // Refused before the direct fetch reads anything.
    load.fetch = acquisition::FetchMode::Direct;
    load.error = *refused;
    writeMessage(err_, "cannot load URL: " + *refused);
    engine_->ht().clear();
    engine_->stop();
  } else if (fetch_ == acquisition::FetchMode::Direct) {
    openUrlDirectly(url, &load);
  } else if (fetch_ == acquisition::FetchMode::Auto) {
    openUrlAuto(url, &load);
  } else {
    pages_.openUrl(*engine_, url, waitValue_, err_, &load);
  }
  load.loadMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
  if (load.error.empty() && engine_->interruptRequested()) load.error = "interrupted by a signal";
  journal_->load(std::move(load));
}

acquisition::DirectBrowser& RunHost::direct() {
  if (!direct_) {
    direct_ = std::make_unique<acquisition::DirectBrowser>();
    direct_->setStopCheck([] { return stopSignal() != 0; });
    if (!cookieFile_.empty()) {
      auto file = std::make_shared<acquisition::CookieFile>(cookieFile_);
      if (trace_)
        file->setTrace([this](const std::string& line) { writeLine(err_, "    " + line); });
      direct_->fetcher().setCookieFile(std::move(file));
    }
  }
  return *direct_;
}

// The same page loading as with the browser, over a fetch that has finished
// when it has started.
void RunHost::openUrlDirectly(std::u16string_view url, acquisition::LoadRecord* load) {
  direct().startLoading(url);
  readFetched(url, load);
}

void RunHost::readFetched(std::u16string_view url, acquisition::LoadRecord* load) {
  DirectLoadHost host(err_, !cookieFile_.empty());
  FetchedPage fetched(direct());
  acquisition::PageLoader loader(*engine_, fetched, host);
  loader.loadUrl(url);
  *load = loader.lastLoad();
  std::fflush(err_);
}

void RunHost::openUrlAuto(std::u16string_view url, acquisition::LoadRecord* load) {
  using Way = acquisition::FetchPlan::Way;
  acquisition::FetchPlan plan{Way::Browser, "a script address runs in the browser"};
  if (!scriptAddress(url)) plan = auto_.plan(load->url);
  std::optional<std::u16string> directHt;
  switch (plan.way) {
    case Way::Direct:
      openUrlDirectly(url, load);
      auto_.remembered(load->url);
      break;
    case Way::Browser:
      pages_.openUrl(*engine_, url, waitValue_, err_, load);
      break;
    case Way::Probe:
      directHt = probe(url, load);
      if (load->fetch == acquisition::FetchMode::Direct) {
        plan.why += load->error.empty() ? ": no scripts, direct from now on" : ": fetched directly";
      } else if (directHt) {
        plan.why += ": scripts, loaded both ways to compare the displays";
      } else {
        plan.why += ": the direct fetch failed, loaded through the browser";
      }
      break;
  }
  load->fetchWhy = std::move(plan.why);
  if (trace_) {
    writeLine(err_, "    fetch " + std::string(acquisition::fetchModeName(load->fetch)) + ": " +
                        load->fetchWhy);
  }
  if (load->error.empty()) auto_.loaded(load->url, engine_->ht().view(), std::move(directHt));
}

std::optional<std::u16string> RunHost::probe(std::u16string_view url,
                                             acquisition::LoadRecord* load) {
  direct().startLoading(url);
  if (stopSignal() != 0) {
    readFetched(url, load);  // the run ends: no browser is started for it
    return std::nullopt;
  }
  if (direct_->loadError()) {
    // The browser may reach what the fetch could not; no verdict is kept.
    pages_.openUrl(*engine_, url, waitValue_, err_, load);
    return std::nullopt;
  }
  acquisition::LoadRecord fetched;
  direct_->describeLoad(fetched);
  if (!fetched.mayRunScripts.value_or(true)) {
    readFetched(url, load);
    if (load->error.empty()) auto_.decideDirect(load->url, "no scripts");
    return std::nullopt;
  }
  std::optional<std::u16string> text = direct_->bodyHtml();
  pages_.openUrl(*engine_, url, waitValue_, err_, load);
  if (!text) text.emplace();
  return text;
}

void RunHost::endAutoRun(TextView scriptPath, bool normal, bool missed) {
  if (fetch_ != acquisition::FetchMode::Auto) return;
  // A stop signal ends the process at once: the comparison is not made.
  const std::string verdict =
      auto_.endRun(*engine_, scriptPath, normal && stopSignal() == 0, missed);
  if (trace_ && !verdict.empty()) writeLine(err_, "    fetch verdict: " + verdict);
}

void RunHost::beginRun() {
  if (fetch_ == acquisition::FetchMode::Auto) auto_.beginRun(*engine_);
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
  journal_->lineStarting();
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
