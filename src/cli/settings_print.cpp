#include "cli/settings_print.h"

#include <array>

#include "cli/output.h"
#include "cli/runner.h"
#include "settings/settings.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::Text;

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

}  // namespace kelvane::cli
