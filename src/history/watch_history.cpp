#include "history/watch_history.h"

#include <filesystem>
#include <vector>

#include "history/address.h"
#include "history/store.h"
#include "settings/secrets_file.h"
#include "textfile/text_codec.h"

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;

// A password as a URI's option value holds it: every byte but the
// unreserved ones as %XX.
std::string percentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += c;
    } else {
      ((out += '%') += kHex[b >> 4]) += kHex[b & 15];
    }
  }
  return out;
}

}  // namespace

std::string withPassword(std::string_view address, std::string_view password) {
  std::string out(address);
  if (password.empty() || !isServerAddress(address) || !passwordOf(address).empty()) return out;
  const size_t fragment = out.find('#');
  const std::string option = "password=" + percentEncoded(password);
  const size_t end = fragment == std::string::npos ? out.size() : fragment;
  const bool hasQuery = out.find('?') < end;
  out.insert(end, (hasQuery ? (out[end - 1] == '?' ? "" : "&") : "?") + option);
  return out;
}

std::optional<std::string> configuredHistory(const std::string& settingsPath,
                                             const settings::Settings& values, std::string* error) {
  const std::optional<settings::Text> named = settings::keyedValue(values, kHistoryKey);
  if (!named || named->empty()) return std::string();
  const std::string address = textfile::toUtf8(*named);
  if (!isServerAddress(address)) {
    const fs::path path(address);
    if (path.is_absolute()) return address;
    std::error_code ec;
    return (fs::absolute(settingsPath, ec).parent_path() / path).lexically_normal().string();
  }
  const auto passwords =
      settings::readSecrets(settings::secretsPathFor(settingsPath), kHistoryPasswordKey, error);
  if (!passwords) return std::nullopt;
  return passwords->empty() ? address : withPassword(address, passwords->back());
}

std::optional<std::string> watchHistory(const std::string& settingsPath,
                                        const settings::Settings& values, std::string* error) {
  auto configured = configuredHistory(settingsPath, values, error);
  if (configured && configured->empty()) return historyPathFor(settingsPath);
  return configured;
}

std::optional<std::string> watchHistory(const std::string& settingsPath, std::string* error) {
  settings::Settings values;
  if (!settingsPath.empty()) settings::readSettingsFile(settingsPath, values);
  return watchHistory(settingsPath, values, error);
}

bool keepWatchHistory(const std::string& settingsPath, std::string_view address,
                      std::string_view password, settings::Settings* values, std::string* error) {
  const std::string kept =
      isServerAddress(address) ? addressWithoutPassword(address) : std::string(address);
  std::string secret(password);
  if (secret.empty()) secret = passwordOf(address);
  if (!isServerAddress(address)) secret.clear();
  const std::string secrets = settings::secretsPathFor(settingsPath);
  std::error_code ec;
  if (!secret.empty() || fs::exists(secrets, ec)) {
    std::vector<std::string> lines;
    if (!secret.empty()) lines.push_back(secret);
    if (!settings::writeSecrets(secrets, kHistoryPasswordKey, lines, error)) return false;
  }
  auto& keyed = values->keyed;
  std::erase_if(keyed, [](const auto& line) {
    settings::Settings one;
    one.keyed = {line};
    return settings::keyedValue(one, kHistoryKey).has_value();
  });
  if (!kept.empty()) keyed.emplace_back(settings::Text(kHistoryKey), textfile::fromUtf8(kept));
  return true;
}

}  // namespace kelvane::history
