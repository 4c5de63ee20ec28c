// Fuzzes the engine: the input is a script, a NUL byte, and a page. Both go
// through the same decoding as real files. Each input gets a fixed amount of
// work, counted in characters of buffer text the lines run over, so a loop
// over big buffers ends as soon as a loop over small ones would have run
// thousands of lines: no input runs long, and the count does not depend on
// the machine's speed. Buffers are capped small to keep memory in check.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "engine/engine.h"
#include "textfile/text_codec.h"

namespace {

using kelvane::engine::Engine;
using kelvane::engine::RunOutcome;

constexpr size_t kMaxBuffer = size_t{1} << 14;

class FuzzHost : public kelvane::engine::Host {
 public:
  void showMessage(std::u16string_view) override {}
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view url) override {
    // Half the loads "fail", half give the URL back as the page.
    if (url.size() % 2)
      engine->stop();
    else
      engine->ht().assign(url);
  }
  void processEvents() override {
    // A press of the update button while the run yields is ignored.
    if (!triedNested && engine->running()) {
      triedNested = true;
      FUZZ_CHECK(engine->runScriptText(u"CLEAR\tD") == RunOutcome::Ignored);
    }
  }
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return u"9:05:07"; }
  std::u16string dateText() override { return u"2003/06/14"; }
  void lineStarting(int) override {
    // A line costs a fixed amount plus the text it could touch. The fixed
    // amount is what reading and dispatching a line costs under the
    // sanitizers, about as much as a pass over 2,000 characters: with less,
    // a long loop of small lines took a hundred times the time of an
    // average input and the fuzzer's speed fell by two thirds.
    size_t cost = kLineCost + engine->ht().size() + engine->d().size();
    for (int v = 1; v <= 5; ++v) cost += engine->var(v).size();
    if (cost >= budget) {
      budget = 0;
      engine->stop();
    } else {
      budget -= cost;
    }
  }

  static constexpr size_t kLineCost = 2048;
  Engine* engine = nullptr;
  size_t budget = size_t{1} << 21;
  bool triedNested = false;
};

// The page given at the start may be longer than the cap; nothing else is.
bool withinCap(const Engine& engine, size_t pageLength) {
  size_t largest = engine.ht().size() > engine.d().size() ? engine.ht().size() : engine.d().size();
  for (int v = 1; v <= 5; ++v) {
    if (engine.var(v).size() > largest) largest = engine.var(v).size();
  }
  return largest <= (pageLength > kMaxBuffer ? pageLength : kMaxBuffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view script = input.substr(0, split);
  const std::string_view page =
      split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);

  FuzzHost host;
  Engine engine(host);
  host.engine = &engine;
  engine.setMaxBufferLength(kMaxBuffer);
  engine.ht().assign(kelvane::textfile::decodeText(page));
  const size_t pageLength = engine.ht().size();
  const std::u16string scriptText = kelvane::textfile::decodeText(script);
  // A second run over what the first left behind; the budget covers both.
  for (int run = 0; run < 2; ++run) {
    const RunOutcome outcome = engine.runScriptText(scriptText);
    // A run that ended normally never leaves StopFlag set, and no buffer
    // grows past its cap.
    FUZZ_CHECK(outcome != RunOutcome::Normal || !engine.stopFlag());
    FUZZ_CHECK(outcome != RunOutcome::Ignored && !engine.running());
    FUZZ_CHECK(withinCap(engine, pageLength));
  }
  return 0;
}
