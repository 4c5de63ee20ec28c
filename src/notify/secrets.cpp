#include "notify/secrets.h"

#include <cstring>

namespace kelvane::notify {
namespace {

constexpr std::string_view kKey = "notify";

struct UrlParts {
  std::string_view scheme, user, password, host, rest;  // rest: path, query, fragment
};

UrlParts split(std::string_view url) {
  UrlParts p;
  const size_t colon = url.find("://");
  p.scheme = url.substr(0, colon);
  std::string_view s = url.substr(colon + 3);
  const size_t slash = s.find_first_of("/?#");
  std::string_view authority = s.substr(0, slash);
  p.rest = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view info = authority.substr(0, at);
    const size_t c = info.find(':');
    p.user = info.substr(0, c);
    if (c != std::string_view::npos) p.password = info.substr(c + 1);
    authority = authority.substr(at + 1);
  }
  p.host = authority;
  return p;
}

// A host that names a machine rather than carrying a token (discord://ID/…).
bool namesMachine(const UrlParts& p) {
  return !p.user.empty() || p.host.find_first_of(".:[") != std::string_view::npos ||
         p.host == "localhost";
}

}  // namespace

std::string maskTarget(std::string_view target) {
  if (target.find("://") == std::string_view::npos) return std::string(target);
  const UrlParts p = split(target);
  std::string shown(p.scheme);
  shown += "://";
  if (!namesMachine(p)) return shown + "****";
  if (!p.user.empty()) {
    shown += p.user;
    if (!p.password.empty()) shown += ":****";
    shown += '@';
  }
  shown += p.host;
  if (!p.rest.empty() && p.rest != "/") shown += "/****";
  return shown;
}

std::string maskedIn(std::string text, std::string_view target) {
  if (target.find("://") == std::string_view::npos) return text;
  const UrlParts p = split(target);
  std::vector<std::string_view> secrets{target, p.password};
  if (!namesMachine(p)) secrets.push_back(p.host);
  // Every piece of the path and query: a token may stand anywhere there.
  size_t start = 0;
  for (size_t i = 0; i <= p.rest.size(); ++i) {
    if (i == p.rest.size() || std::strchr("/?&=#", p.rest[i])) {
      if (i - start >= 3) secrets.push_back(p.rest.substr(start, i - start));
      start = i + 1;
    }
  }
  for (const std::string_view secret : secrets) {
    if (secret.size() < 3) continue;
    for (size_t at; (at = text.find(secret)) != std::string::npos;)
      text.replace(at, secret.size(), "****");
  }
  return text;
}

std::optional<std::vector<std::string>> readTargets(const std::string& path, std::string* error) {
  return settings::readSecrets(path, kKey, error);
}

bool writeTargets(const std::string& path, const std::vector<std::string>& targets,
                  std::string* error) {
  return settings::writeSecrets(path, kKey, targets, error);
}

}  // namespace kelvane::notify
