// WebBrowser1 as page loading sees it, created only when it is first needed
// (the "Page" page shown for the first time, or the first page load), so the
// window appears without waiting for the browser engine.
#pragma once

#include <functional>
#include <memory>

#include "acquisition/browser.h"

namespace kelvane::ui {

class LazyBrowser final : public acquisition::Browser {
 public:
  using Factory = std::function<std::unique_ptr<acquisition::Browser>()>;
  explicit LazyBrowser(Factory create) : create_(std::move(create)) {}

  // The real browser, made now if it does not exist yet.
  acquisition::Browser& ensure() {
    if (!real_) real_ = create_();
    return *real_;
  }
  bool created() const { return real_ != nullptr; }

  void startLoading(std::u16string_view url) override { ensure().startLoading(url); }
  // A browser that does not exist yet is not loading anything.
  bool loading() const override { return real_ && real_->loading(); }
  std::optional<std::u16string> loadError() const override {
    return real_ ? real_->loadError() : std::nullopt;
  }
  std::optional<std::u16string> bodyHtml() override {
    return real_ ? real_->bodyHtml() : std::optional<std::u16string>(std::u16string());
  }
  std::optional<std::u16string> bodyHtmlUnless(const std::function<bool()>& giveUp) override {
    return real_ ? real_->bodyHtmlUnless(giveUp) : std::optional<std::u16string>(std::u16string());
  }
  void watchActivity() override { ensure().watchActivity(); }
  std::optional<acquisition::PageActivity> activity() override {
    return real_ ? real_->activity() : std::nullopt;
  }
  void describeLoad(acquisition::LoadRecord& record) const override {
    if (real_) real_->describeLoad(record);
  }

 private:
  Factory create_;
  std::unique_ptr<acquisition::Browser> real_;
};

}  // namespace kelvane::ui
