// Page loading: the Command3 button and the URL command send the browser to
// an address, wait until it is done and the page has settled, and copy the
// body markup into the page text HT. The loader only talks to the browser
// contract and to its host, so the window, kelvane-run and the tests each
// supply their own event loop, clock and settings.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/browser.h"
#include "acquisition/settle.h"
#include "engine/engine.h"

namespace kelvane::acquisition {

// Shown in the display while a page loads.
inline constexpr std::u16string_view kLoadingNotice =
    u" ★★データ更新中★★\r\n　しばらくお待ちください．";
inline constexpr std::u16string_view kLoadingNoticeEnglish =
    u" ★★Updating the data★★\r\n　Please wait.";

// How long a load lasts at most, from the navigation's start to the end of
// the wait for a busy browser; the settle wait comes on top.
inline constexpr std::chrono::milliseconds kPageDeadline{90'000};
// How long reading the body may take at least, even past the deadline: the
// page shown by then is read (a page that never finished shows its part).
inline constexpr std::chrono::milliseconds kBodyReadGrace{5'000};
// The pause between two looks at a busy browser.
inline constexpr int kBusyPollMs = 20;

// The wait value box read as one number: blanks around it are allowed,
// full-width digits, sign and point count as their ASCII forms; any other
// text (an empty box, "8s", "abc") counts as 0.
double waitValueNumber(std::u16string_view text);
// Settle passes for a wait value: the whole part of 10 x W plus one, none
// when W is negative.
int64_t settlePassCount(double waitValue);
// The pause of one settle pass: 15 x W ms to the nearest whole number,
// halves to even; never negative.
int settlePauseMs(double waitValue);

// What the loader needs of its surroundings: a clock and pauses, the two
// settle settings it reads, and what it tells of each load. The window's run
// controller, kelvane-run's page loader module and its direct fetch, and the
// tests each implement it; the loader keeps no box of its own.
class LoadHost {
 public:
  virtual ~LoadHost() = default;

  // A monotonic clock: the deadline is elapsed time, not wall-clock time.
  virtual std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
  // Blocks for about ms milliseconds (the window keeps painting), then lets
  // the event loop process pending events once.
  virtual void wait(int ms) = 0;
  // True once the program is ending: every wait ends at once, nothing more
  // is read from the browser and nothing is reported.
  virtual bool abandoned() { return false; }

  // The wait value box, read afresh on every settle pass.
  virtual std::u16string waitValueText() = 0;
  // The settle wait's kind, read at the start of every load.
  virtual SettleMode settleMode() { return SettleMode::Fixed; }

  // A URL command's load of url begins: the window shows url in its URL box
  // and puts it and the emptied page text on the screen before the load
  // blocks. A load by hand goes to what the URL box shows already.
  virtual void loadStarting(std::u16string_view url) { static_cast<void>(url); }
  // A navigation failed (the window marks it; kelvane-run writes the reason).
  virtual void loadFailed(std::u16string_view reason) { static_cast<void>(reason); }
  // A wait for the page of url gave up at the deadline.
  virtual void timedOut(std::u16string_view url) { static_cast<void>(url); }
  // A page came in whole (neither failed nor timed out).
  virtual void loaded() {}
  // How long the settle wait lasted.
  virtual void settled(const SettleReport& report) { static_cast<void>(report); }
  // A login is in use (a cookie file, the window's lasting profile): a load
  // that asks for one fails as ログインが必要です (login_check.h).
  virtual bool loginInUse() { return false; }
};

// Why the URL command's address url may not be loaded: it came from a
// page's text (Engine::urlFromPage) and is neither an http: nor an https:
// one. Nothing when it may be loaded.
std::optional<std::string> refusedPageAddress(const engine::Engine& engine,
                                              std::u16string_view url);

class PageLoader {
 public:
  // How a wait for the browser ended.
  enum class Wait { Done, TimedOut, Abandoned };

  // timeLimit: how long a load lasts at most (tests shorten it).
  PageLoader(engine::Engine& engine, Browser& browser, LoadHost& host,
             std::chrono::milliseconds timeLimit = kPageDeadline);

  // Loads the page of url into HT, showing the loading notice in the
  // display meanwhile (the window's Command3_Click, with the URL box's
  // text). A failed navigation is not a page: HT is left empty and StopFlag
  // is set.
  void loadByHand(std::u16string_view url);
  // Waits while the browser is busy, at most until the deadline (the
  // window's WaitForPage). StopFlag is set unless the wait ended with the
  // load.
  Wait waitWhileBusy();
  // The URL command's worker (the window's OpenUrl): empties HT, tells the
  // host which URL it loads, loads it, and waits once more for a browser
  // that is still busy.
  void loadUrl(std::u16string_view url);
  // The record of the last load (by hand or by a URL command).
  const LoadRecord& lastLoad() const { return record_; }

 private:
  Wait load(std::u16string_view url);
  Wait waitUntil(std::chrono::steady_clock::time_point deadline);
  void settle(SettleMode mode);
  // Why the navigation failed, once the browser has finished with it.
  std::optional<std::u16string> failedLoad() const;
  // Starts the record of a load of url.
  void beginRecord(std::u16string_view url);
  void endRecord(std::chrono::steady_clock::time_point start);
  void fail(std::u16string_view reason);
  // With a login in use, when the load of url (which brought body, or
  // failed) ran into a login: fails it as such and says true.
  bool failForLogin(std::u16string_view url, const std::u16string_view* body);
  void timeOut(std::u16string_view url);

  engine::Engine& engine_;
  Browser& browser_;
  LoadHost& host_;
  const std::chrono::milliseconds timeLimit_;
  // The deadline of the load going on.
  std::chrono::steady_clock::time_point deadline_{};
  LoadRecord record_;
};

}  // namespace kelvane::acquisition
