// A cookie file kept between runs and shared by several programs at once:
// the window's browser, the direct fetch and kelvane-run's browser, all with
// the login the user made once in the window. The format is the Netscape
// cookies.txt that curl, wget and browser add-ons read. libcurl's own cookie
// engine reads and writes its lines; this side locks the file, merges what
// changed, and keeps the file to its owner (mode 0600). A cookie's value is
// never put into a message or a trace: only its name.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::acquisition {

class HttpFetcher;

// One line of libcurl's cookie list (a Netscape cookie file's line) taken
// apart, for a browser's cookie store and for the names in a trace.
struct CookieFields {
  std::string domain;       // without a leading dot
  bool subdomains = false;  // sent to the domain's subdomains too
  std::string path;
  bool secure = false;
  bool httpOnly = false;
  int64_t expires = 0;  // seconds since 1970; 0: a session cookie
  std::string name;
  std::string value;
};
std::optional<CookieFields> cookieFields(std::string_view line);

// The names of the cookies of such lines, in order, comma-separated.
std::string cookieNames(const std::vector<std::string>& lines);

class CookieFile {
 public:
  explicit CookieFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // Before a fetch: when the file is new to this object, or another program
  // changed it since, its cookies are merged into the engine's (the
  // engine's own changes not yet kept stay). A missing file has no cookies.
  // Empty, or why the file cannot be used.
  std::string beforeFetch(HttpFetcher& engine);
  // After a fetch: when the engine's cookies differ from the file's as last
  // seen, the difference is written into the file under its lock, merged
  // with what others wrote meanwhile, and the engine takes the merged set.
  // The file is created with mode 0600 and kept so. Empty, or why the
  // cookies could not be kept.
  std::string afterFetch(HttpFetcher& engine);
  // Empties the file (the window's ログイン情報を消去). Empty, or why not.
  std::string clear();

  // Told what was read and kept, with cookie names only (--trace).
  void setTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }

 private:
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    int64_t modifiedNs = 0;
    bool operator==(const Stamp&) const = default;
  };
  // Opens the file under an exclusive lock (creating it when create is
  // set); -1 with *error when it cannot be used.
  int openLocked(bool create, std::string* error);
  // Replaces the file (locked by the caller) with these cookies.
  std::string write(const std::vector<std::string>& lines);

  std::string path_;
  std::string target_;  // the file a link at path_ leads to
  bool seenOnce_ = false;
  Stamp stamp_;
  // The file's cookies as last read or written, sorted.
  std::vector<std::string> seen_;
  std::function<void(const std::string&)> trace_;
};

}  // namespace kelvane::acquisition
