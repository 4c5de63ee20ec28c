// The window's page loads: WebBrowser1 made on first use, the page loader
// over it, the pauses that keep the window answering while a page loads or
// settles, the failed-load mark, and the page the last load brought (which
// the script workbench previews against).
#pragma once

#include <QObject>
#include <memory>
#include <optional>

#include "acquisition/page_loader.h"
#include "engine/engine.h"
#include "ui/run/lazy_browser.h"
#include "ui/run/run_view.h"

namespace kelvane::ui {

class RunController;

class PageLoads : public QObject, private acquisition::LoadHost {
  Q_OBJECT

 public:
  PageLoads(RunView& view, engine::Engine& engine, RunController& controller);
  ~PageLoads() override;

  // A load (or a wait for the browser) is going on.
  bool loading() const { return depth_ > 0; }
  bool browserBusy() const { return browser_.loading(); }
  // The page of the URL box into HT (the page button); one load at a time.
  void loadByHand();
  // A URL command's load of url; its record.
  acquisition::LoadRecord loadUrl(std::u16string_view url);
  // Waits while the browser is busy with a page the user opened.
  void waitWhileBusy();
  // HT as the last successful page load left it; empty before any load.
  const engine::Text& lastPage() const { return lastPage_; }
  void ensureBrowser() { browser_.ensure(); }
  bool browserCreated() const { return browser_.created(); }
  // Quitting: a pause in progress ends now, and nothing waits any more.
  void end();

 signals:
  void ending();

 private:
  // Counts a load in progress for as long as it lives.
  struct Scope {
    explicit Scope(int& depth) : depth_(depth) { ++depth_; }
    ~Scope() { --depth_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    int& depth_;
  };

  // acquisition::LoadHost
  void wait(int ms) override;
  bool abandoned() override { return ended_; }
  std::u16string waitValueText() override;
  acquisition::SettleMode settleMode() override;
  void loadStarting(std::u16string_view url) override;
  void loadFailed(std::u16string_view reason) override;
  void timedOut(std::u16string_view url) override;
  void loaded() override;
  // The window's browser keeps a lasting login (the Page tab's).
  bool loginInUse() override { return true; }
  // The failed-load mark: when, and why; no reason clears it.
  void showLoadFailure(const std::optional<QString>& reason);

  RunView& view_;
  engine::Engine& engine_;
  RunController& controller_;
  LazyBrowser browser_;
  acquisition::PageLoader loader_;
  engine::Text lastPage_;
  int depth_ = 0;
  bool ended_ = false;
};

}  // namespace kelvane::ui
