// Dialogs that answer with the choices a test queued, and the fake browser,
// for driving Form1 without real dialogs or a browser engine.
#pragma once

#include <QColor>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "platform/dialogs.h"
#include "support/fake_browser.h"

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
  bool confirm(QWidget*, const QString& question) override {
    questions.push_back(question);
    return false;
  }

  // Queued answers; an empty queue answers as a cancel would.
  std::deque<std::optional<QString>> files;
  std::deque<std::optional<platform::FontChoice>> fonts;
  std::deque<std::optional<QColor>> colors;

  std::vector<QString> fileDirs;
  std::vector<platform::FontChoice> fontPresets;
  std::vector<QColor> colorPresets;
  QStringList messages;
  QStringList questions;  // each answered No
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

}  // namespace kelvane::testing
