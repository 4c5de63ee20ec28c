// A browser that serves pages from a table, for page loading and the window
// without a browser engine. A page finishes its navigation after a number of
// event passes (at once when 0, never when negative) and then shows its body
// or its error.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/browser.h"

namespace kelvane::testing {

class FakeBrowser : public acquisition::Browser {
 public:
  struct Page {
    std::optional<std::u16string> body;
    std::optional<std::u16string> error;
    int passes = 0;
  };

  FakeBrowser() = default;
  // Pages that load at once, by address.
  explicit FakeBrowser(const std::map<std::u16string, std::u16string>& bodies) {
    for (const auto& [url, body] : bodies) pages[url] = {body, std::nullopt, 0};
  }

  void startLoading(std::u16string_view url) override {
    navigations.emplace_back(url);
    calls.emplace_back(url);
    const auto it = pages.find(std::u16string(url));
    current = it == pages.end() ? Page{std::nullopt, u"no such page", 0} : it->second;
    passesLeft = url == hangingUrl ? -1 : current.passes;
  }
  void describeLoad(acquisition::LoadRecord& record) const override {
    if (passesLeft != 0) return;
    record.finalUrl = facts.finalUrl;
    record.status = facts.status;
    record.charset = facts.charset;
  }
  bool loading() const override {
    ++busyPolls;
    return passesLeft != 0;
  }
  std::optional<std::u16string> loadError() const override {
    return passesLeft != 0 ? std::nullopt : current.error;
  }
  std::optional<std::u16string> bodyHtml() override {
    ++bodyReads;
    return current.body;
  }
  void watchActivity() override {
    ++activityWatches;
    calls.emplace_back(u"(watch)");
  }
  // A page nobody describes is always quiet.
  std::optional<acquisition::PageActivity> activity() override {
    if (activityNow) return activityNow();
    return acquisition::PageActivity{std::chrono::hours(1), false};
  }

  // One pass of the event loop.
  void pass() {
    if (passesLeft > 0) --passesLeft;
  }

  std::map<std::u16string, Page> pages;
  // A navigation to this address never finishes, as a server that never
  // answers.
  std::u16string hangingUrl;
  std::function<std::optional<acquisition::PageActivity>()> activityNow;
  // What every finished load tells of itself.
  acquisition::LoadRecord facts;

  std::vector<std::u16string> navigations;
  std::vector<std::u16string> calls;  // navigations and "(watch)", in order
  int activityWatches = 0;
  mutable int busyPolls = 0;
  int bodyReads = 0;
  Page current{u"", std::nullopt, 0};
  int passesLeft = 0;
};

}  // namespace kelvane::testing
