// Kelvane.cnf: the window's settings as lines in a fixed order, with the
// reader and the writer that mirror each other. Every Kelvane.cnf has the
// first 22; lines 23 and 24 hold two switches of this program's own, after
// them, so that a reader of the 22 lines reads the same file as before.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "textfile/text_codec.h"

namespace kelvane::settings {

using Text = std::u16string;
using TextView = std::u16string_view;

// The settings lines, numbered as in the file.
enum class Field : int {
  WindowWidth = 1,
  WindowHeight,
  WindowTop,
  WindowLeft,
  Url,           // Text2
  Interval,      // Text4
  AutoUpdate,    // Check1 state
  LogPath,       // Text5
  AutoLog,       // Check3 state
  TimeWindow,    // TimeWindow state
  StartHour,     // Text7
  StartMinute,   // Text8
  EndHour,       // Text9
  EndMinute,     // Text10
  FontSize,      // Text3 font size, points
  ScriptPath,    // ScriptPath
  BackColor,     // Text3 background colour code
  ForeColor,     // Text3 text colour code
  FontName,      // Text3 font face name
  Bold,          // Text3 bold
  Italic,        // Text3 italic
  Wait,          // WaitValue
  ChangeNotice,  // the popup item that notifies of a changed display: 0 off, 1 on
  SettleMode,    // the popup item that ends the settle wait early: "fixed" or "auto"
};
constexpr int kFieldCount = 24;
// The lines every Kelvane.cnf holds; a file that ends after them is whole,
// and the lines after them start as off.
constexpr int kBaseFieldCount = 22;

// System colour codes (top bit set) of the display's start colours.
constexpr int32_t kSystemWindowColor = INT32_MIN + 5;      // &H80000005
constexpr int32_t kSystemWindowTextColor = INT32_MIN + 8;  // &H80000008

// Line 24's two values.
inline constexpr TextView kSettleFixed = u"fixed";
inline constexpr TextView kSettleAuto = u"auto";

// Every stored setting of the main window, in file order. The member
// initialisers are the one place of the start values: the window shows them
// before it reads a file (and keeps them for the lines a short file lacks),
// opens with their width and height, and kelvane-run's readers start from
// them.
struct Settings {
  float windowWidth = 3915;  // twips, outer bounds
  float windowHeight = 7410;
  float windowTop = 0;
  float windowLeft = 0;
  Text url;
  Text interval;
  int16_t autoUpdate = 0;  // check-box state: 0 off, 1 on, 2 greyed
  Text logPath;
  int16_t autoLog = 0;
  int16_t timeWindow = 0;
  Text startHour;
  Text startMinute;
  Text endHour;
  Text endMinute;
  float fontSize = 9;
  Text scriptPath;
  int32_t backColor = kSystemWindowColor;
  int32_t foreColor = kSystemWindowTextColor;
  Text fontName = u"ＭＳ Ｐゴシック";
  bool bold = false;
  bool italic = false;
  Text wait = u"8";
  int16_t changeNotice = 0;
  Text settleMode = Text(kSettleFixed);
  // The "key=value" lines after line 24, in file order: newer per-watch
  // settings ("fetch=auto"), kept and written back as they were.
  std::vector<std::pair<Text, Text>> keyed;

