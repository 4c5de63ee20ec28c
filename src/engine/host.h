// What the engine needs of the world around it. The window, the headless
// runner and the test fakes each implement it.
#pragma once

#include <string>
#include <string_view>

namespace kelvane::engine {

class Host {
 public:
  virtual ~Host() = default;
  // A modal message with an OK button only and the application's title.
  virtual void showMessage(std::u16string_view text) = 0;
  // The TITLE destination: the window caption, leading blanks already gone.
  virtual void setTitle(std::u16string_view caption) = 0;
  // The URL command, after the engine has taken the operand as the URL text:
  // load the page, fill HT, and stop the run (Engine::stop) when it fails.
  virtual void openUrl(std::u16string_view url) = 0;
  // One pass of the event loop (every LOOPEND yields once).
  virtual void processEvents() = 0;
  // The script list follows the run.
  virtual void selectLine(int index) = 0;
  // The one-minute update timer.
  virtual void setTimerEnabled(bool on) = 0;
  // The current local time ("H:mm:ss") and date ("yyyy/MM/dd").
  virtual std::u16string timeText() = 0;
  virtual std::u16string dateText() = 0;
  // The script was (re)loaded at the start of a run.
  virtual void scriptLoaded() {}
  // A line is about to run / has run (for tracing and progress).
  virtual void lineStarting(int /*index*/) {}
  virtual void lineFinished(int /*index*/) {}
};

}  // namespace kelvane::engine
