// Page loading: the Command3 button and the URL command send the browser to
// the URL box's address, wait until it is done and the page has settled, and
// copy the body markup into the page text HT. The loader only talks to the
// browser contract and to a few hooks, so the window, kelvane-run and the
// tests each supply their own event loop, clock and boxes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

// What the loader needs of its surroundings. pause, processEvents, the URL
// box and the wait value box must be given; the rest have defaults.
struct PageHooks {
  // A monotonic clock: the deadline is elapsed time, not wall-clock time.
  std::function<std::chrono::steady_clock::time_point()> now = [] {
    return std::chrono::steady_clock::now();
  };
  std::chrono::milliseconds deadline = kPageDeadline;
  // Blocks for about ms milliseconds; may keep the window painting.
  std::function<void(int ms)> pause;
  // One pass of the event loop.
  std::function<void()> processEvents;
  // Puts the window, the URL box and the page text on the screen now.
  std::function<void()> repaint = [] {};
  // The URL box (Text2).
  std::function<std::u16string()> urlText;
  std::function<void(std::u16string_view)> setUrlText;
  // The wait value box, read afresh on every settle pass.
  std::function<std::u16string()> waitValueText;
  // Told when a navigation failed (the window says nothing; kelvane-run
  // writes the reason) and when a wait gave up at the deadline.
  std::function<void(std::u16string_view reason)> loadFailed = [](std::u16string_view) {};
  std::function<void()> timedOut = [] {};
  // Told when a page came in whole (neither failed nor timed out).
  std::function<void()> loaded = [] {};
  // True once the program is ending: every wait ends at once, nothing more
  // is read from the browser and nothing is reported.
  std::function<bool()> abandoned = [] { return false; };
  // The settle wait's kind, read at the start of every load.
  std::function<SettleMode()> settleMode = [] { return SettleMode::Fixed; };
  // Told how long the settle wait lasted.
  std::function<void(const SettleReport&)> settled = [](const SettleReport&) {};
};

class PageLoader {
 public:
  // How a wait for the browser ended.
  enum class Wait { Done, TimedOut, Abandoned };

  PageLoader(engine::Engine& engine, Browser& browser, PageHooks hooks);

  // Loads the page of the URL box into HT, showing the loading notice in
  // the display meanwhile (the window's Command3_Click). A failed
  // navigation is not a page: HT is left empty and StopFlag is set.
  void loadByHand();
  // Waits while the browser is busy, at most until the deadline (the
  // window's WaitForPage). StopFlag is set unless the wait ended with the
  // load.
  Wait waitWhileBusy();
  // The URL command's worker (the window's OpenUrl): empties HT, repaints,
  // loads, and waits once more for a browser that is still busy.
  void loadForScript();
  // What a host's openUrl does: the URL into the URL box, then
  // loadForScript.
  void loadUrl(std::u16string_view url);

 private:
  Wait load();
  Wait waitUntil(std::chrono::steady_clock::time_point deadline);
  void settle(SettleMode mode);
  // Why the navigation failed, once the browser has finished with it.
  std::optional<std::u16string> failedLoad() const;

  engine::Engine& engine_;
  Browser& browser_;
  PageHooks hooks_;
  // The deadline of the load going on.
  std::chrono::steady_clock::time_point deadline_{};
};

}  // namespace kelvane::acquisition
