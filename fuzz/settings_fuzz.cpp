// Fuzzes the settings reader and writer. Any bytes are a settings file:
// reading them never fails, reading them from a file gives what reading them
// from memory gives, and what the writer makes of the values read back as
// the same 22 fields, every line accepted.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "memory_file.h"
#include "settings/settings.h"

namespace {

using namespace kelvane::settings;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvane::fuzz::MemoryFile file;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  Settings read;
  applySettings(bytes, read);

  file.replace(bytes);
  Settings fromFile;
  check(readSettingsFile(file.path(), fromFile).has_value());
  check(fromFile == read);

  Settings again;
  const ReadReport report = applySettings(settingsBytes(read), again);
  check(again == read);
  for (const LineStatus status : report.lines) check(status == LineStatus::Read);
  return 0;
}
