#include "settings/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::settings {
namespace {

namespace fs = std::filesystem;
using textfile::Encoding;

// Settings with every field away from its start value, texts that a
// quoting or splitting format would damage.
Settings unusual() {
  Settings s;
  s.windowWidth = 9600;
  s.windowHeight = 7215.5f;
  s.windowTop = -120;
  s.windowLeft = 1e7f;
  s.url = u"http://example.com/a b,c?q=\"x\"&日本語";
  s.interval = u" 5 ";
  s.autoUpdate = 1;
  s.logPath = u"C:\\ログ\\my log, \"2024\".txt";
  s.autoLog = 2;
  s.timeWindow = 1;
  s.startHour = u"9";
  s.startMinute = u"";
  s.endHour = u"17";
  s.endMinute = u"30 分";
  s.fontSize = 10.5f;
  s.scriptPath = u"\"C:\\scripts\\prices.spt\"";
  s.backColor = -2147483643;
  s.foreColor = 0x00FF8040;
  s.fontName = u"Noto Sans CJK JP";
  s.bold = true;
  s.italic = false;
  s.wait = u"3 word";
  s.changeNotice = 1, s.settleMode = u"auto";
  s.keyed = {{u"fetch", u"auto"}, {u"note", u"a=b 日本"}};
  return s;
}

std::string lines(std::initializer_list<const char*> items) {
  std::string out;
  for (const char* item : items) out += std::string(item) + "\r\n";
  return out;
}

TEST(SettingsNumbers, SingleValuesInThePlainPrintForm) {
  const std::pair<float, const char16_t*> cases[] = {
      {9600, u" 9600 "},
      {10.5f, u" 10.5 "},
      {0, u" 0 "},
      {-0.0f, u" 0 "},
      {-120, u"-120 "},
      {1234567, u" 1234567 "},
      {1e7f, u" 1E+07 "},
      {12345678, u" 1.234568E+07 "},
      {0.1f, u" 0.1 "},
      {0.25f, u" 0.25 "},
      {0.0001f, u" 0.0001 "},
      {0.00001f, u" 1E-05 "},
      {-1.5e-5f, u"-1.5E-05 "},
      {3.402823e38f, u" 3.402823E+38 "},
      {1e-45f, u" 1E-45 "},
      {100000, u" 100000 "},
      {1.0f / 3, u" 0.3333333 "},
      {std::nanf(""), u" 0 "},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(singleText(value), text) << value;
  EXPECT_EQ(integerText(1), u" 1 ");
  EXPECT_EQ(integerText(0), u" 0 ");
  EXPECT_EQ(integerText(-2147483643), u"-2147483643 ");
  EXPECT_EQ(integerText(2147483647), u" 2147483647 ");
}

TEST(SettingsNumbers, ShortSingleValuesReadBackExactly) {
  for (float v :
       {9600.f, 10.5f, -120.f, 1e7f, 0.1f, 0.3f, 1234.567f, 7e-5f, -3.25e20f, 9999999.f}) {
    EXPECT_EQ(singleFrom(singleText(v)), v) << v;
  }
}

TEST(SettingsConversions, ReaderConversions) {
  // Check-box states: nearest integer, halves to even, only 0, 1 and 2.
  const std::pair<const char16_t*, std::optional<int16_t>> states[] = {
      {u" 1 ", 1}, {u"2", 2},  {u"1.5", 2}, {u"2.5", 2},  {u"0.5", 0}, {u"abc", 0},
      {u"", 0},    {u"3", {}}, {u"-1", {}}, {u"1e9", {}}, {u" 1 x", 1}};
  for (const auto& [line, state] : states)
    EXPECT_EQ(checkStateFrom(line), state) << "[" << textfile::toUtf8(line) << "]";

  const std::pair<const char16_t*, std::optional<int32_t>> codes[] = {
      {u"-2147483643 ", -2147483643},
      {u" 255 ", 255},
      {u"2147483647", 2147483647},
      {u"-2147483648", INT32_MIN},
      {u"2147483648", {}},
      {u"-2147483649", {}},
      {u"1.5", 2},
      {u"2.5", 2},
      {u"1e3", 1000},
      {u"&H8000000F", -2147483633},
      {u"&hff", 255},
      {u"&O17", 15},
      {u"12abc", {}},
      {u"red", {}},
      {u"", {}},
      {u"&H100000000", {}},
      {u"1e400", {}},
      {u"\t7\t", 7}};
  for (const auto& [line, code] : codes)
    EXPECT_EQ(int32From(line), code) << "[" << textfile::toUtf8(line) << "]";

  const std::pair<const char16_t*, std::optional<bool>> flags[] = {
      {u"True", true}, {u"tRUE", true}, {u" False ", false}, {u"1", true}, {u"-1", true},
      {u"0", false},   {u"0.0", false}, {u"yes", {}},        {u"", {}},    {u"Truex", {}}};
  for (const auto& [line, flag] : flags)
    EXPECT_EQ(booleanFrom(line), flag) << "[" << textfile::toUtf8(line) << "]";

  for (const char16_t* low : {u"0", u"0.5", u"letters", u"", u"-3", u" 0.99"}) {
    EXPECT_EQ(waitFrom(low), u"8") << textfile::toUtf8(low);
  }
  for (const char16_t* kept : {u"3", u" 3 ", u"3 word", u"1", u"12.5"})
    EXPECT_EQ(waitFrom(kept), kept);
  EXPECT_EQ(singleFrom(u"1e39"), std::nullopt);  // beyond single precision
}

// The window runs with the C locale of the user's environment: numbers must
// be written and read with a point where that locale uses a comma. Such a
// locale is built here, so that the test needs no installed one.
TEST(SettingsNumbers, WrittenAndReadTheSameUnderACommaLocale) {
  const fs::path place =
      fs::temp_directory_path() / ("kelvane-locale-" + std::to_string(::getpid()));
  fs::create_directories(place);
  std::ofstream(place / "comma.src") << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\n"
                                        "grouping 3;3\nEND LC_NUMERIC\n";
  const std::string build = "localedef -c -i " + (place / "comma.src").string() + " " +
                            (place / "comma").string() + " >/dev/null 2>&1";
  [[maybe_unused]] const int warnings = std::system(build.c_str());  // other categories missing
  ::setenv("LOCPATH", place.c_str(), 1);
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const bool comma = std::setlocale(LC_NUMERIC, "comma") != nullptr;
  ::unsetenv("LOCPATH");
  fs::remove_all(place);
  if (!comma) GTEST_SKIP() << "localedef could not build a locale";
  const Text point = singleText(7215.5f), whole = singleText(9600);
  const auto read = singleFrom(u" 10.5 ");
  const auto code = int32From(u"2.5E1");
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(point, u" 7215.5 ");
  EXPECT_EQ(whole, u" 9600 ");
  EXPECT_EQ(read, 10.5f);
  EXPECT_EQ(code, 25);
}

TEST(SettingsFile, TheFieldTableReachesEveryMember) {
  // Moving each field through the table, as a front end does, copies all.
  const Settings from = unusual();
  Settings to;
  for (const FieldSpec& field : kFields) {
    EXPECT_EQ(shownValue(from, field.line).empty(), field.line == Field::StartMinute);
    if (auto* v = valueOf<float>(to, field.line)) *v = *valueOf<float>(from, field.line);
    if (auto* v = valueOf<Text>(to, field.line)) *v = *valueOf<Text>(from, field.line);
    if (auto* v = valueOf<int16_t>(to, field.line)) *v = *valueOf<int16_t>(from, field.line);
    if (auto* v = valueOf<int32_t>(to, field.line)) *v = *valueOf<int32_t>(from, field.line);
    if (auto* v = valueOf<bool>(to, field.line)) *v = *valueOf<bool>(from, field.line);
  }
  EXPECT_NE(to, from);  // the keyed lines are no fields: a front end keeps them as read
  to.keyed = from.keyed;
  EXPECT_EQ(to, from);
  EXPECT_EQ(shownValue(from, Field::WindowLeft), u"1E+07");
  EXPECT_EQ(shownValue(from, Field::BackColor), u"-2147483643");
  EXPECT_EQ(shownValue(from, Field::Bold), u"True");
  EXPECT_EQ(shownValue(from, Field::Interval), u" 5 ");
}

TEST(SettingsFile, WriterBytesAreExact) {
  Settings s = unusual();
  s.url = u"http://example.com/";
  s.logPath = u"log.txt";
  s.endMinute = u"30";
  s.scriptPath = u"設定.spt";
  s.fontName = u"ＭＳ Ｐゴシック";
  EXPECT_EQ(settingsBytes(s), lines({" 9600 ",
                                     " 7215.5 ",
                                     "-120 ",
                                     " 1E+07 ",
                                     "http://example.com/",
                                     " 5 ",
                                     " 1 ",
                                     "log.txt",
                                     " 2 ",
                                     " 1 ",
                                     "9",
                                     "",
                                     "17",
                                     "30",
                                     " 10.5 ",
                                     "\x90\xDD\x92\xE8.spt",
                                     "-2147483643 ",
                                     " 16744512 ",
                                     "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E",
                                     "True",
                                     "False",
                                     "3 word",
                                     " 1 ",
                                     "auto",
                                     "fetch=auto",
                                     "note=a=b \x93\xFA\x96\x7B"}));
}

// The keyed lines after line 24: blanks around key and value dropped, a
// line that is no "key=value" left out, the last of a key counting.
TEST(SettingsFile, KeyedLinesAfterTheClassicOnes) {
  const std::string all = settingsBytes(Settings{});
  Settings s;
  applySettings(all + " fetch = direct \r\njunk\r\n=x\r\n\r\nFetch=auto\nother=\r\n", s);
  const std::vector<std::pair<Text, Text>> keyed = {
      {u"fetch", u"direct"}, {u"Fetch", u"auto"}, {u"other", u""}};
  EXPECT_EQ(s.keyed, keyed);
  EXPECT_EQ(keyedValue(s, u"fetch"), Text(u"auto"));
  EXPECT_EQ(keyedValue(s, u"none"), std::nullopt);
  setKeyedValue(s, u"fetch", u"browser");
  setKeyedValue(s, u"new", u"1");
  EXPECT_EQ(s.keyed.back(), std::pair(Text(u"new"), Text(u"1")));
  EXPECT_EQ(s.keyed[1].second, u"browser");
  // A file without keyed lines leaves those read before.
  applySettings(all, s);
  EXPECT_EQ(s.keyed.size(), 4u);
}

TEST(SettingsFile, WrittenAndReadBackRestoresEveryField) {
  for (const char16_t* extra : {u"", u" 😀"}) {  // CP932 file, then a UTF-8 one
    Settings written = unusual();
    written.url += extra;
    Settings read;
    const ReadReport report = applySettings(settingsBytes(written), read);
    EXPECT_EQ(read, written);
    EXPECT_EQ(report.encoding, *extra ? Encoding::Utf8 : Encoding::Cp932);
    for (LineStatus status : report.lines) EXPECT_EQ(status, LineStatus::Read);
  }
}

TEST(SettingsFile, Cp932BytesThatLookLikeUtf8AreWrittenAsUtf8) {
  Settings s;
  s.fontName = u"縺０";  // CP932 E3 81 82 4F is also valid UTF-8 ("あO")
  Settings read;
  EXPECT_EQ(applySettings(settingsBytes(s), read).encoding, Encoding::Utf8);
  EXPECT_EQ(read.fontName, s.fontName);
}

TEST(SettingsFile, ARefusedLineKeepsOnlyItsOwnField) {
  Settings s;
  s.bold = true;
  const std::string file =
      lines({"x", "",  " 30", "-5",           "u", "",      "3", "p",  "1", "0", "", "", "", "",
             "0", "s", "red", "-2147483643 ", "",  "maybe", "1", "0.5"});
  const ReadReport report = applySettings(file, s);
  const Settings start;
  EXPECT_EQ(s.windowWidth, 0);  // no number gives 0, raised by the layout later
  EXPECT_EQ(s.windowTop, 30);
  EXPECT_EQ(s.autoUpdate, start.autoUpdate);  // 3 is no check-box state
  EXPECT_EQ(s.logPath, u"p");
  EXPECT_EQ(s.autoLog, 1);
  EXPECT_EQ(s.fontSize, start.fontSize);    // size 0
  EXPECT_EQ(s.backColor, start.backColor);  // a word
  EXPECT_EQ(s.foreColor, -2147483643);
  EXPECT_EQ(s.fontName, start.fontName);  // empty name
  EXPECT_TRUE(s.bold);                    // "maybe"
  EXPECT_TRUE(s.italic);
  EXPECT_EQ(s.wait, u"8");
  for (Field f :
       {Field::AutoUpdate, Field::FontSize, Field::BackColor, Field::FontName, Field::Bold}) {
    EXPECT_EQ(report.status(f), LineStatus::Refused) << static_cast<int>(f);
  }
  EXPECT_EQ(report.status(Field::WindowWidth), LineStatus::Read);

  ReadRules rules;
  rules.fontAvailable = [](TextView name) { return name == u"Known"; };
  Settings t;
  applySettings(lines({"1", "1", "1", "1", "", "",  "0", "",        "0", "0", "",
                       "",  "",  "",  "9", "", "0", "0", "Unknown", "0", "0", "8"}),
                t, rules);
  EXPECT_EQ(t.fontName, start.fontName);
}

TEST(SettingsFile, TheLinesAfterThe22ndAreOffUnlessTheyHoldTheirValues) {
  const std::string all = settingsBytes(Settings{}), base = all.substr(0, all.rfind(" 0 \r\n"));
  const std::tuple<const char*, int16_t, const char16_t*, LineStatus> cases[] = {
      {"", 0, u"fixed", LineStatus::Missing},
      {" 1 \r\n AUTO \r\n", 1, u"auto", LineStatus::Read},
      {"2\r\nslow\r\nmore\r\n", 0, u"fixed", LineStatus::Refused},
  };
  for (const auto& [tail, notice, mode, status] : cases) {
    Settings s;
    const ReadReport report = applySettings(base + tail, s);
    EXPECT_EQ(s.wait, u"8") << tail;  // line 22 still in its place
    EXPECT_EQ(std::pair(s.changeNotice, s.settleMode), std::pair(notice, Text(mode))) << tail;
    EXPECT_EQ(report.status(Field::SettleMode), status) << tail;
  }
}

TEST(SettingsFile, ShortEmptyBinaryAndLongFilesReadWithoutFailing) {
  const Settings start = unusual();
  Settings s = start;
  const ReadReport empty = applySettings("", s);
  EXPECT_EQ(s, start);
  for (LineStatus status : empty.lines) EXPECT_EQ(status, LineStatus::Missing);

  s = start;
  const ReadReport shortFile = applySettings(" 5000 \r\n 4000 \r\n 1 \r\n 2 \r\nhttp://x/", s);
  EXPECT_EQ(s.windowWidth, 5000);
  EXPECT_EQ(s.url, u"http://x/");
  EXPECT_EQ(shortFile.status(Field::Url), LineStatus::Read);
  EXPECT_EQ(shortFile.status(Field::Interval), LineStatus::Missing);
  EXPECT_EQ(s.interval, start.interval);
  EXPECT_EQ(s.wait, start.wait);

  // Line ends of other systems, and lines after the 22nd.
  Settings a, b, c;
  std::string lf = settingsBytes(unusual()), cr = lf;
  for (size_t i; (i = lf.find("\r\n")) != std::string::npos;) lf.replace(i, 2, "\n");
  for (size_t i; (i = cr.find("\r\n")) != std::string::npos;) cr.replace(i, 2, "\r");
  applySettings(lf, a);
  applySettings(cr, b);
  applySettings(settingsBytes(unusual()) + "extra\r\n" + std::string(3 << 20, '\xFF'), c);
  EXPECT_EQ(a, unusual());
  EXPECT_EQ(b, unusual());
  EXPECT_EQ(c, unusual());

  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::string junk(static_cast<size_t>(random() % 4000), '\0');
    for (char& ch : junk) ch = static_cast<char>(random());
    Settings d;
    applySettings(junk, d);
    EXPECT_FALSE(d.wait.empty());
    EXPECT_TRUE(d.autoUpdate >= 0 && d.autoUpdate <= 2);
  }
}

TEST(SettingsFile, ALineBreakInsideATextDoesNotShiftLaterFields) {
  Settings s = unusual();
  s.url = u"a\r\nb\rc\nd";
  Settings read;
  applySettings(settingsBytes(s), read);
  EXPECT_EQ(read.url, u"a b c d");
  EXPECT_EQ(read.interval, s.interval);
  EXPECT_EQ(read.wait, s.wait);
}

class SettingsSave : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-settings-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "Kelvane.cnf").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string path_;
};

