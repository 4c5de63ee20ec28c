// What a run does while it goes, as the front's engine host sees it: the
// pages it loads, its first message, the lines it runs. Read for the run's
// record and history entry; forgotten when the next run begins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquisition/load_record.h"

namespace kelvane::run {

class RunJournal {
 public:
  void begin() {
    loads_.clear();
    message_.clear();
    linesRun_ = 0;
    titleSet_ = false;
  }
  // A message the run showed (UTF-8); the first one is kept.
  void message(std::string_view text) {
    if (message_.empty()) message_.assign(text);
  }
  // A load of a URL command; a failed one's reason is a message too.
  void load(acquisition::LoadRecord load) {
    message(load.error);
    loads_.push_back(std::move(load));
  }
  void lineStarting() { ++linesRun_; }
  // The script set the caption (TITLE).
  void titleSet() { titleSet_ = true; }

  const std::vector<acquisition::LoadRecord>& loads() const { return loads_; }
  const std::string& firstMessage() const { return message_; }
  int64_t linesRun() const { return linesRun_; }
  bool titleWasSet() const { return titleSet_; }

 private:
  std::vector<acquisition::LoadRecord> loads_;
  std::string message_;
  int64_t linesRun_ = 0;
  bool titleSet_ = false;
};

}  // namespace kelvane::run
