// The browser contract without a browser, for pages that need no scripts:
// startLoading fetches the page over HTTP and reads its body markup as the
// browser would write it, all before it returns, so the "browser" is never
// busy afterwards and nothing in the page can change while it settles.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "acquisition/browser.h"
#include "acquisition/direct/http_fetch.h"
#include "acquisition/direct/refresh.h"

namespace kelvane::acquisition {

class DirectBrowser : public Browser {
 public:
  explicit DirectBrowser(FetchLimits limits = {}) : fetcher_(limits), limits_(limits) {}

  void startLoading(std::u16string_view url) override;
  bool loading() const override { return false; }
  std::optional<std::u16string> loadError() const override { return error_; }
  std::optional<std::u16string> bodyHtml() override;

  // Asked ten times a second while a page is fetched and read; true ends
  // the load as a failed one.
  void setStopCheck(std::function<bool()> stopRequested) {
    fetcher_.setStopCheck(stopRequested);
    stopRequested_ = std::move(stopRequested);
  }

  FetchMode fetchMode() const override { return FetchMode::Direct; }
  void describeLoad(LoadRecord& record) const override;

  // The HTTP client, for its cookies.
  HttpFetcher& fetcher() { return fetcher_; }

 private:
  // Reads a fetched page into the body (or the error) and the facts; the
  // refresh it asks for, if any.
  std::optional<Refresh> read(FetchResult& page, std::chrono::milliseconds left);
  void fail(const std::string& reason);

  HttpFetcher fetcher_;
  FetchLimits limits_;
  std::function<bool()> stopRequested_;
  std::optional<std::u16string> error_;
  std::u16string body_;
  // The final address, status, charset and bytes of the last load, and
  // whether the page may run a script that changes it.
  LoadRecord facts_;
  // The <base href> of the page read last (empty without one).
  std::string baseHref_;
};

}  // namespace kelvane::acquisition