TEST_F(SettingsSave, SavesTheWriterBytesAndReadsThemBack) {
  ASSERT_TRUE(saveSettings(path_, unusual()));
  EXPECT_EQ(textfile::readFileBytes(path_), settingsBytes(unusual()));
  Settings s;
  ASSERT_TRUE(readSettingsFile(path_, s));
  EXPECT_EQ(s, unusual());
  EXPECT_FALSE(readSettingsFile((dir_ / "missing.cnf").string(), s));
  EXPECT_FALSE(saveSettings((dir_ / "no-folder" / "Kelvane.cnf").string(), s));
  EXPECT_EQ(cannotWriteMessage(), u"設定ファイルに書き込めません．");
}

TEST_F(SettingsSave, AnOverlongLineDoesNotFillMemory) {
  std::ofstream(path_, std::ios::binary) << " 5000 \r\n"
                                         << std::string(64 << 20, 'x') << "\r\n 7 \r\n";
  Settings s;
  const auto report = readSettingsFile(path_, s);
  ASSERT_TRUE(report);
  EXPECT_EQ(s.windowWidth, 5000);
  EXPECT_EQ(s.windowHeight, 0);  // the part of the long line that was read
  EXPECT_EQ(report->status(Field::WindowTop), LineStatus::Missing);
}

