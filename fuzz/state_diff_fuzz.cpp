// Fuzzes the diff kelvane-run --state --diff prints between the display kept
// and the new one. The input is the two displays separated by a NUL byte,
// read as text files would be or, when it starts with 0x01, as UTF-16 units.
// The diff is empty exactly when the displays are equal, and otherwise,
// applied hunk by hunk to the old display's lines, gives the new one's:
// every context and removed line is the old line at its place, the counts
// of each hunk header are its lines', and a last line without an end is
// marked on both sides.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "history/display_diff.h"
#include "textfile/text_codec.h"

namespace {

// The function under test: the one place to change when it moves.
std::string diffUnderTest(std::u16string_view before, std::u16string_view after) {
  return kelvane::history::unifiedDiff(before, after);
}

std::u16string textOf(std::string_view bytes, bool units) {
  if (!units) return kelvane::textfile::decodeText(bytes);
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

// A line as the diff shows it: its text as UTF-8, and whether it lacks an end.
struct Line {
  std::string text;
  bool unended = false;
  bool operator==(const Line&) const = default;
};

std::vector<Line> linesOf(std::u16string_view text) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t brk = text.find_first_of(u"\r\n", start);
    if (brk == std::u16string_view::npos) {
      lines.push_back({kelvane::textfile::encodeUtf8(text.substr(start)), true});
      break;
    }
    lines.push_back({kelvane::textfile::encodeUtf8(text.substr(start, brk - start)), false});
    start = brk + (text.substr(brk, 2) == u"\r\n" ? 2 : 1);
  }
  return lines;
}

// "12" or "12,3": the start and the count (1 when not given).
void readRange(std::string_view s, size_t& start, size_t& count) {
  const size_t comma = s.find(',');
  FUZZ_CHECK(!s.empty());
  start = std::stoul(std::string(s.substr(0, comma)));
  count = comma == std::string_view::npos ? 1 : std::stoul(std::string(s.substr(comma + 1)));
}

// The old lines with the diff applied.
std::vector<Line> applied(const std::vector<Line>& old, std::string_view diff) {
  std::vector<std::string_view> rows;
  for (size_t at = 0; at < diff.size();) {
    const size_t end = diff.find('\n', at);
    FUZZ_CHECK(end != std::string_view::npos);
    rows.push_back(diff.substr(at, end - at));
    at = end + 1;
  }
  FUZZ_CHECK(rows.size() >= 3 && rows[0] == "--- previous" && rows[1] == "+++ current");
  std::vector<Line> out;
  size_t oldAt = 0;  // old lines used so far
  size_t r = 2;
  while (r < rows.size()) {
    const std::string_view header = rows[r++];
    FUZZ_CHECK(header.starts_with("@@ -") && header.ends_with(" @@"));
    const size_t plus = header.find(" +");
    FUZZ_CHECK(plus != std::string_view::npos);
    size_t oldStart = 0, oldCount = 0, newStart = 0, newCount = 0;
    readRange(header.substr(4, plus - 4), oldStart, oldCount);
    readRange(header.substr(plus + 2, header.size() - 3 - plus - 2), newStart, newCount);
    // An empty range names the line before it.
    const size_t first = oldCount == 0 ? oldStart : oldStart - 1;
    FUZZ_CHECK(first >= oldAt && first + oldCount <= old.size());
    out.insert(out.end(), old.begin() + static_cast<ptrdiff_t>(oldAt),
               old.begin() + static_cast<ptrdiff_t>(first));
    oldAt = first;
    FUZZ_CHECK((newCount == 0 ? newStart : newStart - 1) == out.size());
    size_t oldSeen = 0, newSeen = 0;
    while (r < rows.size() && !rows[r].starts_with("@@")) {
      const std::string_view row = rows[r++];
      FUZZ_CHECK(!row.empty());
      Line line{std::string(row.substr(1)), false};
      if (r < rows.size() && rows[r] == "\\ No newline at end of file") {
        line.unended = true;
        ++r;
      }
      switch (row[0]) {
        case ' ':
          FUZZ_CHECK(oldAt < old.size() && old[oldAt] == line);
          ++oldAt, ++oldSeen, ++newSeen;
          out.push_back(line);
          break;
        case '-':
          FUZZ_CHECK(oldAt < old.size() && old[oldAt] == line);
          ++oldAt, ++oldSeen;
          break;
        case '+':
          ++newSeen;
          out.push_back(line);
          break;
        default:
          FUZZ_CHECK(!"a diff line starts with a space, - or +");
      }
    }
    FUZZ_CHECK(oldSeen == oldCount && newSeen == newCount);
  }
  out.insert(out.end(), old.begin() + static_cast<ptrdiff_t>(oldAt), old.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool units = input.starts_with('\x01');
  if (units) input.remove_prefix(1);
  const size_t nul = input.find('\0');
  const std::u16string before = textOf(input.substr(0, nul), units);
  const std::u16string after =
      textOf(nul == std::string_view::npos ? "" : input.substr(nul + 1), units);

  const std::string diff = diffUnderTest(before, after);
  FUZZ_CHECK(diff.empty() == (before == after));
  if (!diff.empty()) FUZZ_CHECK(applied(linesOf(before), diff) == linesOf(after));
  FUZZ_CHECK(diffUnderTest(after, after).empty());
  return 0;
}
