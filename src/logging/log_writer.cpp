#include "logging/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

#include "language/language.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::logging {
namespace {

bool isAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Sorts a log's bytes as they arrive in chunks, without holding the file.
class LogClassifier {
 public:
  void feed(std::string_view chunk) {
    if (chunk.empty()) return;
    empty_ = false;
    if (!validUtf8_) return;  // already known to be CP932
    if (!sawNonAscii_ && pending_.empty() && isAscii(chunk)) return;
    sawNonAscii_ = true;
    pending_.append(chunk);
    // Check up to the last whole character; the rest waits for the next chunk.
    size_t cut = pending_.size();
    for (size_t back = 1; back <= 4 && back <= pending_.size(); ++back) {
      const auto b = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((b & 0xC0) == 0x80) continue;  // a continuation byte
      const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (length > back) cut = pending_.size() - back;
      break;
    }
    if (!textfile::isValidUtf8(std::string_view(pending_).substr(0, cut))) validUtf8_ = false;
    pending_.erase(0, cut);
  }

  // Once a byte sequence is not UTF-8 the rest of the log cannot change the
  // answer.
  bool decided() const { return !validUtf8_; }

  // The bytes at the end of a log that is UTF-8 but for an unfinished
  // character there; empty otherwise.
  std::string_view unfinishedTail() const {
    return validUtf8_ ? std::string_view(pending_) : std::string_view{};
  }

  ExistingLog result() const {
    if (empty_) return ExistingLog::Empty;
    if (!sawNonAscii_) return ExistingLog::Ascii;
    if (validUtf8_ && textfile::isValidUtf8(pending_)) return ExistingLog::Utf8;
    return ExistingLog::Cp932;
  }

