#include "settings/settings_place.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kelvane::settings {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFileName = "Kelvane.cnf";

bool entryExists(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

SettingsPlace chooseSettingsPlace(const PlaceFacts& facts) {
  const fs::path programDir(facts.programDir);
  const bool portable =
      facts.settingsBesideProgram || (facts.programDirWritable && !facts.installedLayout);
  // The base folder rules: a relative $XDG_CONFIG_HOME is ignored.
  fs::path configHome;
  if (fs::path(facts.xdgConfigHome).is_absolute()) {
    configHome = facts.xdgConfigHome;
  } else if (fs::path(facts.home).is_absolute()) {
    configHome = fs::path(facts.home) / ".config";
  }
  if (portable || configHome.empty()) {
    return {(programDir / kFileName).string(), facts.programDir};
  }
  std::string current = !facts.startDir.empty() ? facts.startDir : facts.home;
  return {(configHome / "kelvane" / kFileName).string(), current, true};
}

std::string absolutePath(const std::string& text, const std::string& base) {
  if (text.empty() || text.front() == '"' || fs::path(text).is_absolute() || base.empty()) {
    return text;
  }
  return (fs::path(base) / text).lexically_normal().string();
}

PlaceFacts probePlaceFacts(const std::string& programDir) {
  PlaceFacts facts;
  facts.programDir = programDir;
  const fs::path dir(programDir);
  facts.settingsBesideProgram = entryExists(dir / kFileName);
  facts.programDirWritable = ::access(programDir.c_str(), W_OK | X_OK) == 0;
  facts.installedLayout = entryExists(dir / KELVANE_INSTALLED_MARKER);
  facts.xdgConfigHome = environment("XDG_CONFIG_HOME");
  facts.home = environment("HOME");
  if (facts.home.empty()) {
    if (const passwd* user = ::getpwuid(::getuid())) facts.home = user->pw_dir ? user->pw_dir : "";
  }
  std::error_code ec;
  const fs::path start = fs::current_path(ec);
  if (!ec) facts.startDir = start.string();
  return facts;
}

bool makeSettingsFolder(const std::string& settingsPath) {
  const fs::path folder = fs::path(settingsPath).parent_path();
  if (folder.empty()) return true;
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string loginFolder(const std::string& settingsPath, bool besideSettings,
                        const std::string& xdgDataHome, const std::string& home) {
  std::error_code ec;
  fs::path settings = fs::absolute(settingsPath, ec).lexically_normal();
  if (ec) settings = settingsPath;
  const std::string name = settings.stem().string();
  if (besideSettings) return (settings.parent_path() / (name + ".profile")).string();
  fs::path dataHome;
  if (fs::path(xdgDataHome).is_absolute()) {
    dataHome = xdgDataHome;
  } else {
    dataHome = fs::path(home) / ".local" / "share";
  }
  // FNV-1a over the path: stable between the window and kelvane-run.
  uint64_t hash = 0xcbf29ce484222325u;
  for (const unsigned char c : settings.string()) hash = (hash ^ c) * 0x100000001b3u;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return (dataHome / "kelvane" / "profiles" / (name + "-" + hex)).string();
}

std::string findLoginFolder(const std::string& settingsPath) {
  const std::string beside = loginFolder(settingsPath, true, {}, {});
  struct stat st;
  if (::stat(beside.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return beside;
  std::string home = environment("HOME");
  if (home.empty()) {
    if (const passwd* user = ::getpwuid(::getuid())) home = user->pw_dir ? user->pw_dir : "";
  }
  return loginFolder(settingsPath, false, environment("XDG_DATA_HOME"), home);
}

bool makePrivateFolder(const std::string& folder) {
  if (!makeSettingsFolder((fs::path(folder) / "x").string())) return false;
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::chmod(folder.c_str(), 0700);
  return true;
}

std::string watchName(const std::string& settingsPath) {
  std::error_code ec;
  const auto path = std::filesystem::absolute(settingsPath, ec).lexically_normal();
  const std::string stem = path.stem().string();
  if (stem != "Kelvane" || !path.has_parent_path()) return stem;
  const std::string folder = path.parent_path().filename().string();
  return folder.empty() ? stem : folder;
}

}  // namespace kelvane::settings
