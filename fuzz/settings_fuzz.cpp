// Fuzzes the settings reader and writer. Any bytes are a settings file:
// reading them never fails, reading them from a file gives what reading them
// from memory gives, and what the writer makes of the values read back as
// the same fields (all 24 lines), every line accepted. Single-precision
// numbers are written with at most 7 significant digits, so they come back
// within that precision, and exactly from the second save on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "check.h"
#include "memory_file.h"
#include "settings/settings.h"

namespace {

using namespace kelvane::settings;

bool within7Digits(float written, float read) {
  return std::fabs(written - read) <= 6e-7f * std::fabs(written) ||
         std::fabs(written - read) <= 1e-44f;
}

// The same values, the single-precision ones within 7 significant digits.
bool sameWithin7Digits(Settings written, const Settings& read) {
  float* numbers[] = {&written.windowWidth, &written.windowHeight, &written.windowTop,
                      &written.windowLeft, &written.fontSize};
  const float readNumbers[] = {read.windowWidth, read.windowHeight, read.windowTop, read.windowLeft,
                               read.fontSize};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    if (!within7Digits(*numbers[i], readNumbers[i])) return false;
    *numbers[i] = readNumbers[i];
  }
  return written == read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvane::fuzz::MemoryFile file;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  Settings read;
  applySettings(bytes, read);

  file.replace(bytes);
  Settings fromFile;
  FUZZ_CHECK(readSettingsFile(file.path(), fromFile).has_value());
  FUZZ_CHECK(fromFile == read);

  Settings again;
  const ReadReport report = applySettings(settingsBytes(read), again);
  FUZZ_CHECK(sameWithin7Digits(read, again));
  for (const LineStatus status : report.lines) FUZZ_CHECK(status == LineStatus::Read);
  Settings third;
  applySettings(settingsBytes(again), third);
  FUZZ_CHECK(third == again);
  return 0;
}
