// The protected-symlinks rule, applied by the program itself: on systems
// that leave it off, a link another user put in /tmp would otherwise take
// a write of ours to any file of ours it names.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "textfile/file_io.h"

namespace kelvane::textfile {
namespace {

// Links followed at most, as the kernel allows; past them the open fails.
constexpr int kMaxLinks = 40;

// Pushes the parts of path onto pending so that its first part is on top.
void pushParts(std::string_view path, std::vector<std::string>* pending) {
  std::vector<std::string> parts;
  for (size_t at = 0; at < path.size();) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.emplace_back(path.substr(at, end - at));
    at = end + 1;
  }
  pending->insert(pending->end(), parts.rbegin(), parts.rend());
}

// A link in a sticky folder that everyone may write to is followed only
// when it is the follower's or the folder owner's.
bool followRefused(const struct stat& folder, uid_t linkOwner) {
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return shared && linkOwner != ::geteuid() && linkOwner != folder.st_uid;
}

std::string linkTarget(const std::string& link) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < target.size()) {
      target.resize(static_cast<size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

}  // namespace

std::optional<std::string> plantedLink(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // The part walked so far, holding no link; empty for the root.
  std::string walked;
  if (path.front() != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) return std::nullopt;
    walked = cwd;
    std::free(cwd);
    if (walked == "/") walked.clear();
  }
  std::vector<std::string> pending;
  pushParts(path, &pending);
  for (int links = 0; !pending.empty();) {
    const std::string part = std::move(pending.back());
    pending.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      // The walked part holds no link, so its parent is the textual one.
      walked.resize(std::min(walked.size(), walked.rfind('/')));
      continue;
    }
    const std::string next = walked + "/" + part;
    struct stat link {};
    if (::lstat(next.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
      walked = next;
      continue;
    }
    struct stat folder {};
    if (::stat(walked.empty() ? "/" : walked.c_str(), &folder) == 0 &&
        followRefused(folder, link.st_uid)) {
      return next;
    }
    const std::string target = linkTarget(next);
    if (target.empty() || ++links > kMaxLinks) return std::nullopt;  // the open will say why
    if (target.front() == '/') walked.clear();
    pushParts(target, &pending);
  }
  return std::nullopt;
}

std::string plantedLinkReason(const std::string& link) {
  return link + " is a link that another user put in a folder everyone may write to; " +
         "it is not followed";
}

}  // namespace kelvane::textfile
