#include "cli/run_host.h"

#include "cli/output.h"
#include "engine/clock_text.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::BufferName;
using engine::kBufferNames;
using engine::TextView;

void RunHost::showMessage(std::u16string_view text) {
  writeLine(err_, textfile::encodeUtf8(text));
}

// The page loader module is loaded on the first URL command only.
void RunHost::openUrl(std::u16string_view url) {
  pages_.openUrl(*engine_, url, waitValue_, err_);
}

std::u16string RunHost::timeText() {
  return engine::formatTime(engine::localNow());
}

std::u16string RunHost::dateText() {
  return engine::formatDate(engine::localNow());
}

std::array<uint64_t, RunHost::kTraced> RunHost::versions() const {
  std::array<uint64_t, kTraced> v{};
  for (size_t k = 0; k < kTraced; ++k) v[k] = engine_->buffer(kBufferNames[k].id).version();
  return v;
}

void RunHost::lineStarting(int index) {
  if (!trace_) return;
  const auto& lines = engine_->scriptLines();
  const TextView line =
      static_cast<size_t>(index) < lines.size() ? TextView(lines[index]) : TextView{};
  writeLine(err_, "[" + std::to_string(index) + "] " + escaped(line));
  before_ = versions();
}

void RunHost::lineFinished(int) {
  if (!trace_) return;
  const auto after = versions();
  for (size_t k = 0; k < kTraced; ++k) {
    if (after[k] == before_[k]) continue;
    const TextView text = engine_->buffer(kBufferNames[k].id).view();
    writeLine(err_, "    " + textfile::toUtf8(kBufferNames[k].name) + " (" +
                        std::to_string(text.size()) + ") \"" + escaped(text.substr(0, 60)) +
                        (text.size() > 60 ? "\"..." : "\""));
  }
}

}  // namespace kelvane::cli
