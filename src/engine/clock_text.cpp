#include "engine/clock_text.h"

#include <cstdio>

namespace kelvane::engine {
namespace {

Text ascii(const char* s) {
  Text out;
  for (; *s; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

}  // namespace

Text formatTime(const std::tm& local) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return ascii(buf);
}

Text formatDate(const std::tm& local) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  return ascii(buf);
}

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace kelvane::engine
