#include "logging/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Reads the log from its start to judge its encoding.
void classifyOpenLog(int fd, const struct stat& st, LogClassifier& classifier) {
  if (st.st_size == 0) return;
  constexpr size_t kChunk = 1 << 16;
  const std::unique_ptr<char[]> chunk(new char[kChunk]);  // not zeroed: pread fills it
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, chunk.get(), kChunk, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    classifier.feed(std::string_view(chunk.get(), static_cast<size_t>(n)));
    if (classifier.decided()) break;
    offset += n;
  }
}

bool writeAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
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

bool appendEntry(const std::string& path, TextView memo, TextView display) {
  if (path.empty()) return false;
  // O_NONBLOCK: opening a FIFO must not wait for a reader, nor writing into
  // one for room. Only a regular file is taken as a log.
  constexpr int kFlags = O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  bool created = false;
  std::string opened = path;
  int fd = ::open(path.c_str(), O_RDWR | kFlags);
  if (fd < 0 && errno == ENOENT) {
    // A missing file is created; a dangling link creates the file it names.
    if (const auto target = textfile::resolveLinks(path)) opened = *target;
    fd = ::open(opened.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | kFlags, 0666);
    created = fd >= 0;
  }
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags);
  if (fd < 0) return false;

  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  LogClassifier log;
  classifyOpenLog(fd, st, log);
  std::string bytes = entryBytes(memo, display, chooseEncoding(log.result(), memo, display));
  // A log that is UTF-8 but for an unfinished character at its end counts as
  // CP932; an entry whose first bytes finished that character would turn the
  // whole log into UTF-8 and change what its last character reads as. Such
  // an entry starts on a line of its own.
  const std::string_view tail = log.unfinishedTail();
  if (!tail.empty() && textfile::isValidUtf8(std::string(tail) + bytes)) bytes.insert(0, "\r\n");
  bool ok = writeAll(fd, bytes);
  if (!ok) {
    // Take back a partly written entry so the log holds whole entries only.
    const bool takenBack = ::ftruncate(fd, st.st_size) == 0;
    (void)takenBack;  // nothing more can be done when this fails too
  }
  if (::close(fd) != 0) ok = false;
  if (!ok && created) ::unlink(opened.c_str());
  return ok;
}

Text cannotWriteMessage() {
  if (language::current() == language::Language::English) return u"Cannot write to the log file.";
  return u"Logファイルに書き込めません．";
}

}  // namespace kelvane::logging
