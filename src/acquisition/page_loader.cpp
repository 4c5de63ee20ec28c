#include "acquisition/page_loader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "acquisition/address.h"
#include "acquisition/login_check.h"
#include "engine/messages.h"
#include "language/language.h"
#include "numbers/decimal.h"
#include "textfile/text_codec.h"

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

// An address cut from a page goes to the web only: a page that could name
// a file here would have its text read into HT, and shown or sent on.
std::optional<std::string> refusedPageAddress(const engine::Engine& engine,
                                              std::u16string_view url) {
  if (!engine.urlFromPage()) return std::nullopt;
  const ResolvedAddress address = resolveAddress(url);
  if (address.url.empty() || isWebAddress(address.url)) return std::nullopt;
  return "the address comes from the page's text and is neither http: nor https:, so it is "
         "not loaded (" +
         address.url + ")";
}

PageLoader::PageLoader(engine::Engine& engine, Browser& browser, LoadHost& host,
                       std::chrono::milliseconds timeLimit)
    : engine_(engine), browser_(browser), host_(host), timeLimit_(timeLimit) {}

PageLoader::Wait PageLoader::waitWhileBusy() {
  return waitUntil(host_.now() + timeLimit_);
}

PageLoader::Wait PageLoader::waitUntil(std::chrono::steady_clock::time_point deadline) {
  while (!host_.abandoned() && host_.now() < deadline && browser_.loading())
    host_.wait(kBusyPollMs);
  if (host_.abandoned()) {
    engine_.stop();
    return Wait::Abandoned;
  }
  if (host_.now() >= deadline) {
    engine_.stop();
    return Wait::TimedOut;
  }
  return Wait::Done;
}

void PageLoader::settle(SettleMode mode) {
  if (mode == SettleMode::Auto) {
    const SettleReport report =
        settleUntilQuiet(browser_, host_, waitValueNumber(host_.waitValueText()));
    record_.settleMs = report.used.count();
    host_.settled(report);
    return;
  }
  const auto start = host_.now();
  const int64_t passes = settlePassCount(waitValueNumber(host_.waitValueText()));
  // A page that failed meanwhile (its process gone) is not waited for.
  for (int64_t pass = 0; pass < passes && !host_.abandoned() && !failedLoad(); ++pass) {
    host_.wait(settlePauseMs(waitValueNumber(host_.waitValueText())));
  }
  const auto used = std::chrono::duration_cast<std::chrono::milliseconds>(host_.now() - start);
  record_.settleMs = used.count();
  host_.settled({SettleMode::Fixed, used, used, false});
}

std::optional<std::u16string> PageLoader::failedLoad() const {
  return browser_.loading() ? std::nullopt : browser_.loadError();
}

PageLoader::Wait PageLoader::load(std::u16string_view url) {
  const engine::Text kept(engine_.d().view());
  engine_.d().assign(language::current() == language::Language::English ? kLoadingNoticeEnglish
                                                                        : kLoadingNotice);
  const SettleMode mode = host_.settleMode();
  if (mode == SettleMode::Auto) browser_.watchActivity();
  deadline_ = host_.now() + timeLimit_;
  browser_.startLoading(url);
  const Wait wait = waitUntil(deadline_);
  // A navigation that failed leaves the browser showing its own error page:
  // nothing there is worth settling or extracting from.
  if (wait != Wait::Abandoned && !failedLoad()) settle(mode);
  engine_.d().assign(kept);
  // A program that is ending reads nothing more from the browser.
  if (host_.abandoned()) {
    engine_.ht().clear();
    engine_.stop();
    return Wait::Abandoned;
  }
  // Asked again: the page may have sent the browser elsewhere meanwhile.
  if (const auto error = failedLoad()) {
    engine_.ht().clear();
    engine_.stop();
    if (!failForLogin(url, nullptr)) fail(*error);
    return wait;
  }
  const auto readUntil = std::max(deadline_, host_.now() + kBodyReadGrace);
  auto body = browser_.bodyHtmlUnless(
      [this, readUntil] { return host_.abandoned() || host_.now() >= readUntil; });
  if (host_.abandoned()) {
    engine_.ht().clear();
    engine_.stop();
    return Wait::Abandoned;
  }
  if (!body) {
    engine_.ht().clear();
    engine_.stop();
    if (wait == Wait::Done) fail(browser_.loadError().value_or(u"the page did not answer"));
  } else if (const std::u16string_view page(*body); failForLogin(url, &page)) {
    // The page is the login form: nothing in it is what is watched.
    engine_.ht().clear();
    engine_.stop();
    return wait;
  } else {
    engine_.ht().take(std::move(*body));
  }
  if (wait == Wait::TimedOut) {
    timeOut(url);
  } else if (body) {
    host_.loaded();
  }
  return wait;
}

void PageLoader::fail(std::u16string_view reason) {
  record_.error = textfile::toUtf8(reason);
  host_.loadFailed(reason);
}

bool PageLoader::failForLogin(std::u16string_view url, const std::u16string_view* body) {
  if (!host_.loginInUse()) return false;
  LoadRecord seen;
  browser_.describeLoad(seen);
  if (!loginNeeded(textfile::toUtf8(url), seen.finalUrl, seen.status, body)) return false;
  const std::string where = seen.finalUrl.empty() ? textfile::toUtf8(url) : seen.finalUrl;
  record_.loginNeeded = true;
  fail(engine::messages::loginNeeded() + u" (" + textfile::fromUtf8(where) + u")");
  return true;
}

void PageLoader::timeOut(std::u16string_view url) {
  record_.error = "the page did not finish loading in time";
  host_.timedOut(url);
}

void PageLoader::beginRecord(std::u16string_view url) {
  record_ = {};
  record_.url = textfile::toUtf8(url);
  record_.fetch = browser_.fetchMode();
}

void PageLoader::endRecord(std::chrono::steady_clock::time_point start) {
  // A program that is ending asks the browser nothing more.
  if (!host_.abandoned()) browser_.describeLoad(record_);
  record_.loadMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(host_.now() - start).count();
}

void PageLoader::loadByHand(std::u16string_view url) {
  const auto start = host_.now();
  beginRecord(url);
  load(url);
  endRecord(start);
}

void PageLoader::loadUrl(std::u16string_view url) {
  const auto start = host_.now();
  beginRecord(url);
  engine_.ht().clear();
  host_.loadStarting(url);
  if (const auto refused = refusedPageAddress(engine_, url)) {
    engine_.stop();
    fail(textfile::fromUtf8(*refused));
    return;
  }
  const Wait first = load(url);
  // A page that sent the browser on and keeps it busy past the deadline is
  // told as a time-out too, once. The deadline is the load's own: a page
  // that never finished waits no longer.
  if (first != Wait::Abandoned && waitUntil(deadline_) == Wait::TimedOut && first == Wait::Done) {
    timeOut(url);
  }
  endRecord(start);
}

}  // namespace kelvane::acquisition