TEST_F(SettingsSave, TheReadCapKeepsTheEncodingAndAFifoIsNotWaitedFor) {
  // A UTF-8 file whose overlong line 6 the 4 MiB cap cuts inside a character:
  // the lines before it still read as UTF-8.
  std::string file = " 5000 \r\n 1 \r\n 2 \r\n 3 \r\n日本x\r\n";
  ASSERT_EQ(((4 << 20) - file.size()) % 3, 2u);
  for (int i = 0; i < (4 << 20) / 3 + 10; ++i) file += "あ";
  std::ofstream(path_, std::ios::binary) << file << "\r\n 1 \r\n";
  Settings s;
  const auto report = readSettingsFile(path_, s);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->encoding, Encoding::Utf8);
  EXPECT_EQ(s.url, u"日本x");

  fs::remove(path_);
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  ::alarm(10);  // ends the test if the read waits for a writer
  EXPECT_FALSE(readSettingsFile(path_, s));
  ::alarm(0);
}

TEST_F(SettingsSave, AFailedSaveLeavesThePreviousFileIntact) {
  ASSERT_TRUE(saveSettings(path_, Settings{}));
  const auto before = textfile::readFileBytes(path_);
  // The write stops after 40 bytes, as when the disk fills up or the
  // program is killed halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 40;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = saveSettings(path_, unusual());
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_EQ(textfile::readFileBytes(path_), before);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind
}

}  // namespace
}  // namespace kelvane::settings
