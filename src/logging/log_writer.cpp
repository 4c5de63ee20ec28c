#include "logging/log_writer.h"

namespace kelvane::logging {

ExistingLog classifyLog(std::string_view) {
  return ExistingLog::Empty;
}
LogEncoding chooseEncoding(ExistingLog, TextView, TextView) {
  return LogEncoding::Cp932;
}
std::string entryBytes(TextView, TextView, LogEncoding) {
  return {};
}
bool appendEntry(const std::string&, TextView, TextView) {
  return false;
}
Text cannotWriteMessage() {
  return u"Logファイルに書き込めません．";
}

}  // namespace kelvane::logging
