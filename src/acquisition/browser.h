// The embedded browser as page loading sees it: start a navigation, ask
// whether it is still going, and read the body markup of the page shown.
// The window and kelvane-run use the Qt WebEngine adapter of platform/;
// tests use fakes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::acquisition {

class Browser {
 public:
  virtual ~Browser() = default;
  // Starts loading the address as the user typed it and returns at once.
  virtual void Navigate(std::u16string_view url) = 0;
  // True from the start of a navigation until it has finished.
  virtual bool Busy() const = 0;
  // Why the last navigation did not bring a page (connection refused,
  // unknown host, an address that cannot be parsed, an HTTP error status);
  // nothing while it is still going or when the page loaded.
  virtual std::optional<std::u16string> loadError() const = 0;
  // The markup inside the body element of the page now shown, as the browser
  // writes it; empty when there is no document or no body. Nothing when the
  // page did not answer at all.
  virtual std::optional<std::u16string> bodyHtml() = 0;
};

}  // namespace kelvane::acquisition
