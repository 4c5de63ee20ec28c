// The engine's host in kelvane-run: messages go to standard error, URL
// commands to the page loader module (or to the direct fetch, which needs no
// browser), and --trace follows every line.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/direct/direct_browser.h"
#include "cli/auto_fetch.h"
#include "cli/page_loader_client.h"
#include "engine/engine.h"
#include "run/run_journal.h"

namespace kelvane::cli {

// The caption before a script writes TITLE, as the window shows it.
inline constexpr engine::TextView kProgramTitle = u"Kelvane";

class RunHost : public engine::Host {
 public:
  RunHost(std::FILE* err, bool trace,
          acquisition::FetchMode fetch = acquisition::FetchMode::Browser)
      : err_(err), trace_(trace), fetch_(fetch) {
    pages_.setTrace(trace);
  }
  void setFetch(acquisition::FetchMode fetch) { fetch_ = fetch; }
  // The engine it hosts, and the journal its runs are told in.
  void attach(engine::Engine* engine, run::RunJournal* journal) {
    engine_ = engine;
    journal_ = journal;
  }
  void setWaitValue(engine::Text wait) { waitValue_ = std::move(wait); }
  void setSettleMode(acquisition::SettleMode mode) { pages_.setSettleMode(mode); }
  // The cookie file the direct fetch sends and keeps cookies in.
  void setCookieFile(std::string path) {
    pages_.setCookieFile(path);
    cookieFile_ = std::move(path);
  }

  void showMessage(std::u16string_view text) override;
  void setTitle(std::u16string_view) override { journal_->titleSet(); }
  void openUrl(std::u16string_view url) override;
  // A run has ended: the browser lets go of the page it holds.
  void runEnded() { pages_.runEnded(); }
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override;
  std::u16string dateText() override;
  void lineStarting(int index) override;
  void lineFinished(int index) override;

  // With --fetch auto, where the verdicts on pages are kept.
  void setFetchMemory(std::unique_ptr<acquisition::FetchMemory> memory) {
    auto_.setMemory(std::move(memory));
  }
  // With --fetch auto, after a run: the verdict on the pages it loaded both
  // ways (normal: it ended normally; missed: a marker search found nothing).
  void endAutoRun(engine::TextView scriptPath, bool normal, bool missed);
  // A run begins (with --fetch auto, the buffers it starts from are kept).
  void beginRun();

 private:
  static constexpr size_t kTraced = engine::kStoredBufferCount;
  std::array<uint64_t, kTraced> versions() const;

  void openUrlDirectly(std::u16string_view url, acquisition::LoadRecord* load);
  // The page already fetched by direct_ read into HT.
  void readFetched(std::u16string_view url, acquisition::LoadRecord* load);
  acquisition::DirectBrowser& direct();
  void openUrlAuto(std::u16string_view url, acquisition::LoadRecord* load);
  // Fetched directly first: a page without scripts is read, one with
  // scripts is loaded through the browser too; the text fetched directly.
  std::optional<std::u16string> probe(std::u16string_view url, acquisition::LoadRecord* load);

  std::FILE* err_;
  bool trace_;
  acquisition::FetchMode fetch_;
  std::unique_ptr<acquisition::DirectBrowser> direct_;
  std::string cookieFile_;
  AutoFetch auto_;
  engine::Engine* engine_ = nullptr;
  PageLoaderClient pages_;
  engine::Text waitValue_ = u"8";
  std::array<uint64_t, kTraced> before_{};
  run::RunJournal* journal_ = nullptr;
};

}  // namespace kelvane::cli
