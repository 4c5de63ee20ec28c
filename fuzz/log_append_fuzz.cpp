// Fuzzes appending to a log that already holds any bytes. The input is the
// existing log, a NUL byte, the memo, a NUL byte and the display; memo and
// display are read as a text file would be, or, when the input starts with
// 0x01, as UTF-16 units (so unpaired surrogates reach the writer too).
// The old bytes must stay as they were, the log must keep one encoding, and
// the entry must read back as the memo and the display, with &#N; only for
// characters CP932 lacks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "check.h"
#include "logging/log_writer.h"
#include "memory_file.h"
#include "textfile/text_codec.h"

namespace {

using namespace kelvane::logging;
using kelvane::textfile::decodeCp932;
using kelvane::textfile::decodeUtf8;
using kelvane::textfile::encodeCp932;

std::u16string textOf(std::string_view bytes, bool units) {
  if (!units) return kelvane::textfile::decodeText(bytes);
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

// True when `written` is `text` with each character CP932 lacks replaced by
// &#N; (N its code point; an unpaired surrogate counts as one).
bool matchesWithReferences(std::u16string_view text, std::u16string_view written) {
  size_t at = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t units = 1;
    char32_t codePoint = text[i];
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      units = 2;
    }
    const std::u16string_view character = text.substr(i, units);
    i += units - 1;
    if (encodeCp932(character)) {
      if (written.substr(at, units) != character) return false;
      at += units;
      continue;
    }
    const std::string digits = std::to_string(static_cast<uint32_t>(codePoint));
    const std::u16string reference = u"&#" + std::u16string(digits.begin(), digits.end()) + u";";
    if (written.substr(at, reference.size()) != reference) return false;
    at += reference.size();
  }
  return at == written.size();
}

std::u16string withoutUnpairedSurrogates(std::u16string_view text) {
  return decodeUtf8(kelvane::textfile::encodeUtf8(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvane::fuzz::MemoryFile file;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const bool units = input.starts_with('\x01');
  if (units) input.remove_prefix(1);
  const size_t firstNul = input.find('\0');
  const size_t secondNul =
      firstNul == std::string_view::npos ? firstNul : input.find('\0', firstNul + 1);
  const std::string_view old = input.substr(0, firstNul);
  const std::string_view memoBytes = firstNul == std::string_view::npos
                                         ? ""
                                         : input.substr(firstNul + 1, secondNul - firstNul - 1);
  const std::string_view displayBytes =
      secondNul == std::string_view::npos ? "" : input.substr(secondNul + 1);
  const std::u16string memo = textOf(memoBytes, units);
  const std::u16string display = textOf(displayBytes, units);

  file.replace(old);
  FUZZ_CHECK(appendEntry(file.path(), memo, display));
  const std::string log = file.contents();
  FUZZ_CHECK(log.starts_with(old));

  // A log that a killed writer left without a line end gets one before the
  // entry (a lone CR its LF), after the rest of a UTF-8 character it cut
  // short, so that the entry starts whole on a line of its own.
  std::string_view entry = std::string_view(log).substr(old.size());
  std::string completion;
  if (old.ends_with('\r')) {
    FUZZ_CHECK(entry.starts_with('\n'));
    entry.remove_prefix(1);
  } else if (!old.empty() && !old.ends_with('\n')) {
    const size_t lineEnd = entry.find("\r\n");
    FUZZ_CHECK(lineEnd != std::string_view::npos && lineEnd <= 3);
    completion = entry.substr(0, lineEnd);
    for (const char c : completion) FUZZ_CHECK((static_cast<unsigned char>(c) & 0xC0) == 0x80);
    entry.remove_prefix(lineEnd + 2);
  }
  const ExistingLog before = classifyLog(std::string(old) + completion);
  FUZZ_CHECK(completion.empty() || before == ExistingLog::Utf8);
  const ExistingLog after = classifyLog(log);
  const LogEncoding encoding = chooseEncoding(before, memo, display);
  const std::string expected = entryBytes(memo, display, encoding);
  FUZZ_CHECK(entry == expected);
  const std::u16string text = memo + u"\r\n" + display + u"\r\n";
  switch (encoding) {
    case LogEncoding::Utf8:
      // A CP932 log never gets UTF-8 added to it.
      FUZZ_CHECK(before != ExistingLog::Cp932 && after == ExistingLog::Utf8);
      FUZZ_CHECK(decodeUtf8(entry) == withoutUnpairedSurrogates(text));
      break;
    case LogEncoding::Cp932:
      FUZZ_CHECK(before != ExistingLog::Utf8 && after != ExistingLog::Utf8);
      FUZZ_CHECK(decodeCp932(entry) == text);
      break;
    case LogEncoding::Cp932Refs:
      FUZZ_CHECK(before == ExistingLog::Cp932 && after == ExistingLog::Cp932);
      FUZZ_CHECK(matchesWithReferences(text, decodeCp932(entry)));
      break;
  }
  return 0;
}
