#include "language/language.h"

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace kelvane::language {
namespace {

std::atomic<Language> chosen{Language::Japanese};

// The language of a locale or LANGUAGE entry ("en_GB.UTF-8@euro" -> "en"),
// when it is one of the program's.
std::optional<Language> languageOf(std::string_view name) {
  const std::string_view lang = name.substr(0, name.find_first_of("_.@-"));
  if (lang == "en") return Language::English;
  if (lang == "ja") return Language::Japanese;
  return std::nullopt;
}

}  // namespace

Language chooseLanguage(const EnvironmentLookup& environment) {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = environment(name);
    if (!locale.empty()) break;
  }
  const std::string_view base = std::string_view(locale).substr(0, locale.find_first_of(".@"));
  if (base.empty() || base == "C" || base == "POSIX") return Language::Japanese;
  const std::string list = environment("LANGUAGE");
  for (std::string_view rest = list; !rest.empty();) {
    const std::size_t colon = rest.find(':');
    if (const auto lang = languageOf(rest.substr(0, colon))) return *lang;
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return languageOf(locale).value_or(Language::Japanese);
}

Language languageOfEnvironment() {
  return chooseLanguage([](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  });
}

Language current() {
  return chosen.load(std::memory_order_relaxed);
}

void setCurrent(Language language) {
  chosen.store(language, std::memory_order_relaxed);
}

const char* code(Language language) {
  return language == Language::English ? "en" : "ja";
}

}  // namespace kelvane::language
