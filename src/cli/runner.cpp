#include "cli/runner.h"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "cli/page_loader_client.h"
#include "engine/clock_text.h"
#include "engine/engine.h"
#include "logging/log_writer.h"
#include "settings/settings.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

using engine::Engine;
using engine::Text;
using engine::TextView;

constexpr const char* kUsage =
    "usage: kelvane-run [--page FILE] [--runs N] [--print NAME] [--wait W] [--trace]"
    " [--log FILE [--memo TEXT]] SCRIPT\n"
    "       kelvane-run --settings FILE";

void writeLine(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
}

// Writes text as UTF-8 in pieces, so a big buffer is never copied whole.
void writeUtf8(std::FILE* f, TextView text) {
  constexpr size_t kChunk = 1 << 16;
  std::string bytes;
  while (!text.empty()) {
    size_t n = text.size() < kChunk ? text.size() : kChunk;
    // Never split a surrogate pair between two pieces.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    textfile::encodeUtf8Into(text.substr(0, n), bytes);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    text.remove_prefix(n);
  }
  std::fflush(f);
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
  void setWaitValue(Text wait) { waitValue_ = std::move(wait); }
  // The page loader module is loaded on the first URL command only.
  void openUrl(std::u16string_view url) override {
    pages_.openUrl(*engine_, url, waitValue_, err_);
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
  PageLoaderClient pages_;
  Text waitValue_ = u"8";
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
  bool haveMemo = false;
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
    } else if (arg == "--log" || arg == "--settings") {
      std::string v;
      if (!value(&v)) return std::nullopt;
      (arg == "--log" ? options.log : options.settings) = v;
    } else if (arg == "--memo") {
      if (!value(&options.memo)) return std::nullopt;
      haveMemo = true;
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
  if (options.settings) {
    if (!haveScript) return options;
    *error = "--settings reads a settings file and runs no script";
    return std::nullopt;
  }
  if (!haveScript) {
    *error = "no script given";
    return std::nullopt;
  }
  if (haveMemo && !options.log) {
    *error = "--memo needs --log";
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
  host.setWaitValue(textfile::fromUtf8(options.wait));
  if (options.page) {
    auto bytes = textfile::readFileBytes(*options.page);
    if (!bytes) {
      writeLine(err, "kelvane-run: cannot read page: " + *options.page);
      return kExitUsage;
    }
    engine.ht().take(textfile::decodeText(*bytes));
    std::string().swap(*bytes);  // the page's bytes are not needed any more
  }
  const Text scriptPath = textfile::fromUtf8(options.script);
  engine::RunOutcome outcome = engine::RunOutcome::Normal;
  const Text memo = textfile::fromUtf8(options.memo);
  bool logFailed = false;
  for (int r = 0; r < options.runs; ++r) {
    outcome = engine.Exec_Click(scriptPath);
    if (outcome != engine::RunOutcome::Normal || !options.log) continue;
    if (!logging::appendEntry(*options.log, memo, engine.d().view())) {
      writeLine(err, textfile::toUtf8(logging::cannotWriteMessage()));
      logFailed = true;
    }
  }

  TextView printed;
  if (options.print == "D") printed = engine.d().view();
  else if (options.print == "HT") printed = engine.ht().view();
  else if (options.print == "TITLE") printed = engine.title();
  else printed = engine.var(options.print[1] - '0').view();
  writeUtf8(out, printed);
  return outcome == engine::RunOutcome::Normal && !logFailed ? kExitNormal : kExitStopped;
}

int printSettings(const std::string& path, std::FILE* out, std::FILE* err) {
  using settings::Field;
  using settings::LineStatus;
  settings::Settings values;
  const auto report = settings::readSettingsFile(path, values);
  if (!report) {
    writeLine(err, "kelvane-run: cannot read settings: " + path);
    return kExitUsage;
  }
  // Numbers without the file's blanks around them.
  const auto plain = [](const Text& t) {
    const size_t first = t.find_first_not_of(u' ');
    return textfile::toUtf8(t.substr(first, t.find_last_not_of(u' ') - first + 1));
  };
  const auto flag = [](bool b) { return std::string(b ? "True" : "False"); };
  const settings::Settings& v = values;
  const std::array<std::string, settings::kFieldCount> shown = {
      plain(settings::singleText(v.windowWidth)),
      plain(settings::singleText(v.windowHeight)),
      plain(settings::singleText(v.windowTop)),
      plain(settings::singleText(v.windowLeft)),
      textfile::toUtf8(v.url),
      textfile::toUtf8(v.interval),
      std::to_string(v.autoUpdate),
      textfile::toUtf8(v.logPath),
      std::to_string(v.autoLog),
      std::to_string(v.timeWindow),
      textfile::toUtf8(v.startHour),
      textfile::toUtf8(v.startMinute),
      textfile::toUtf8(v.endHour),
      textfile::toUtf8(v.endMinute),
      plain(settings::singleText(v.fontSize)),
      textfile::toUtf8(v.scriptPath),
      std::to_string(v.backColor),
      std::to_string(v.foreColor),
      textfile::toUtf8(v.fontName),
      flag(v.bold),
      flag(v.italic),
      textfile::toUtf8(v.wait)};
  // Text boxes start empty and the wait box shows "8"; every other field
  // has a start value of the window that this program does not know.
  const auto startKnown = [](Field f) {
    switch (f) {
      case Field::Url:
      case Field::Interval:
      case Field::LogPath:
      case Field::StartHour:
      case Field::StartMinute:
      case Field::EndHour:
      case Field::EndMinute:
      case Field::ScriptPath:
      case Field::Wait:
        return true;
      default:
        return false;
    }
  };
  int missingFrom = 0;
  for (int line = 1; line <= settings::kFieldCount; ++line) {
    const Field field = static_cast<Field>(line);
    const LineStatus status = report->status(field);
    std::string value = shown[line - 1];
    if (status != LineStatus::Read && !startKnown(field)) value = "(start value)";
    writeLine(out, std::to_string(line) + ": " + value);
    if (status == LineStatus::Refused) {
      writeLine(err, "kelvane-run: line " + std::to_string(line) +
                         " was refused; the field keeps its start value");
    }
    if (status == LineStatus::Missing && missingFrom == 0) missingFrom = line;
  }
  if (missingFrom != 0) {
    writeLine(err, "kelvane-run: the file ends before line " + std::to_string(missingFrom) +
                       "; the later fields keep their start values");
  }
  std::fflush(out);
  return kExitNormal;
}

int runMain(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto options = parseOptions(args, &error);
  if (!options) {
    if (!error.empty()) writeLine(err, "kelvane-run: " + error);
    writeLine(err, kUsage);
    return error.empty() ? kExitNormal : kExitUsage;
  }
  if (options->settings) return printSettings(*options->settings, out, err);
  return run(*options, out, err);
}

}  // namespace kelvane::cli
