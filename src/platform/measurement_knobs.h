// Switches that turn one of the browser's memory measures off, so that the
// memory benchmark can tell what each of them saves. Only a measurement
// build (-DKELVANE_MEASUREMENT_KNOBS=ON) reads them from the environment;
// in the program they do not exist and every measure is on.
#pragma once

#ifdef KELVANE_MEASUREMENT_KNOBS
#include <cstdlib>
#endif

namespace kelvane::platform {

// KELVANE_WITHOUT_LEAVING_PAGE, KELVANE_WITHOUT_CACHE_CAP,
// KELVANE_WITHOUT_ONE_RENDERER, KELVANE_WITHOUT_SKIPPED_PARTS,
// KELVANE_WITHOUT_ONE_TEMPLATE, KELVANE_WITHOUT_HEAP_TRIM,
// KELVANE_WITHOUT_UNPAINTED_VIEW: set to 1 to turn that measure off.
inline bool measureSwitchedOff([[maybe_unused]] const char* knob) {
#ifdef KELVANE_MEASUREMENT_KNOBS
  const char* value = std::getenv(knob);
  return value && value[0] == '1';
#else
  return false;
#endif
}

}  // namespace kelvane::platform
