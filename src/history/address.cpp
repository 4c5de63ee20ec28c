#include "history/address.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};

// The password's place in an address: its user part's "user:password@", and
// every "password=" option.
template <typename Replace>
std::string replacePasswords(std::string_view address, Replace replace) {
  std::string out(address);
  if (!isServerAddress(address)) return out;
  const size_t from = out.find("://") + 3;
  const size_t end = std::min(out.find_first_of("/?#", from), out.size());
  const size_t at = out.rfind('@', end);
  if (at != std::string::npos && at >= from) {
    const size_t colon = out.find(':', from);
    if (colon < at) {
      const std::string with = replace(true, out.substr(colon + 1, at - colon - 1));
      out = out.substr(0, colon) + with + out.substr(at);
    }
  }
  // The options, one by one: a password option is replaced or dropped.
  const size_t query = out.find('?');
  if (query == std::string::npos) return out;
  std::string options;
  for (size_t at = query + 1; at <= out.size();) {
    const size_t stop = std::min(out.find('&', at), out.size());
    std::string option = out.substr(at, stop - at);
    if (option.rfind("password=", 0) == 0) option = replace(false, option.substr(9));
    if (!option.empty()) options += (options.empty() ? "" : "&") + option;
    at = stop + 1;
  }
  out.resize(query);
  if (!options.empty()) out += "?" + options;
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

fs::path stateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && fs::path(state).is_absolute()) return fs::path(state) / "kelvane";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local/state/kelvane";
}

}  // namespace

bool isServerAddress(std::string_view address) {
  for (const std::string_view scheme : kSchemes) {
    if (address.substr(0, scheme.size()) == scheme) return true;
  }
  return false;
}

std::string maskedAddress(std::string_view address) {
  return replacePasswords(address, [](bool userPart, const std::string&) -> std::string {
    return userPart ? ":***" : "password=***";
  });
}

std::string addressWithoutPassword(std::string_view address) {
  return replacePasswords(address, [](bool, const std::string&) { return std::string(); });
}

std::string passwordOf(std::string_view address) {
  std::string found;
  replacePasswords(address, [&found](bool, const std::string& password) {
    if (found.empty()) found = password;
    return std::string();
  });
  std::string decoded;
  for (size_t i = 0; i < found.size(); ++i) {
    if (found[i] == '%' && i + 2 < found.size() && hexValue(found[i + 1]) >= 0 &&
        hexValue(found[i + 2]) >= 0) {
      decoded += static_cast<char>(hexValue(found[i + 1]) * 16 + hexValue(found[i + 2]));
      i += 2;
    } else {
      decoded += found[i];
    }
  }
  return decoded;
}

std::string withoutPasswords(std::string message, std::string_view address) {
  replacePasswords(address, [&message](bool, const std::string& password) {
    for (size_t at = 0;
         !password.empty() && (at = message.find(password, at)) != std::string::npos;) {
      message.replace(at, password.size(), "***");
      at += 3;
    }
    return std::string();
  });
  return message;
}

std::string spoolPathFor(std::string_view address, const std::string& settingsPath) {
  std::string name = addressWithoutPassword(address);
  name.erase(0, name.find("://") + 3);
  for (char& c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '@' || c == '.' || c == '-';
    if (!plain) c = '_';
  }
  if (name.size() > 120) name.resize(120);
  // A settings folder that cannot be written (mounted read-only in a
  // container) sends the spool to the state folder.
  fs::path folder = stateFolder();
  if (!settingsPath.empty()) {
    std::error_code ec;
    const fs::path beside = fs::absolute(settingsPath, ec).parent_path();
    if (::access(beside.c_str(), W_OK) == 0) folder = beside;
  }
  return (folder / ("kelvane-spool-" + name + ".sqlite")).string();
}

}  // namespace kelvane::history
