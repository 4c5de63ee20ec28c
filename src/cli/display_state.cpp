#include "cli/display_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {

using engine::Text;
using engine::TextView;

namespace {

// The first line of every state file: a file without it was not written
// here, and is never overwritten.
constexpr std::string_view kHeader = "# kelvane-run display state 1\n";

struct Line {
  TextView text;
  TextView end;  // "\r\n", "\r", "\n", or empty for a last line without one
  TextView whole() const { return {text.data(), text.size() + end.size()}; }
};

std::vector<Line> splitLines(TextView s) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < s.size()) {
    const size_t brk = s.find_first_of(u"\r\n", start);
    if (brk == TextView::npos) {
      lines.push_back({s.substr(start), {}});
      break;
    }
    const size_t endSize = (s[brk] == u'\r' && brk + 1 < s.size() && s[brk + 1] == u'\n') ? 2 : 1;
    lines.push_back({s.substr(start, brk - start), s.substr(brk, endSize)});
    start = brk + endSize;
  }
  return lines;
}

enum class Op : uint8_t { Equal, Delete, Insert };

// Beyond these the diff gives up on being shortest: what is left between the
// common head and tail is shown as removed and added whole.
constexpr int kMaxEdits = 2000;
constexpr long kMaxWork = 50'000'000;

// The shortest edit script from a to b (Myers's greedy algorithm), or
// nothing when it would cost more than the limits above.
std::optional<std::vector<Op>> shortestEdit(const std::vector<int>& a, const std::vector<int>& b) {
  const int n = static_cast<int>(a.size());
  const int m = static_cast<int>(b.size());
  const int max = std::min(n + m, kMaxEdits);
  std::vector<int> v(2 * static_cast<size_t>(max) + 3, 0);
  const auto at = [&](int k) -> int& { return v[static_cast<size_t>(k + max + 1)]; };
  // trace[d]: the furthest x on diagonals -d..d before step d.
  std::vector<std::vector<int>> trace;
  long work = 0;
  for (int d = 0; d <= max; ++d) {
    trace.emplace_back(&at(-d), &at(-d) + 2 * d + 1);
    for (int k = -d; k <= d; k += 2) {
      int x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      int y = x - k;
      while (x < n && y < m && a[static_cast<size_t>(x)] == b[static_cast<size_t>(y)]) {
        ++x, ++y, ++work;
      }
      at(k) = x;
      if (x < n || y < m) continue;
      // Walk back through the trace.
      std::vector<Op> ops;
      for (int e = d; e > 0; --e) {
        const auto prev = [&](int j) {
          return trace[static_cast<size_t>(e)][static_cast<size_t>(j + e)];
        };
        const int kk = x - y;
        const int prevK = (kk == -e || (kk != e && prev(kk - 1) < prev(kk + 1))) ? kk + 1 : kk - 1;
        const int prevX = prev(prevK);
        const int prevY = prevX - prevK;
        while (x > prevX && y > prevY) ops.push_back(Op::Equal), --x, --y;
        ops.push_back(x == prevX ? Op::Insert : Op::Delete);
        x = prevX, y = prevY;
      }
      ops.insert(ops.end(), static_cast<size_t>(x), Op::Equal);
      std::reverse(ops.begin(), ops.end());
      return ops;
    }
    work += 2 * d + 1;
    if (work > kMaxWork) break;
  }
  return std::nullopt;
}

std::vector<Op> editScript(const std::vector<Line>& before, const std::vector<Line>& after) {
  size_t head = 0;
  while (head < before.size() && head < after.size() &&
         before[head].whole() == after[head].whole()) {
    ++head;
  }
  size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail].whole() == after[after.size() - 1 - tail].whole()) {
    ++tail;
  }
  // Lines as numbers, equal lines equal numbers.
  std::unordered_map<TextView, int> ids;
  const auto idsOf = [&](const std::vector<Line>& lines) {
    std::vector<int> out;
    for (size_t i = head; i < lines.size() - tail; ++i) {
      out.push_back(ids.try_emplace(lines[i].whole(), static_cast<int>(ids.size())).first->second);
    }
    return out;
  };
  const std::vector<int> a = idsOf(before);
  const std::vector<int> b = idsOf(after);
  std::vector<Op> ops(head, Op::Equal);
  if (auto middle = shortestEdit(a, b)) {
    ops.insert(ops.end(), middle->begin(), middle->end());
  } else {
    ops.insert(ops.end(), a.size(), Op::Delete);
    ops.insert(ops.end(), b.size(), Op::Insert);
  }
  ops.insert(ops.end(), tail, Op::Equal);
  return ops;
}

std::string range(size_t start, size_t count) {
  // An empty range names the line before it, as diff does.
  std::string s = std::to_string(count == 0 ? start : start + 1);
  if (count != 1) s += "," + std::to_string(count);
  return s;
}

