#include "workbench/preview.h"

#include "engine/clock_text.h"
#include "textfile/lines.h"

namespace kelvane::workbench {
namespace {

using engine::kBufferNames;
using engine::kStoredBufferCount;
using Clock = std::chrono::steady_clock;

constexpr size_t kShown = 60;    // characters of a changed buffer kept
constexpr size_t kContext = 40;  // characters of the text at a candidate

// The engine's host while previewing: URL lines put the last load's page
// back into HT, messages are kept for their line, and every loop pass
// checks the limits.
class PreviewHost : public engine::Host, public engine::SearchObserver {
 public:
  PreviewHost(TextView page, const PreviewLimits& limits, PreviewResult& result)
      : page_(page), limits_(limits), result_(result), start_(Clock::now()) {}
  void attach(engine::Engine* engine) { engine_ = engine; }

  void showMessage(std::u16string_view text) override {
    if (line_ >= 0) report(line_).messages.emplace_back(text);
  }
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view) override { engine_->ht().assign(page_); }
  void processEvents() override {
    if (++result_.passes >= limits_.maxPasses || Clock::now() - start_ > limits_.maxTime) {
      result_.cutOff = true;
      engine_->requestInterrupt();
    }
  }
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return engine::formatTime(engine::localNow()); }
  std::u16string dateText() override { return engine::formatDate(engine::localNow()); }
  void scriptLoaded() override { result_.lines.resize(engine_->scriptLines().size()); }
  void lineStarting(int index) override {
    line_ = index;
    if (report(index).runs == 0) before_ = versions();
  }
  void lineFinished(int index) override {
    LineReport& r = report(index);
    if (r.runs++ > 0) return;
    const auto after = versions();
    for (size_t k = 0; k < kStoredBufferCount; ++k) {
      if (after[k] == before_[k]) continue;
      const TextView text = engine_->buffer(kBufferNames[k].id).view();
      r.changes.push_back({kBufferNames[k].id, text.size(), Text(text.substr(0, kShown))});
    }
  }

  void markerNotFound(const engine::SearchMiss& miss) override {
    LineReport& r = report(miss.line);
    if (r.misses++ > 0) return;
    PreviewMiss m;
    m.marker.assign(miss.marker);
    m.after.assign(miss.after);
    m.searchedLength = miss.text.size();
    m.candidates = findNearMisses(miss.text, miss.from, miss.marker);
    for (const NearMiss& near : m.candidates)
      m.contexts.emplace_back(miss.text.substr(near.position - 1, kContext));
    r.miss = std::move(m);
  }

 private:
  LineReport& report(int index) {
    if (static_cast<size_t>(index) >= result_.lines.size()) result_.lines.resize(index + 1);
    return result_.lines[static_cast<size_t>(index)];
  }
  std::array<uint64_t, kStoredBufferCount> versions() const {
    std::array<uint64_t, kStoredBufferCount> v{};
    for (size_t k = 0; k < kStoredBufferCount; ++k)
      v[k] = engine_->buffer(kBufferNames[k].id).version();
    return v;
  }

  TextView page_;
  const PreviewLimits& limits_;
  PreviewResult& result_;
  Clock::time_point start_;
  engine::Engine* engine_ = nullptr;
  int line_ = -1;
  std::array<uint64_t, kStoredBufferCount> before_{};
};

}  // namespace

std::vector<engine::LineProblem> diagnoseScript(TextView script) {
  std::vector<engine::ParsedLine> parsed;
  for (const Text& line : textfile::splitLines(script))
    parsed.push_back(engine::ParsedLine::read(line));
  return engine::diagnose(parsed);
}

PreviewResult preview(TextView script, TextView page, TextView display,
                      const PreviewLimits& limits) {
  PreviewResult result;
  const auto start = Clock::now();
  PreviewHost host(page, limits, result);
  engine::Engine engine(host);
  host.attach(&engine);
  engine.setSearchObserver(&host);
  engine.setMaxBufferLength(limits.maxBufferLength);
  engine.ht().assign(page);
  engine.d().assign(display);
  result.outcome = engine.runScriptText(script);
  for (size_t k = 0; k < kStoredBufferCount; ++k)
    result.buffers[k].assign(engine.buffer(kBufferNames[k].id).view());
  result.problems = diagnoseScript(script);
  result.took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  return result;
}

}  // namespace kelvane::workbench
