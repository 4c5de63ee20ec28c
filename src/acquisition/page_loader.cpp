#include "acquisition/page_loader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "language/language.h"
#include "numbers/decimal.h"

namespace kelvane::acquisition {

double waitValueNumber(std::u16string_view text) {
  return numbers::typedNumber(text).value_or(0);
}

int64_t settlePassCount(double waitValue) {
  if (!(waitValue >= 0)) return 0;
  const double bound = std::floor(10.0 * waitValue);
  // Beyond this the wait would last longer than any program runs.
  if (bound >= 1e15) return static_cast<int64_t>(1e15);
  return static_cast<int64_t>(bound) + 1;
}

int settlePauseMs(double waitValue) {
  const double ms = std::nearbyint(15.0 * waitValue);  // halves to even
  if (!(ms > 0)) return 0;
  return ms >= INT_MAX ? INT_MAX : static_cast<int>(ms);
}

PageLoader::PageLoader(engine::Engine& engine, Browser& browser, PageHooks hooks)
    : engine_(engine), browser_(browser), hooks_(std::move(hooks)) {}

PageLoader::Wait PageLoader::waitWhileBusy() {
  return waitUntil(hooks_.now() + hooks_.deadline);
}

PageLoader::Wait PageLoader::waitUntil(std::chrono::steady_clock::time_point deadline) {
  while (!hooks_.abandoned() && hooks_.now() < deadline && browser_.Busy()) {
    hooks_.pause(kBusyPollMs);
    hooks_.processEvents();
  }
  if (hooks_.abandoned()) {
    engine_.stop();
    return Wait::Abandoned;
  }
  if (hooks_.now() >= deadline) {
    engine_.stop();
    return Wait::TimedOut;
  }
  return Wait::Done;
}

void PageLoader::settle(SettleMode mode) {
  if (mode == SettleMode::Auto) {
    hooks_.settled(settleUntilQuiet(browser_, hooks_, waitValueNumber(hooks_.waitValueText())));
    return;
  }
  const auto start = hooks_.now();
  const int64_t passes = settlePassCount(waitValueNumber(hooks_.waitValueText()));
  // A page that failed meanwhile (its process gone) is not waited for.
  for (int64_t pass = 0; pass < passes && !hooks_.abandoned() && !failedLoad(); ++pass) {
    hooks_.pause(settlePauseMs(waitValueNumber(hooks_.waitValueText())));
    hooks_.processEvents();
  }
  const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(hooks_.now() - start);
  hooks_.settled({SettleMode::Fixed, used, used, false});
}

std::optional<std::u16string> PageLoader::failedLoad() const {
  return browser_.Busy() ? std::nullopt : browser_.loadError();
}

PageLoader::Wait PageLoader::load() {
  const engine::Text kept(engine_.d().view());
  engine_.d().assign(language::current() == language::Language::English ? kLoadingNoticeEnglish
                                                                        : kLoadingNotice);
  const SettleMode mode = hooks_.settleMode();
  if (mode == SettleMode::Auto) browser_.watchActivity();
  deadline_ = hooks_.now() + hooks_.deadline;
  browser_.Navigate(hooks_.urlText());
  const Wait wait = waitUntil(deadline_);
  // A navigation that failed leaves the browser showing its own error page:
  // nothing there is worth settling or extracting from.
  if (wait != Wait::Abandoned && !failedLoad()) settle(mode);
  engine_.d().assign(kept);
  // A program that is ending reads nothing more from the browser.
  if (hooks_.abandoned()) {
    engine_.ht().clear();
    engine_.stop();
    return Wait::Abandoned;
  }
  // Asked again: the page may have sent the browser elsewhere meanwhile.
  if (const auto error = failedLoad()) {
    engine_.ht().clear();
    engine_.stop();
    hooks_.loadFailed(*error);
    return wait;
  }
  const auto readUntil = std::max(deadline_, hooks_.now() + kBodyReadGrace);
  auto body = browser_.bodyHtmlUnless(
      [this, readUntil] { return hooks_.abandoned() || hooks_.now() >= readUntil; });
  if (hooks_.abandoned()) {
    engine_.ht().clear();
    engine_.stop();
    return Wait::Abandoned;
  }
  if (!body) {
    engine_.ht().clear();
    engine_.stop();
    if (wait == Wait::Done) {
      hooks_.loadFailed(browser_.loadError().value_or(u"the page did not answer"));
    }
  } else {
    engine_.ht().assign(*body);
  }
  if (wait == Wait::TimedOut) {
    hooks_.timedOut();
  } else if (body) {
    hooks_.loaded();
  }
  return wait;
}

void PageLoader::loadByHand() {
  load();
}

void PageLoader::loadForScript() {
  engine_.ht().clear();
  hooks_.repaint();
  const Wait first = load();
  // A page that sent the browser on and keeps it busy past the deadline is
  // told as a time-out too, once. The deadline is the load's own: a page
  // that never finished waits no longer.
  if (first != Wait::Abandoned && waitUntil(deadline_) == Wait::TimedOut && first == Wait::Done) {
    hooks_.timedOut();
  }
}

void PageLoader::loadUrl(std::u16string_view url) {
  hooks_.setUrlText(url);
  loadForScript();
}

}  // namespace kelvane::acquisition
