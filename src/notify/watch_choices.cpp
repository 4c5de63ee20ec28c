#include "notify/watch_choices.h"

#include <algorithm>
#include <variant>

#include "numbers/decimal.h"
#include "textfile/text_codec.h"

namespace kelvane::notify {
namespace {

constexpr std::u16string_view kWhen = u"notify_when";
constexpr std::u16string_view kFirst = u"notify_first";
constexpr std::u16string_view kAlertAfter = u"notify_alert_after";
constexpr int kMostAlertAfter = 1000000;

char16_t lowerAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Keys compare in any letter case, as the settings file's reader has them.
bool startsLike(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char16_t a, char16_t b) { return a == lowerAscii(b); });
}

bool isNotifyKey(std::u16string_view key) {
  return startsLike(key, u"notify_");
}

bool sameKey(std::u16string_view key, std::u16string_view name) {
  return key.size() == name.size() && startsLike(key, name);
}

}  // namespace

std::optional<std::string> readChoices(const settings::Settings& values, WatchChoices* choices) {
  WatchChoices read;
  read.targets = choices->targets;
  for (const auto& [key, value] : values.keyed) {
    if (!isNotifyKey(key)) continue;
    const std::optional<double> number = numbers::wholeNumber(value);
    if (sameKey(key, kWhen)) {
      read.rules.push_back(textfile::toUtf8(value));
    } else if (sameKey(key, kFirst) && number && (*number == 0 || *number == 1)) {
      read.first = *number == 1;
    } else if (sameKey(key, kAlertAfter) && number && *number >= 0 && *number <= kMostAlertAfter &&
               *number == static_cast<int>(*number)) {
      read.alertAfter = static_cast<int>(*number);
    } else {
      return textfile::toUtf8(key) + " cannot be " + textfile::toUtf8(value);
    }
  }
  *choices = std::move(read);
  return std::nullopt;
}

void writeChoices(const WatchChoices& choices, settings::Settings* values) {
  auto& keyed = values->keyed;
  keyed.erase(std::remove_if(keyed.begin(), keyed.end(),
                             [](const auto& line) { return isNotifyKey(line.first); }),
              keyed.end());
  for (const std::string& rule : choices.rules) {
    keyed.emplace_back(settings::Text(kWhen), textfile::fromUtf8(rule));
  }
  if (choices.first) keyed.emplace_back(settings::Text(kFirst), u"1");
  if (choices.alertAfter != WatchChoices{}.alertAfter) {
    keyed.emplace_back(settings::Text(kAlertAfter),
                       textfile::fromUtf8(std::to_string(choices.alertAfter)));
  }
}

std::optional<NotifySettings> notifySettings(const WatchChoices& choices, std::string* why) {
  NotifySettings settings;
  settings.targets = choices.targets;
  settings.first = choices.first;
  settings.alertAfter = choices.alertAfter;
  for (const std::string& text : choices.rules) {
    auto parsed = parseRule(text);
    if (auto* error = std::get_if<std::string>(&parsed)) {
      *why = std::move(*error);
      return std::nullopt;
    }
    settings.rules.push_back(std::get<Rule>(std::move(parsed)));
  }
  return settings;
}

}  // namespace kelvane::notify
