// The language of the texts the user reads: Japanese, the program's own, for
// every locale that does not ask for English; English for one that does.
// Both programs choose it once at start-up from the environment, before any
// text is built, and every layer reads the same choice.
#pragma once

#include <functional>
#include <string>

namespace kelvane::language {

enum class Language { Japanese, English };

// Reads an environment variable; empty when it is unset.
using EnvironmentLookup = std::function<std::string(const char*)>;

// The message locale is LC_ALL, else LC_MESSAGES, else LANG (the first that is
// set and not empty). The C and POSIX locales (and none at all) keep Japanese
// whatever LANGUAGE says, as gettext does, so scripts and servers see the
// program's own texts. Otherwise the first entry of the LANGUAGE list that
// names Japanese or English decides; with none, the locale's language does.
Language chooseLanguage(const EnvironmentLookup& environment);

// The choice for this process's environment.
Language languageOfEnvironment();

// The language every text is built in; Japanese until set.
Language current();
void setCurrent(Language language);

// The language's code for translation files ("ja", "en").
const char* code(Language language);

}  // namespace kelvane::language
