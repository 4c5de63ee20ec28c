// Dialogs that answer with the choices a test queued, and a browser that
// serves pages from a table, for driving Form1 without real dialogs or a
// browser engine.
#pragma once

#include <QColor>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "acquisition/browser.h"
#include "platform/dialogs.h"

namespace kelvane::testing {

class FakeDialogs : public platform::Dialogs {
 public:
  std::optional<QString> chooseOpenFile(QWidget*, const QString& initialDir) override {
    fileDirs.push_back(initialDir);
    return next(files);
  }
  std::optional<platform::FontChoice> chooseFont(QWidget*,
                                                 const platform::FontChoice& preset) override {
    fontPresets.push_back(preset);
    return next(fonts);
  }
  std::optional<QColor> chooseColor(QWidget*, const QColor& preset) override {
    colorPresets.push_back(preset);
    return next(colors);
  }
  void showMessage(QWidget*, const QString& text) override {
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }

  // Queued answers; an empty queue answers as a cancel would.
  std::deque<std::optional<QString>> files;
  std::deque<std::optional<platform::FontChoice>> fonts;
  std::deque<std::optional<QColor>> colors;

  std::vector<QString> fileDirs;
  std::vector<platform::FontChoice> fontPresets;
  std::vector<QColor> colorPresets;
  QStringList messages;
  std::function<void(const QString&)> onMessage;

 private:
  template <typename T>
  static std::optional<T> next(std::deque<std::optional<T>>& queue) {
    std::optional<T> answer;
    if (!queue.empty()) {
      answer.swap(queue.front());
      queue.pop_front();
    }
    return answer;
  }
};

class FakeBrowser : public acquisition::Browser {
 public:
  explicit FakeBrowser(std::map<std::u16string, std::u16string> pages) : pages_(std::move(pages)) {}
  void Navigate(std::u16string_view url) override {
    navigations.emplace_back(url);
    current_ = std::u16string(url);
  }
  // A page at hangingUrl never finishes, as a server that never answers.
  bool Busy() const override {
    ++busyPolls;
    return !hangingUrl.empty() && current_ == hangingUrl;
  }
  std::optional<std::u16string> loadError() const override {
    if (current_.empty() || pages_.count(current_)) return std::nullopt;
    return u"no such page";
  }
  std::optional<std::u16string> bodyHtml() override {
    ++bodyReads;
    const auto it = pages_.find(current_);
    if (it == pages_.end()) return std::nullopt;
    return it->second;
  }

  // The settle wait that ends once the page has settled asks for the
  // page's activity; this page is always quiet.
  void watchActivity() override { ++activityWatches; }
  std::optional<acquisition::PageActivity> activity() override {
    return acquisition::PageActivity{std::chrono::hours(1), false};
  }

  std::vector<std::u16string> navigations;
  int activityWatches = 0;
  std::u16string hangingUrl;
  mutable int busyPolls = 0;
  int bodyReads = 0;

 private:
  std::map<std::u16string, std::u16string> pages_;
  std::u16string current_;
};

}  // namespace kelvane::testing
