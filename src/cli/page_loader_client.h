// kelvane-run's way to page loading. The browser lives in a module that is
// loaded on the first URL command, so a script without one starts as fast
// as a program without Qt.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/load_record.h"
#include "engine/engine.h"
#include "pageloader/module.h"

namespace kelvane::cli {

class PageLoaderClient {
 public:
  PageLoaderClient() = default;
  PageLoaderClient(const PageLoaderClient&) = delete;
  PageLoaderClient& operator=(const PageLoaderClient&) = delete;
  // Shuts the browser down when one was started.
  ~PageLoaderClient();

  // Loads url into HT as the URL command does, with waitValue as the
  // settle wait. Failures are written to err, one line each, and stop the
  // run; the loader's record of the load goes into *load.
  void openUrl(engine::Engine& engine, std::u16string_view url, std::u16string_view waitValue,
               std::FILE* err, acquisition::LoadRecord* load);

  void setSettleMode(acquisition::SettleMode mode) { settleMode_ = mode; }
  // The browser takes its cookies from this file and keeps them there.
  void setCookieFile(std::string path) { cookieFile_ = std::move(path); }
  // Writes how long each settle wait lasted to err.
  void setTrace(bool on) { trace_ = on; }

  // A run has ended: the browser lets go of the page it holds.
  void runEnded();

  // Where the module is looked for, in order: beside the program, then in
  // the library folder of its installation.
  static std::vector<std::string> modulePaths();

 private:
  bool load(std::string* reason);
  static void report(void* context, int event, const char* utf8Text);

  KelvanePageLoaderEntry entry_ = nullptr;
  KelvanePageLoaderLeave leave_ = nullptr;
  KelvanePageLoaderEnd end_ = nullptr;
  bool started_ = false;
  acquisition::SettleMode settleMode_ = acquisition::SettleMode::Fixed;
  bool trace_ = false;
  std::string cookieFile_;
  std::FILE* err_ = stderr;
};

}  // namespace kelvane::cli
