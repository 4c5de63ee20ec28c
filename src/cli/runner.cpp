#include "cli/runner.h"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "engine/clock_text.h"
#include "engine/engine.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

using engine::Engine;
using engine::Text;
using engine::TextView;

constexpr const char* kUsage =
    "usage: kelvane-run [--page FILE] [--runs N] [--print NAME] [--wait W] [--trace] SCRIPT";

void writeLine(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
}

// A text as one readable line: control characters, quotes and backslashes
// escaped.
std::string escaped(TextView text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'\t': out += u"\\t"; break;
      case u'\r': out += u"\\r"; break;
      case u'\n': out += u"\\n"; break;
      case u'\\': out += u"\\\\"; break;
      case u'"': out += u"\\\""; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          static const char16_t hex[] = u"0123456789ABCDEF";
          out += u"\\x";
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  return textfile::encodeUtf8(out);
}

// The host of a run without a window: messages go to standard error.
class RunnerHost : public engine::Host {
 public:
  RunnerHost(std::FILE* err, bool trace) : err_(err), trace_(trace) {}
  void attach(Engine* e) { engine_ = e; }

  void showMessage(std::u16string_view text) override {
    writeLine(err_, textfile::encodeUtf8(text));
  }
  void setTitle(std::u16string_view) override { ++titleVersion_; }
  void openUrl(std::u16string_view) override {
    writeLine(err_, "kelvane-run: page loading is not available in this build");
    engine_->stop();
  }
  void processEvents() override {}
  void selectLine(int) override {}
  void setTimerEnabled(bool) override {}
  std::u16string timeText() override { return engine::formatTime(engine::localNow()); }
  std::u16string dateText() override { return engine::formatDate(engine::localNow()); }

  void lineStarting(int index) override {
    if (!trace_) return;
    const auto& lines = engine_->scriptLines();
    const TextView line = static_cast<size_t>(index) < lines.size() ? TextView(lines[index]) : TextView{};
    writeLine(err_, "[" + std::to_string(index) + "] " + escaped(line));
    before_ = versions();
  }

  void lineFinished(int) override {
    if (!trace_) return;
    const auto after = versions();
    for (size_t k = 0; k < kNames.size(); ++k) {
      if (after[k] == before_[k]) continue;
      const TextView text = k == 7 ? TextView(engine_->title()) : bufferOf(k);
      writeLine(err_, std::string("    ") + kNames[k] + " (" + std::to_string(text.size()) + ") \"" +
                          escaped(text.substr(0, 60)) + (text.size() > 60 ? "\"..." : "\""));
    }
  }

 private:
  static constexpr std::array<const char*, 8> kNames = {"HT", "D",  "V1", "V2",
                                                        "V3", "V4", "V5", "TITLE"};
  TextView bufferOf(size_t k) const {
    if (k == 0) return engine_->ht().view();
    if (k == 1) return engine_->d().view();
    return engine_->var(static_cast<int>(k) - 1).view();
  }
  std::array<uint64_t, 8> versions() const {
    return {engine_->ht().version(),   engine_->d().version(),    engine_->var(1).version(),
            engine_->var(2).version(), engine_->var(3).version(), engine_->var(4).version(),
            engine_->var(5).version(), titleVersion_};
  }

  std::FILE* err_;
  bool trace_;
  Engine* engine_ = nullptr;
  uint64_t titleVersion_ = 0;
  std::array<uint64_t, 8> before_{};
};

std::optional<std::string> bufferName(std::string name) {
  for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  static const char* kPrintable[] = {"D", "HT", "V1", "V2", "V3", "V4", "V5", "TITLE"};
  for (const char* known : kPrintable) {
    if (name == known) return name;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string* error) {
  Options options;
  bool haveScript = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
      inlineValue = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    const auto value = [&](std::string* out) {
      if (inlineValue) {
        *out = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    if (arg == "--page") {
      std::string v;
      if (!value(&v)) return std::nullopt;
      options.page = v;
    } else if (arg == "--runs") {
      std::string v;
      if (!value(&v)) return std::nullopt;
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 1 || n > 1000000) {
        *error = "--runs needs a whole number from 1 to 1000000, not '" + v + "'";
        return std::nullopt;
      }
      options.runs = static_cast<int>(n);
    } else if (arg == "--print") {
      std::string v;
      if (!value(&v)) return std::nullopt;
      const auto name = bufferName(v);
      if (!name) {
        *error = "--print names one of D, HT, V1..V5, TITLE, not '" + v + "'";
        return std::nullopt;
      }
      options.print = *name;
    } else if (arg == "--wait") {
      if (!value(&options.wait)) return std::nullopt;
    } else if (arg == "--trace" && !inlineValue) {
      options.trace = true;
    } else if (arg == "--help" || arg == "-h") {
      *error = "";
      return std::nullopt;
    } else if (arg.starts_with("-") && arg != "-") {
      *error = "unknown option '" + args[i] + "'";
      return std::nullopt;
    } else if (haveScript) {
      *error = "only one script may be given";
      return std::nullopt;
    } else {
      options.script = arg;
      haveScript = true;
    }
  }
  if (!haveScript) {
    *error = "no script given";
    return std::nullopt;
  }
  return options;
}

int run(const Options& options, std::FILE* out, std::FILE* err) {
  if (!textfile::readFileBytes(options.script)) {
    writeLine(err, "kelvane-run: cannot read script: " + options.script);
    return kExitUsage;
  }
  RunnerHost host(err, options.trace);
  Engine engine(host);
  host.attach(&engine);
  if (options.page) {
    const auto bytes = textfile::readFileBytes(*options.page);
    if (!bytes) {
      writeLine(err, "kelvane-run: cannot read page: " + *options.page);
      return kExitUsage;
    }
    engine.ht().assign(textfile::decodeText(*bytes));
  }
  const Text scriptPath = textfile::fromUtf8(options.script);
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  for (int r = 0; r < options.runs; ++r) outcome = engine.Exec_Click(scriptPath);

  TextView printed;
  if (options.print == "D") printed = engine.d().view();
  else if (options.print == "HT") printed = engine.ht().view();
  else if (options.print == "TITLE") printed = engine.title();
  else printed = engine.var(options.print[1] - '0').view();
  const std::string bytes = textfile::encodeUtf8(printed);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fflush(out);
  return outcome == engine::RunOutcome::Normal ? kExitNormal : kExitStopped;
}

int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto options = parseOptions(args, &error);
  if (!options) {
    if (!error.empty()) writeLine(err, "kelvane-run: " + error);
    writeLine(err, kUsage);
    return error.empty() ? kExitNormal : kExitUsage;
  }
  return run(*options, out, err);
}

}  // namespace kelvane::cli
