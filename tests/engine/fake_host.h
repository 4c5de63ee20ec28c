// A host that records what the engine asks of the window, for engine tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace kelvane::engine::testing {

class FakeHost : public Host {
 public:
  void showMessage(std::u16string_view text) override { messages.emplace_back(text); }
  void setTitle(std::u16string_view caption) override { titles.emplace_back(caption); }
  void openUrl(std::u16string_view url) override {
    urls.emplace_back(url);
    if (onOpenUrl) onOpenUrl(url);
  }
  void processEvents() override {
    ++eventPasses;
    if (onProcessEvents) onProcessEvents();
  }
  void selectLine(int index) override { selected.push_back(index); }
  void setTimerEnabled(bool on) override {
    timerOn = on;
    timerChanges.push_back(on);
  }
  std::u16string timeText() override { return time; }
  std::u16string dateText() override { return date; }

  std::vector<std::u16string> messages;
  std::vector<std::u16string> titles;
  std::vector<std::u16string> urls;
  std::vector<int> selected;
  std::vector<bool> timerChanges;
  bool timerOn = false;
  int eventPasses = 0;
  std::u16string time = u"9:05:07";
  std::u16string date = u"2003/06/14";
  std::function<void(std::u16string_view)> onOpenUrl;
  std::function<void()> onProcessEvents;
};

// Lines joined with CR LF, as a script file holds them.
inline std::u16string script(std::initializer_list<std::u16string_view> lines) {
  std::u16string text;
  for (auto line : lines) {
    text += line;
    text += u"\r\n";
  }
  return text;
}

// An engine and its fake host, with helpers to run a script over a page.
struct Bench {
  FakeHost host;
  Engine engine{host};

  RunOutcome run(std::initializer_list<std::u16string_view> lines) {
    return engine.runScriptText(script(lines));
  }
  std::u16string d() const { return std::u16string(engine.d().view()); }
  std::u16string ht() const { return std::u16string(engine.ht().view()); }
  std::u16string v(int n) const { return std::u16string(engine.var(n).view()); }
};

}  // namespace kelvane::engine::testing
