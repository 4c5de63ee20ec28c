// The window's runs recorded in the history: the store opened on the first
// run, and what went wrong as a sentence for the user.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "history/store.h"

namespace kelvane::ui {

class RunHistory {
 public:
  explicit RunHistory(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  // Records the run; the reason when it could not be (the run is not
  // repeated: the history just misses it).
  std::optional<std::string> record(const history::RunEntry& run) {
    try {
      if (!store_) store_ = std::make_unique<history::HistoryStore>(path_);
      store_->record(run);
      return std::nullopt;
    } catch (const std::exception& e) {
      store_.reset();  // opened afresh next time: the disk may have room again
      return e.what();
    }
  }

 private:
  std::string path_;
  std::unique_ptr<history::HistoryStore> store_;
};

}  // namespace kelvane::ui
