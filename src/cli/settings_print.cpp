#include "cli/settings_print.h"

#include "cli/output.h"
#include "cli/runner.h"
#include "history/address.h"
#include "history/watch_history.h"
#include "settings/settings.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

int printSettings(const std::string& path, std::FILE* out, std::FILE* err) {
  using settings::LineStatus;
  settings::Settings values;
  const auto report = settings::readSettingsFile(path, values);
  if (!report) {
    writeMessage(err, "cannot read settings: " + path);
    return kExitUsage;
  }
  int missingFrom = 0;
  bool printed = true;
  for (const settings::FieldSpec& field : settings::kFields) {
    const int line = static_cast<int>(field.line);
    const LineStatus status = report->status(field.line);
    // Text boxes start empty, the wait box shows "8" and the lines after the
    // 22nd start as off; every other field has a start value of the window
    // that this program does not know.
    const bool startKnown = field.kind == settings::Kind::Text ||
                            field.kind == settings::Kind::Wait || line > settings::kBaseFieldCount;
    const std::string value = status == LineStatus::Read || startKnown
                                  ? textfile::toUtf8(settings::shownValue(values, field.line))
                                  : "(start value)";
    printed = writeLine(out, std::to_string(line) + ": " + value) && printed;
    if (status == LineStatus::Refused) {
      writeMessage(
          err, "line " + std::to_string(line) + " was refused; the field keeps its start value");
    }
    // A file of the 22 lines alone is whole.
    if (status == LineStatus::Missing && missingFrom == 0 && line <= settings::kBaseFieldCount) {
      missingFrom = line;
    }
  }
  // A history's address is shown with any password a hand-made line holds
  // masked.
  for (const auto& [key, value] : values.keyed) {
    settings::Settings one;
    one.keyed = {{key, value}};
    const bool address = settings::keyedValue(one, history::kHistoryKey).has_value();
    const std::string shown = textfile::toUtf8(value);
    writeLine(out, textfile::toUtf8(key) + "=" + (address ? history::maskedAddress(shown) : shown));
  }
  if (missingFrom != 0) {
    writeMessage(err, "the file ends before line " + std::to_string(missingFrom) +
                          "; the later fields keep their start values");
  }
  if (!printed || std::fflush(out) != 0) {
    reportStdoutFailure(err);
    return kExitStopped;
  }
  return kExitNormal;
}

}  // namespace kelvane::cli
