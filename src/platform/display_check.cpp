#include "platform/display_check.h"

#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "language/language.h"

namespace kelvane::platform {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The platform names of a list such as "wayland;xcb", options dropped.
std::vector<std::string> platformNames(const std::string& list) {
  std::vector<std::string> names;
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ';');) {
    item = item.substr(0, item.find(':'));
    if (!item.empty()) names.push_back(item);
  }
  return names;
}

bool x11Answers() {
  if (environment("DISPLAY").empty()) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

bool waylandSocketThere() {
  // Where the Wayland client library looks: an absolute name as it is,
  // otherwise in $XDG_RUNTIME_DIR, "wayland-0" when none is named.
  std::string name = environment("WAYLAND_DISPLAY");
  if (name.empty()) name = "wayland-0";
  if (name.front() != '/') {
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    name = runtime + "/" + name;
  }
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

bool displayReachable(const DisplayFacts& facts) {
  std::vector<std::string> names = platformNames(facts.platforms);
  if (names.empty()) {
    // Qt's own choice: X11, after Wayland in a Wayland session.
    if (facts.waylandSession) names.push_back("wayland");
    names.push_back("xcb");
  }
  for (const std::string& name : names) {
    if (name == "xcb") {
      if (facts.x11Reachable) return true;
    } else if (name.rfind("wayland", 0) == 0) {
      if (facts.waylandReachable) return true;
    } else {
      return true;
    }
  }
  return false;
}

DisplayFacts probeDisplayFacts(int argc, char** argv) {
  DisplayFacts facts;
  facts.platforms = environment("QT_QPA_PLATFORM");
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
      facts.platforms = argv[i + 1];
    }
  }
  facts.waylandSession = environment("XDG_SESSION_TYPE") == "wayland";
  facts.x11Reachable = x11Answers();
  facts.waylandReachable = waylandSocketThere();
  return facts;
}

std::string noDisplayMessage(const DisplayFacts& facts) {
  if (language::current() == language::Language::English) {
    std::string why = facts.platforms.empty()
                          ? "neither DISPLAY nor WAYLAND_DISPLAY names a display"
                          : "no display answers for QT_QPA_PLATFORM=" + facts.platforms;
    return "kelvane: cannot open the window without a display (" + why +
           "). Start it inside a desktop session.\n";
  }
  std::string why = facts.platforms.empty()
                        ? "DISPLAY にも WAYLAND_DISPLAY にも画面がありません"
                        : "QT_QPA_PLATFORM=" + facts.platforms + " の画面に接続できません";
  return "kelvane: 画面に接続できないため、ウィンドウを開けません (" + why +
         ")。デスクトップのセッションの中で起動してください。\n";
}

}  // namespace kelvane::platform
