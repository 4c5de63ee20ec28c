// The embedded browser as page loading sees it: start a load, ask whether
// it is still going, and read the body markup of the page shown.
// The window and kelvane-run use the Qt WebEngine adapter of platform/;
// tests use fakes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/load_record.h"

namespace kelvane::acquisition {

// How calm the page shown has been, for the settle wait that ends once the
// page has settled.
struct PageActivity {
  // How long neither the document has changed nor any request the page
  // made has been in flight.
  std::chrono::milliseconds quietFor{0};
  // The document runs scripts of its own.
  bool scripted = false;
};

class Browser {
 public:
  virtual ~Browser() = default;
  // Starts loading the address as the user typed it and returns at once.
  virtual void startLoading(std::u16string_view url) = 0;
  // True from the start of a load until it has finished.
  virtual bool loading() const = 0;
  // Why the last navigation did not bring a page (connection refused,
  // unknown host, an address that cannot be parsed, an HTTP error status);
  // nothing while it is still going or when the page loaded.
  virtual std::optional<std::u16string> loadError() const = 0;
  // The markup inside the body element of the page now shown, as the browser
  // writes it; empty when there is no document or no body. Nothing when the
  // page did not answer at all.
  virtual std::optional<std::u16string> bodyHtml() = 0;
  // The same, giving up with nothing read as soon as giveUp is true: a page
  // whose scripts keep it busy answers late or never.
  virtual std::optional<std::u16string> bodyHtmlUnless(const std::function<bool()>& giveUp) {
    static_cast<void>(giveUp);
    return bodyHtml();
  }
  // From the next navigation on, follow the document's changes and the
  // page's requests, for activity().
  virtual void watchActivity() {}
  // What the browser has seen of the page shown since watchActivity();
  // nothing when it cannot tell, and then the settle wait runs to its cap.
  virtual std::optional<PageActivity> activity() { return std::nullopt; }
  // How this browser fetches its pages.
  virtual FetchMode fetchMode() const { return FetchMode::Browser; }
  // Adds to record what is known of the last load once it has finished:
  // the final address, the HTTP status, the charset, the bytes.
  virtual void describeLoad(LoadRecord& record) const { static_cast<void>(record); }
};

}  // namespace kelvane::acquisition
