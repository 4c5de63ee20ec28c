#include "settings/settings.h"

#include "textfile/file_io.h"

namespace kelvane::settings {

ReadReport applySettings(std::string_view, Settings&, const ReadRules&) {
  ReadReport report;
  report.lines.fill(LineStatus::Missing);
  return report;
}

std::optional<ReadReport> readSettingsFile(const std::string& path, Settings& values,
                                           const ReadRules& rules) {
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return std::nullopt;
  return applySettings(*bytes, values, rules);
}

Text settingsText(const Settings&) {
  return {};
}
std::string settingsBytes(const Settings& values) {
  return textfile::encodeUtf8(settingsText(values));
}
bool saveSettings(const std::string& path, const Settings& values) {
  return textfile::writeFileAtomically(path, settingsBytes(values));
}
Text cannotWriteMessage() {
  return u"設定ファイルに書き込めません．";
}
Text singleText(float) {
  return {};
}
Text integerText(int64_t) {
  return {};
}
Text booleanText(bool value) {
  return value ? u"True" : u"False";
}
std::optional<int16_t> checkStateFrom(TextView) {
  return std::nullopt;
}
std::optional<int32_t> int32From(TextView) {
  return std::nullopt;
}
std::optional<bool> booleanFrom(TextView) {
  return std::nullopt;
}
std::optional<float> singleFrom(TextView) {
  return std::nullopt;
}
Text waitFrom(TextView line) {
  return Text(line);
}

}  // namespace kelvane::settings