 private:
  bool empty_ = true;
  bool sawNonAscii_ = false;
  bool validUtf8_ = true;
  std::string pending_;
};

// A log keeps the encoding its first entry with non-ASCII text gave it, so
// its head and its tail tell the encoding; nothing between them is read, so
// an append costs the same for a log of any length. A log whose both ends are
// plain ASCII is taken as a new one: its middle, if it holds any non-ASCII
// text, got it by the same rule.
constexpr size_t kWindow = size_t{1} << 16;

bool hasNonAscii(const LogClassifier& c) {
  return c.result() != ExistingLog::Empty && c.result() != ExistingLog::Ascii;
}

// The bytes that complete a UTF-8 character cut short at the end of a log
// (a writer killed mid-character), or nothing when no bytes make it a
// valid character. The character is then not the one meant, but the log
// stays UTF-8 instead of reading as CP932 from then on.
std::optional<std::string> completion(std::string_view cut) {
  if (cut.empty()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(cut[0]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (cut.size() >= length) return std::nullopt;
  std::string rest;
  if (cut.size() == 1) {
    rest.push_back(static_cast<char>(lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80));
  }
  rest.append(length - cut.size() - rest.size(), static_cast<char>(0x80));
  if (!textfile::isValidUtf8(std::string(cut) + rest)) return std::nullopt;
  return rest;
}

struct LogEnd {
  ExistingLog kind = ExistingLog::Empty;
  std::string finish;  // written before the entry: ends what a killed writer left
};

LogEnd inspectLog(int fd, uint64_t size) {
  LogEnd end;
  if (size == 0) return end;
  const bool whole = size <= 2 * kWindow;
  const std::string tailBytes = textfile::readTail(fd, size, whole ? size : kWindow);
  size_t skip = 0;  // a window may begin inside a character
  while (!whole && skip < 3 && skip < tailBytes.size() &&
         (static_cast<unsigned char>(tailBytes[skip]) & 0xC0) == 0x80) {
    ++skip;
  }
  LogClassifier tail;
  tail.feed(std::string_view(tailBytes).substr(skip));
  const std::string_view cut = tail.unfinishedTail();
  bool invalid = tail.decided();
  bool nonAscii = !isAscii(std::string_view(tailBytes).substr(0, tailBytes.size() - cut.size()));
  if (!whole) {
    LogClassifier head;
    head.feed(textfile::readTail(fd, kWindow, kWindow));
    invalid = invalid || head.decided();
    nonAscii = nonAscii || hasNonAscii(head);
  }
  if (invalid) {
    end.kind = ExistingLog::Cp932;
  } else if (!cut.empty()) {
    // Cut short: a UTF-8 log gets the character completed; a log with no
    // other non-ASCII text may be CP932 whose last byte is a lead byte.
    const auto rest = completion(cut);
    end.kind = rest && nonAscii ? ExistingLog::Utf8 : ExistingLog::Cp932;
    if (rest && nonAscii) end.finish = *rest;
  } else {
    end.kind = nonAscii ? ExistingLog::Utf8 : ExistingLog::Ascii;
  }
  end.finish += textfile::finishTornLine(fd, size, "\r\n");
  return end;
}

// CP932 with &#N; for every character CP932 lacks. Each distinct character
// is converted once, so a long display with a few such characters stays
// fast; the cache grows with the characters seen, not with the range.
std::string cp932WithReferences(TextView text) {
  struct Cached {
    bool known = false;
    bool fits = false;
    std::string bytes;
  };
  std::unordered_map<char16_t, Cached> cache;
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if ((c >= 0x20 && c < 0x7F) || c == u'\r' || c == u'\n' || c == u'\t') {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    if (pair) {  // CP932 has nothing outside the BMP
      const uint32_t codePoint = 0x10000 + ((c - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
      out += "&#" + std::to_string(codePoint) + ";";
      ++i;
      continue;
    }
    Cached& entry = cache[c];
    if (!entry.known) {
      entry.known = true;
      const char16_t one[1] = {c};
      if (auto bytes = textfile::encodeCp932(TextView(one, 1))) {
        entry.fits = true;
        entry.bytes = std::move(*bytes);
      }
    }
    if (entry.fits)
      out += entry.bytes;
    else
      out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";  // also a lone surrogate
  }
  return out;
}

Text entryText(TextView memo, TextView display) {
  Text text;
  text.reserve(memo.size() + display.size() + 4);
  text += memo;
  text += u"\r\n";
  text += display;
  text += u"\r\n";
  return text;
}

bool fitsCp932AsItself(TextView text) {
  const auto bytes = textfile::encodeCp932(text);
  // CP932 bytes that happen to form valid UTF-8 would make the new log read
  // back as UTF-8; such an entry starts a UTF-8 log instead.
  return bytes && (isAscii(*bytes) || !textfile::isValidUtf8(*bytes));
}

}  // namespace

ExistingLog classifyLog(std::string_view bytes) {
  LogClassifier classifier;
  classifier.feed(bytes);
  return classifier.result();
}

LogEncoding chooseEncoding(ExistingLog log, TextView memo, TextView display) {
  switch (log) {
    case ExistingLog::Utf8:
      return LogEncoding::Utf8;
    case ExistingLog::Cp932:
      return textfile::encodeCp932(entryText(memo, display)) ? LogEncoding::Cp932
                                                             : LogEncoding::Cp932Refs;
    case ExistingLog::Empty:
    case ExistingLog::Ascii:
      break;
  }
  return fitsCp932AsItself(entryText(memo, display)) ? LogEncoding::Cp932 : LogEncoding::Utf8;
}

std::string entryBytes(TextView memo, TextView display, LogEncoding encoding) {
  const Text text = entryText(memo, display);
  switch (encoding) {
    case LogEncoding::Utf8:
      return textfile::encodeUtf8(text);
    case LogEncoding::Cp932:
      if (auto bytes = textfile::encodeCp932(text)) return std::move(*bytes);
      break;
    case LogEncoding::Cp932Refs:
      break;
  }
  return cp932WithReferences(text);
}

bool appendEntry(const std::string& path, TextView memo, TextView display, int* failure) {
  int unused = 0;
  int& reported = failure ? *failure : unused;
  reported = 0;
  if (path.empty()) return false;
  // O_NONBLOCK: opening a FIFO must not wait for a reader, nor writing into
  // one for room. Only a regular file is taken as a log.
  constexpr int kFlags = O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  // A log that another writer removed (its append failed on a new file)
  // while this one waited for the lock is opened again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    // Never through a link that another user planted in a shared folder.
    if (textfile::plantedLink(path)) {
      errno = EACCES;
      return false;
    }
    bool created = false;
    std::string opened = path;
    int fd = ::open(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == ENOENT) {
      // A missing file is created; a dangling link creates the file it names.
      if (const auto target = textfile::resolveLinks(path)) opened = *target;
      fd = ::open(opened.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | kFlags, 0666);
      created = fd >= 0;
      if (fd < 0 && errno == EEXIST) continue;  // another writer created it
    }
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags);
    if (fd < 0) return false;

    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return false;
    }
    bool removed = false;
    int error = 0;
    bool ok = textfile::appendLocked(
        fd,
        [&](uint64_t size) -> std::string {
          // The path must still name the file held open: a writer whose
          // append failed on the file it created has removed it meanwhile.
          // (A file held open without any name, such as one reached through
          // /proc/self/fd, still counts as named by the path it was opened by.)
          struct stat now {};
          struct stat named {};
          if (::fstat(fd, &now) != 0 || ::stat(path.c_str(), &named) != 0 ||
              named.st_dev != now.st_dev || named.st_ino != now.st_ino) {
            removed = true;
            return {};
          }
          const LogEnd end = inspectLog(fd, size);
          return end.finish + entryBytes(memo, display, chooseEncoding(end.kind, memo, display));
        },
        &error);
    if (removed) {
      ::close(fd);
      continue;
    }
    // A log this append created and could not fill is removed, still under
    // the lock, so no other writer has anything in it.
    struct stat after {};
    if (!ok && created && ::fstat(fd, &after) == 0 && after.st_size == 0) ::unlink(opened.c_str());
    if (!ok) reported = error;
    if (::close(fd) != 0) ok = false;
    return ok;
  }
  return false;
}

Text cannotWriteMessage() {
  if (language::current() == language::Language::English) return u"Cannot write to the log file.";
  return u"Logファイルに書き込めません．";
}

}  // namespace kelvane::logging
