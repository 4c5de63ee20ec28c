#include "settings/settings_place.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "settings/settings.h"

namespace kelvane::settings {
namespace {

namespace fs = std::filesystem;

struct PlaceCase {
  const char* name;
  PlaceFacts facts;
  const char* settingsPath;
  const char* currentDir;
  bool absolutePaths = false;
};

void PrintTo(const PlaceCase& c, std::ostream* out) {
  *out << c.name;
}

class ChooseSettingsPlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(ChooseSettingsPlace, PicksFileAndCurrentFolder) {
  const PlaceCase& c = GetParam();
  const SettingsPlace place = chooseSettingsPlace(c.facts);
  EXPECT_EQ(place.settingsPath, c.settingsPath);
  EXPECT_EQ(place.currentDir, c.currentDir);
  EXPECT_EQ(place.absolutePaths, c.absolutePaths);
}

// Facts: program folder, Kelvane.cnf there, writable, installed tree,
// $XDG_CONFIG_HOME, home, start folder.
INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseSettingsPlace,
    testing::Values(PlaceCase{"CopyInOwnFolder",
                              {"/h/u/kel", false, true, false, "/h/u/cfg", "/h/u", "/tmp"},
                              "/h/u/kel/Kelvane.cnf",
                              "/h/u/kel"},
                    PlaceCase{"ReadOnlyFolderHoldingTheFile",
                              {"/opt/kel", true, false, true, "/h/u/cfg", "/h/u", "/tmp"},
                              "/opt/kel/Kelvane.cnf",
                              "/opt/kel"},
                    PlaceCase{"Installed",
                              {"/usr/bin", false, false, true, "/h/u/cfg", "/h/u", "/w"},
                              "/h/u/cfg/kelvane/Kelvane.cnf",
                              "/w",
                              true},
                    PlaceCase{"InstalledFolderWritableByRoot",
                              {"/usr/bin", false, true, true, "", "/root", "/root"},
                              "/root/.config/kelvane/Kelvane.cnf",
                              "/root",
                              true},
                    PlaceCase{"ReadOnlyCopyOutsideATree",
                              {"/mnt/cd", false, false, false, "", "/h/u", "/w"},
                              "/h/u/.config/kelvane/Kelvane.cnf",
                              "/w",
                              true},
                    PlaceCase{"RelativeConfigHomeIgnored",
                              {"/usr/bin", false, false, true, "cfg", "/h/u", "/w"},
                              "/h/u/.config/kelvane/Kelvane.cnf",
                              "/w",
                              true},
                    PlaceCase{"ConfigHomeWithTrailingSlash",
                              {"/usr/bin", false, false, true, "/h/u/cfg/", "/h/u", "/w"},
                              "/h/u/cfg/kelvane/Kelvane.cnf",
                              "/w",
                              true},
                    PlaceCase{"UnknownStartFolderMeansHome",
                              {"/usr/bin", false, false, true, "", "/h/u", ""},
                              "/h/u/.config/kelvane/Kelvane.cnf",
                              "/h/u",
                              true},
                    PlaceCase{"NoHomeAtAllStaysBesideProgram",
                              {"/usr/bin", false, false, true, "", "", "/w"},
                              "/usr/bin/Kelvane.cnf",
                              "/usr/bin"}),
    [](const testing::TestParamInfo<PlaceCase>& info) { return std::string(info.param.name); });

class SettingsPlaceOnDisk : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("kelvane_place_" + std::to_string(::getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
  }
  void TearDown() override { fs::remove_all(root_); }
  static void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
  fs::path root_;
};

TEST(AbsolutePath, RelativeTextsNameTheSameFileFromAnyFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"prices.spt", "/w/ex/prices.spt"},
      {"../logs/a.log", "/w/logs/a.log"},
      {"./sub/s.spt", "/w/ex/sub/s.spt"},
      {"/abs/s.spt", "/abs/s.spt"},
      {"", ""},
      {"\"quoted s.spt\"", "\"quoted s.spt\""},
  };
  for (const auto& [text, absolute] : cases)
    EXPECT_EQ(absolutePath(text, "/w/ex"), absolute) << text;
}

TEST_F(SettingsPlaceOnDisk, RecognisesTheFileAndAnInstalledTree) {
  const std::string bin = (root_ / "bin").string();
  PlaceFacts facts = probePlaceFacts(bin);
  EXPECT_TRUE(facts.programDirWritable);
  EXPECT_FALSE(facts.settingsBesideProgram);
  EXPECT_FALSE(facts.installedLayout);
  EXPECT_EQ(facts.startDir, fs::current_path().string());

  fs::create_symlink("nowhere", root_ / "bin" / "Kelvane.cnf");
  EXPECT_TRUE(probePlaceFacts(bin).settingsBesideProgram);
  touch(root_ / "bin" / KELVANE_INSTALLED_MARKER);
  EXPECT_TRUE(probePlaceFacts(bin).installedLayout);
  EXPECT_FALSE(probePlaceFacts((root_ / "missing").string()).programDirWritable);
}

TEST_F(SettingsPlaceOnDisk, SaveCreatesPrivateFoldersOnce) {
  const fs::path file = root_ / "cfg" / "kelvane" / "Kelvane.cnf";
  ASSERT_TRUE(makeSettingsFolder(file.string()));
  ASSERT_TRUE(makeSettingsFolder(file.string()));
  for (const fs::path& made : {root_ / "cfg", root_ / "cfg" / "kelvane"}) {
    struct stat st;
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
  }
  EXPECT_TRUE(saveSettings(file.string(), Settings{}));
  EXPECT_TRUE(fs::is_regular_file(file));

  touch(root_ / "plain");
  EXPECT_FALSE(makeSettingsFolder((root_ / "plain" / "kelvane" / "Kelvane.cnf").string()));
  EXPECT_FALSE(makeSettingsFolder((root_ / "plain" / "Kelvane.cnf").string()));
}

}  // namespace
}  // namespace kelvane::settings
