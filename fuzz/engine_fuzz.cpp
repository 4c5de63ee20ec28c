// Fuzzes the engine: the input is a script, a NUL byte, and a page. Both go
// through the same decoding as real files. Runs are bounded by a line budget
// so that long loops end; buffers are capped small to keep memory in check.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "textfile/text_codec.h"

namespace {

using kelvane::engine::Engine;

class FuzzHost : public kelvane::engine::Host {
 public:
  void showMessage(std::u16string_view) override {}
  void setTitle(std::u16string_view) override {}
  void openUrl(std::u16string_view url) override {
    // Half the loads "fail", half give the URL back as the page.
    if (url.size() % 2) engine->stop();
    else engine->ht().assign(url);
  }
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return u"9:05:07"; }
  std::u16string dateText() override { return u"2003/06/14"; }
  void lineStarting(int) override {
    if (++lines > kLineBudget) engine->stop();
  }

  static constexpr int kLineBudget = 20000;
  Engine* engine = nullptr;
  int lines = 0;
};

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
  engine.setMaxBufferLength(1 << 16);
  engine.ht().assign(kelvane::textfile::decodeText(page));
  engine.runScriptText(kelvane::textfile::decodeText(script));
  // A second run over what the first left behind.
  host.lines = 0;
  engine.runScriptText(kelvane::textfile::decodeText(script));
  return 0;
}