  bool operator==(const Settings&) const = default;
};

// The start values as they stand above.
const Settings& startValues();
// The window's: the same, with the script its script path box names until a
// file or the command line names another. kelvane-run has no such script: a
// watch's file names its own.
const Settings& windowStartValues();

// How a field's line is written and read back.
enum class Kind {
  Single,      // a single-precision number, read back as the numeric prefix
  FontSize,    // a Single above 0 and at most 2048 points
  Text,        // the line as it is
  FontName,    // a Text that the display has (by default: not empty)
  Wait,        // a Text that becomes "8" when its numeric prefix is below 1
  CheckState,  // 0, 1 or 2, read back as the nearest integer of the prefix
  Color,       // a 32-bit colour code: the whole line must be an integer
  Boolean,     // "True" or "False", read back also from a number
  Switch,      // 0 or 1, read back as the nearest integer of the prefix
  SettleMode,  // "fixed" or "auto", read back in any letter case, blanks around
};

// The member of Settings that holds a field.
using Member = std::variant<float Settings::*, Text Settings::*, int16_t Settings::*,
                            int32_t Settings::*, bool Settings::*>;

// One line of the file. The reader, the writer and the print-outs walk this
// table; a front end moves the values it shows through it (valueOf).
struct FieldSpec {
  Field line;
  std::string_view name;
  Kind kind;
  Member member;
};

inline constexpr std::array<FieldSpec, kFieldCount> kFields{{
    {Field::WindowWidth, "windowWidth", Kind::Single, &Settings::windowWidth},
    {Field::WindowHeight, "windowHeight", Kind::Single, &Settings::windowHeight},
    {Field::WindowTop, "windowTop", Kind::Single, &Settings::windowTop},
    {Field::WindowLeft, "windowLeft", Kind::Single, &Settings::windowLeft},
    {Field::Url, "url", Kind::Text, &Settings::url},
    {Field::Interval, "interval", Kind::Text, &Settings::interval},
    {Field::AutoUpdate, "autoUpdate", Kind::CheckState, &Settings::autoUpdate},
    {Field::LogPath, "logPath", Kind::Text, &Settings::logPath},
    {Field::AutoLog, "autoLog", Kind::CheckState, &Settings::autoLog},
    {Field::TimeWindow, "timeWindow", Kind::CheckState, &Settings::timeWindow},
    {Field::StartHour, "startHour", Kind::Text, &Settings::startHour},
    {Field::StartMinute, "startMinute", Kind::Text, &Settings::startMinute},
    {Field::EndHour, "endHour", Kind::Text, &Settings::endHour},
    {Field::EndMinute, "endMinute", Kind::Text, &Settings::endMinute},
    {Field::FontSize, "fontSize", Kind::FontSize, &Settings::fontSize},
    {Field::ScriptPath, "scriptPath", Kind::Text, &Settings::scriptPath},
    {Field::BackColor, "backColor", Kind::Color, &Settings::backColor},
    {Field::ForeColor, "foreColor", Kind::Color, &Settings::foreColor},
    {Field::FontName, "fontName", Kind::FontName, &Settings::fontName},
    {Field::Bold, "bold", Kind::Boolean, &Settings::bold},
    {Field::Italic, "italic", Kind::Boolean, &Settings::italic},
    {Field::Wait, "wait", Kind::Wait, &Settings::wait},
    {Field::ChangeNotice, "changeNotice", Kind::Switch, &Settings::changeNotice},
    {Field::SettleMode, "settleMode", Kind::SettleMode, &Settings::settleMode},
}};

constexpr const FieldSpec& fieldSpec(Field f) {
  return kFields[static_cast<size_t>(f) - 1];
}

// The value of field f when the field is held as a T, nullptr otherwise.
template <typename T>
T* valueOf(Settings& values, Field f) {
  const auto* member = std::get_if<T Settings::*>(&fieldSpec(f).member);
  return member ? &(values.**member) : nullptr;
}
template <typename T>
const T* valueOf(const Settings& values, Field f) {
  return valueOf<T>(const_cast<Settings&>(values), f);
}

// A field as its line holds it, but without the blanks around a number:
// "9600", "-2147483643", "True", or the text.
Text shownValue(const Settings& values, Field f);

// What became of each line when a file was read.
enum class LineStatus {
  Read,     // the line was applied
  Refused,  // the value was refused; the field kept its value
  Missing,  // the file ended before this line; the field kept its value
};

struct ReadReport {
  std::array<LineStatus, kFieldCount> lines{};  // index 0 is line 1
  textfile::Encoding encoding = textfile::Encoding::Utf8;
  LineStatus status(Field f) const { return lines[static_cast<int>(f) - 1]; }
};

// What the display accepts beyond the value checks of the reader. By default
// any non-empty font name is taken; the window passes a test of the fonts
// the system has.
struct ReadRules {
  std::function<bool(TextView)> fontAvailable;
};

// Applies the lines of a settings file (its bytes, CP932 or UTF-8) over the
// current values, in file order. A line ends at CR LF, CR or LF. A refused
// value skips only its own field: a number beyond single precision, a check-
// box state other than 0, 1 and 2, a font size not above 0 or above 2048
// points, an unavailable font name, a colour line that is not a whole 32-bit
// number, a Boolean line that is neither "True"/"False" nor a number, a
// switch other than 0 and 1, a settle mode other than "fixed" and "auto".
// Lines beyond the end of a short file leave their fields as they were;
// line 22 becomes "8" when its number is below 1; the lines after line 24 are
// read as "key=value" lines (blanks around the key and the value dropped; a
// line without "=" or with an empty key is ignored). Never fails.
ReadReport applySettings(std::string_view bytes, Settings& values, const ReadRules& rules = {});

// Reads the file at path over the values; nothing when it cannot be read or
// is no regular file (the values are then untouched). At most the first 4 MiB
// are read; a character that this cut splits does not change the encoding.
std::optional<ReadReport> readSettingsFile(const std::string& path, Settings& values,
                                           const ReadRules& rules = {});

// The lines of the file, each ended by CR LF: CP932 when every character
// fits (and those bytes would not read back as UTF-8), UTF-8 otherwise.
std::string settingsBytes(const Settings& values);

// The lines as text, before encoding. A line break inside a text value is
// written as one space, so it cannot shift the later fields.
Text settingsText(const Settings& values);

// Replaces the file at path through a temporary file beside it, so a failed
// save leaves the previous file intact. False when the save failed; the
// window then shows cannotWriteMessage().
bool saveSettings(const std::string& path, const Settings& values);

// 設定ファイルに書き込めません．
Text cannotWriteMessage();

// Numbers as the settings file holds them: a leading space when not
// negative (a minus sign otherwise), the number, one trailing space.
// Single-precision values use the shortest form of up to 7 significant
// digits (" 9600 ", " 10.5 ", " 0.25 ", " 1E+07 ", "-1.5E-05 ").
Text singleText(float value);
Text integerText(int64_t value);  // " 1 ", "-2147483643 "
Text booleanText(bool value);     // "True", "False"

// The reader's conversions; nothing when the value is refused.
// Nearest integer of the numeric prefix, halves to even, as a check-box state.
std::optional<int16_t> checkStateFrom(TextView line);
// The whole line as a 32-bit integer (blanks around it allowed; a fraction
// goes to the nearest integer, halves to even).
std::optional<int32_t> int32From(TextView line);
// "True"/"False" in any letter case, or a number (0 is false).
std::optional<bool> booleanFrom(TextView line);
// The numeric prefix as a single-precision value.
std::optional<float> singleFrom(TextView line);
// Line 22 as WaitValue shows it: the line, or "8" when its number is below 1.
Text waitFrom(TextView line);
// Line 24: "fixed" or "auto".
std::optional<Text> settleModeFrom(TextView line);

// How many "key=value" lines after line 24 are read.
constexpr int kMaxKeyedLines = 64;
// The value of the last "key=value" line with this key (keys compare in
// any letter case), and setting it (in place, or as a new last line).
std::optional<Text> keyedValue(const Settings& values, TextView key);
void setKeyedValue(Settings& values, TextView key, TextView value);

}  // namespace kelvane::settings
