// Where the window keeps Kelvane.cnf and which folder it makes current: beside
// the program when that folder is the user's, in the per-user configuration
// folder when the program is installed.
#pragma once

#include <string>

namespace kelvane::settings {

// What the choice depends on; probePlaceFacts gathers it from the system.
struct PlaceFacts {
  std::string programDir;              // the folder that holds the program
  bool settingsBesideProgram = false;  // Kelvane.cnf (or a link of that name) is there
  bool programDirWritable = false;     // the user may create files there
  bool installedLayout = false;        // the program sits in an installed tree
  std::string xdgConfigHome;           // $XDG_CONFIG_HOME as set
  std::string home;                    // the user's home folder
  std::string startDir;                // the current folder the program started in
};

struct SettingsPlace {
  std::string settingsPath;  // the file read at start and written by a save
  std::string currentDir;    // the folder relative paths refer to; empty: leave it
  // Relative script and log paths are made absolute before they are shown
  // and stored: the next start may be in another folder (from the menu, the
  // home folder). A portable copy always starts in its own folder.
  bool absolutePaths = false;
};

// A portable copy (the folder already holds Kelvane.cnf, or it is writable and
// not an installed tree) keeps the settings beside the program and makes that
// folder current. An installed program keeps them in
// $XDG_CONFIG_HOME/kelvane (a relative or empty value means ~/.config) and
// stays in the folder it was started in, or the home folder when that is
// unknown, so that `kelvane script.spt` in a shell finds the script there.
SettingsPlace chooseSettingsPlace(const PlaceFacts& facts);

// The facts for the program in programDir. An installed tree is recognised by
// the menu entry that the installation puts beside the program's bin folder.
PlaceFacts probePlaceFacts(const std::string& programDir);

// The path text as an absolute path against base (itself absolute); an
// empty text, an absolute one and one in double quotes (not a file name the
// program could open) stay as they are.
std::string absolutePath(const std::string& text, const std::string& base);

// Creates the missing folders above settingsPath, each readable by the user
// only. False when one cannot be made; the save then fails and says so.
bool makeSettingsFolder(const std::string& settingsPath);

// The folder of a watch's login: its browser profile (cookies, site storage)
// and its cookie file. A portable copy keeps it beside its settings file
// (Kelvane.profile beside Kelvane.cnf); otherwise it is
// $XDG_DATA_HOME/kelvane/profiles/NAME-HASH (a relative or empty value means
// ~/.local/share), one per settings file: NAME its name without ".cnf",
// HASH from its absolute path.
std::string loginFolder(const std::string& settingsPath, bool besideSettings,
                        const std::string& xdgDataHome, const std::string& home);
// kelvane-run's: the folder beside the settings file when there is one,
// else the per-user one of this environment.
std::string findLoginFolder(const std::string& settingsPath);

// The watch's name, as the window's title bar has it and as both the window
// and kelvane-run record it in a history: the settings file's name without
// ".cnf", or its folder's name for a file called Kelvane.cnf.
std::string watchName(const std::string& settingsPath);
// The cookie file inside a login folder, in the Netscape format curl reads.
inline constexpr const char* kCookieFileName = "cookies.txt";

// Makes the folder and the missing ones above it readable by the user only;
// an existing folder of the user's is made so. False when it cannot be made.
bool makePrivateFolder(const std::string& folder);

}  // namespace kelvane::settings