void appendLine(std::string& out, char sign, const Line& line) {
  out.push_back(sign);
  out += textfile::encodeUtf8(line.text);
  out.push_back('\n');
  if (line.end.empty()) out += "\\ No newline at end of file\n";
}

}  // namespace

StoredState readState(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return {};
  const auto bytes = textfile::readFileBytes(path);
  if (!bytes) return {StoredState::Kind::Unreadable, {}};
  if (bytes->empty()) return {};
  if (!std::string_view(*bytes).starts_with(kHeader)) return {StoredState::Kind::Foreign, {}};
  return {StoredState::Kind::Display,
          textfile::decodeText(std::string_view(*bytes).substr(kHeader.size()))};
}

StoredState::Kind stateKind(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) return StoredState::Kind::Nothing;
  bool more = false;
  const auto head = textfile::readFileHead(path, kHeader.size(), &more);
  if (!head) return StoredState::Kind::Unreadable;
  if (head->empty()) return StoredState::Kind::Nothing;
  return *head == kHeader ? StoredState::Kind::Display : StoredState::Kind::Foreign;
}

bool stateIsReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::optional<bool> storedDisplayEquals(const std::string& path, TextView display) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<bool> equal;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    equal = true;
    auto at = static_cast<off_t>(kHeader.size());
    std::string expected, stored;
    constexpr size_t kChunk = 1 << 16;
    // Both sides in pieces: the display's UTF-8, the file's bytes after the
    // header; the file must end where the display does.
    for (TextView rest = display; *equal;) {
      if (rest.empty()) {
        char probe;
        *equal = ::pread(fd, &probe, 1, at) == 0;
        break;
      }
      size_t n = std::min(rest.size(), kChunk);
      if (n < rest.size() && rest[n - 1] >= 0xD800 && rest[n - 1] <= 0xDBFF) --n;
      textfile::encodeUtf8Into(rest.substr(0, n), expected);
      rest.remove_prefix(n);
      stored.resize(expected.size());
      size_t got = 0;
      while (got < stored.size()) {
        const ssize_t r = ::pread(fd, stored.data() + got, stored.size() - got, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
        at += r;
      }
      *equal = got == expected.size() && stored == expected;
    }
  }
  ::close(fd);
  return equal;
}

bool writeState(const std::string& path, TextView display) {
  if (stateIsReadOnly(path)) return false;
  return textfile::writeFileAtomically(path, std::string(kHeader) + textfile::encodeUtf8(display));
}

std::string unifiedDiff(TextView before, TextView after) {
  const std::vector<Line> a = splitLines(before);
  const std::vector<Line> b = splitLines(after);
  const std::vector<Op> ops = editScript(a, b);
  constexpr size_t kContext = 3;
  std::string out;
  size_t i = 0;                 // position in ops
  size_t oldAt = 0, newAt = 0;  // lines of a and b before ops[i]
  const auto advance = [&](size_t to) {
    for (; i < to; ++i) {
      if (ops[i] != Op::Insert) ++oldAt;
      if (ops[i] != Op::Delete) ++newAt;
    }
  };
  while (i < ops.size()) {
    size_t change = i;
    while (change < ops.size() && ops[change] == Op::Equal) ++change;
    if (change == ops.size()) break;
    advance(change >= kContext ? change - kContext : 0);
    const size_t begin = i;
    // A hunk: from kContext before this change to kContext after the last
    // change that is no more than 2 x kContext equal lines from the previous.
    size_t end = change;
    while (end < ops.size()) {
      size_t equal = end;
      while (equal < ops.size() && ops[equal] == Op::Equal) ++equal;
      if (equal == ops.size() || equal - end > 2 * kContext) {
        end = std::min(ops.size(), end + kContext);
        break;
      }
      end = equal;
      while (end < ops.size() && ops[end] != Op::Equal) ++end;
    }
    const size_t oldLine = oldAt, newLine = newAt;
    std::string body;
    size_t oldCount = 0, newCount = 0;
    for (size_t k = begin; k < end; ++k) {
      switch (ops[k]) {
        case Op::Equal:
          appendLine(body, ' ', a[oldLine + oldCount]);
          ++oldCount, ++newCount;
          break;
        case Op::Delete:
          appendLine(body, '-', a[oldLine + oldCount]);
          ++oldCount;
          break;
        case Op::Insert:
          appendLine(body, '+', b[newLine + newCount]);
          ++newCount;
          break;
      }
    }
    if (out.empty()) out = "--- previous\n+++ current\n";
    out += "@@ -" + range(oldLine, oldCount) + " +" + range(newLine, newCount) + " @@\n" + body;
    advance(end);
  }
  return out;
}

}  // namespace kelvane::cli
