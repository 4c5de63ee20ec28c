#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>

#include "cli/output.h"
#include "engine/buffer_names.h"
#include "notify/rules.h"
#include "settings/settings_place.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

// --print's value: a stored buffer's name, any letter case.
const engine::BufferName* storedBuffer(const std::string& value) {
  const engine::BufferName* name = engine::findBufferName(textfile::fromUtf8(value));
  return name && name->stored ? name : nullptr;
}

// The names of a mode's choices, for an option's check.
template <typename Mode, size_t N>
std::vector<std::string> namesIn(const std::pair<Mode, std::string_view> (&table)[N]) {
  std::vector<std::string> names;
  for (const auto& [mode, name] : table) names.emplace_back(name);
  return names;
}

std::string printableNames() {
  std::string names;
  for (const engine::BufferName& entry : engine::kBufferNames) {
    if (!entry.stored) continue;
    if (!names.empty()) names += ", ";
    names += textfile::toUtf8(entry.name);
  }
  return names;
}

constexpr const char* kMoreHelp = "Run 'kelvane-run --help' for the options.\n";

}  // namespace

std::string cookieFileOf(const Options& options) {
  namespace fs = std::filesystem;
  if (options.cookies) return *options.cookies;
  if (options.profile) return (fs::path(*options.profile) / settings::kCookieFileName).string();
  if (!options.watch) return {};
  const fs::path kept =
      fs::path(settings::findLoginFolder(*options.watch)) / settings::kCookieFileName;
  std::error_code ec;
  return fs::exists(kept, ec) ? kept.string() : std::string();
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  Options o;
  CLI::App app("Runs a Kelvane extraction script without a window.", "kelvane-run");
  app.get_formatter()->column_width(28);
  auto* script = app.add_option("SCRIPT", o.script, "the script file (.spt)")->type_name("");
  auto* page = app.add_option("--page", o.page, "HT starts as the text of FILE")->type_name("FILE");
  app.add_option("--page-as-loaded", o.pageAsLoaded,
                 "HT starts as the body a load of the saved page FILE gives (as the browser "
                 "writes it back out)")
      ->type_name("FILE")
      ->excludes(page);
  auto* runs =
      app.add_option("--runs", o.runs, "run the script N times, as N presses of the update button")
          ->type_name("N")
          ->check(CLI::Range(1, 1000000));
  auto* print =
      app.add_option_function<std::string>(
             "--print", [&o](const std::string& value) { o.print = storedBuffer(value)->id; },
             "the buffer written out afterwards: " + printableNames())
          ->type_name("NAME")
          ->check(
              [](const std::string& value) {
                return storedBuffer(value)
                           ? std::string()
                           : "names one of " + printableNames() + ", not '" + value + "'";
              },
              "", "NAME");
  auto* wait =
      app.add_option("--wait", o.wait, "the page-settle wait value (default 8)")->type_name("W");
  app.add_option_function<std::string>(
         "--fetch",
         [&o](const std::string& how) {
           o.fetch = *acquisition::fetchModeNamed(how);
           o.fetchGiven = true;
         },
         "how URL commands load pages: browser (default); direct, an HTTP fetch without a "
         "browser for pages that need no scripts; auto, directly unless the page needs the "
         "browser (remembered in the history)")
      ->type_name("HOW")
      ->check(CLI::IsMember(namesIn(acquisition::kFetchModeNames)));
  app.add_option_function<std::string>(
         "--settle",
         [&o](const std::string& mode) { o.settle = acquisition::settleModeNamed(mode); },
         "fixed: the wait value's passes (default); auto: until the page has settled, at most "
         "as long")
      ->type_name("MODE")
      ->check(CLI::IsMember(namesIn(acquisition::kSettleModeNames)));
  app.add_option("--cookies", o.cookies,
                 "the direct fetch sends the cookies of FILE (Netscape cookies.txt) and keeps "
                 "the ones servers set there")
      ->type_name("FILE");
  app.add_option("--profile", o.profile,
                 "use the login kept in the window's profile folder DIR: its cookies go to "
                 "the direct fetch and to the browser")
      ->type_name("DIR");
  app.add_flag("--trace", o.trace, "each line run and the buffers it changed, on standard error");
  app.add_flag("--explain", o.explain,
               "after each run, why marker searches found nothing, on standard error");
  auto* state = app.add_option("--state", o.state,
                               "compare the display with the one kept in FILE, then keep it; "
                               "exit 3 when it changed")
                    ->type_name("FILE");
  app.add_flag("--diff", o.diff, "print a unified diff of a changed display instead")->needs(state);
  app.add_option("--record", o.record, "append one JSON line per run to FILE")->type_name("FILE");
  auto* log = app.add_option("--log", o.log, "after each normal run, append an entry to FILE")
                  ->type_name("FILE");
  auto* memo =
      app.add_option("--memo", o.memo, "the memo text of the log entries")->type_name("TEXT");
  auto* watch = app.add_option("--watch", o.watch,
                               "update automatically as the window does, from a settings file; "
                               "with --runs, run its script N times now and end (a timer or "
                               "CronJob keeps the schedule)")
                    ->type_name("SETTINGS")
                    ->excludes(script)
                    ->excludes(print)
                    ->excludes(log);
  auto* history = app.add_option("--history", o.history,
                                 "record every run in the history: a database FILE, or a "
                                 "PostgreSQL server's postgresql:// address")
                      ->type_name("FILE|URL");
  auto* exportFormat =
      app.add_option("--export", o.exportFormat,
                     "print the history (or a watch's) instead of running: csv or jsonl, one "
                     "row per run; deliveries: the notifications sent, as CSV")
          ->type_name("FORMAT")
          ->check(CLI::IsMember({"csv", "jsonl", "deliveries"}))
          ->excludes(script);
  app.add_option("--copy-to", o.copyTo,
                 "copy the history into another (a file or a server) instead of running; runs "
                 "already there are not copied again")
      ->type_name("FILE|URL")
      ->needs(history)
      ->excludes(script)
      ->excludes(watch)
      ->excludes(exportFormat);

  auto* suggest = app.add_option("--suggest", o.suggest,
                                 "print the lines that cut TEXT out of HT instead of running")
                      ->type_name("TEXT")
                      ->excludes(watch)
                      ->excludes(runs);
  app.add_option("--occurrence", o.occurrence, "with --suggest: the K-th occurrence of TEXT")
      ->type_name("K")
      ->check(CLI::Range(1, 1000000))
      ->needs(suggest);

  app.add_flag("--list", o.list,
               "with --suggest: the lines that cut every item of the list TEXT belongs to, "
               "one line each: its name, a tab, its value")
      ->needs(suggest);

  auto* notifyOption =
      app.add_option("--notify", o.notify,
                     "after a run worth telling, send a notice to URL through apprise (an Apprise "
                     "URL, or a tag of your Apprise configuration); may be repeated")
          ->type_name("URL")
          ->allow_extra_args(false);
  app.add_option("--when", o.when,
                 "the rule that makes a run worth telling: changed; \"LABEL\" below N, above N, "
                 "drops P%, lowest Nd; shows \"TEXT\"; hides \"TEXT\" (default changed); may be "
                 "repeated")
      ->type_name("RULE")
      ->allow_extra_args(false)
      ->check(
          [](const std::string& rule) {
            const auto parsed = notify::parseRule(rule);
            return std::holds_alternative<notify::Rule>(parsed) ? std::string()
                                                                : std::get<std::string>(parsed);
          },
          "", "RULE");
  app.add_flag("--first", o.first, "the first run may already send a notice");
  app.add_option("--alert-after", o.alertAfter,
                 "a notice after K runs in a row that did not end normally, and one when a run "
                 "does again (default 3; 0: never)")
      ->type_name("K")
      ->check(CLI::Range(0, 1000000));
  app.add_flag("--notify-test", o.notifyTest,
               "send a test message to every target instead of running, and print the answers")
      ->excludes(script);

  app.add_option("--settings", o.settings, "print the fields of a settings file and exit")
      ->type_name("FILE")
      ->excludes(script);
  app.add_flag("--version", o.version, "print the version and exit");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return {std::nullopt, app.help(), 0};
  } catch (const CLI::ParseError& e) {
    return {std::nullopt, programMessage(e.what()) + "\n" + kMoreHelp, 2};
  }
  o.waitGiven = wait->count() > 0;
  o.runsGiven = runs->count() > 0;
  // The log of a watch is the settings file's; --memo heads its entries.
  if (memo->count() > 0 && log->count() == 0 && watch->count() == 0) {
    return {std::nullopt, programMessage("--memo requires --log or --watch\n") + kMoreHelp, 2};
  }
  if (o.exportFormat && !o.history && !o.watch) {
    return {std::nullopt, programMessage("--export requires --history or --watch\n") + kMoreHelp,
            2};
  }
  if (o.suggest && o.script.empty() && !o.page && !o.pageAsLoaded) {
    return {std::nullopt,
            programMessage("--suggest requires --page, --page-as-loaded or a script\n") + kMoreHelp,
            2};
  }
  if (o.notifyTest && notifyOption->count() == 0 && !o.watch) {
    return {std::nullopt,
            programMessage("--notify-test requires --notify or --watch\n") + kMoreHelp, 2};
  }
  if (!o.version && !o.settings && !o.watch && !o.exportFormat && !o.copyTo && !o.suggest &&
      !o.notifyTest && o.script.empty()) {
    return {std::nullopt, programMessage("no script given\n") + kMoreHelp, 2};
  }
  return {std::move(o), {}, 0};
}

}  // namespace kelvane::cli
