// Fuzzes the text decoding of every file Kelvane reads and the two encoders
// it writes with. The input is taken twice: as the bytes of a file, and as
// UTF-16 units (little-endian pairs) of a text to write. The hand-written
// UTF-8 paths are compared with ICU's; CP932 text must read back as written.
#include <unicode/ustring.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"

namespace {

using namespace kelvane::textfile;

// ICU's strict UTF-8 decoding: nothing when the bytes are not well-formed.
std::optional<std::u16string> icuFromUtf8(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(length));
  return out;
}

// ICU's UTF-8 encoding with an unpaired surrogate written as U+FFFD.
std::string icuToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                     0xFFFD, nullptr, &status);
  FUZZ_CHECK(U_SUCCESS(status));
  out.resize(static_cast<size_t>(length));
  return out;
}

void checkFileBytes(std::string_view bytes) {
  std::string_view body = bytes;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  Encoding used{};
  const std::u16string text = decodeText(bytes, &used);
  const auto reference = icuFromUtf8(body);
  // UTF-8 exactly when ICU finds the bytes well-formed, with the same text.
  FUZZ_CHECK(isValidUtf8(body) == reference.has_value());
  FUZZ_CHECK((used == Encoding::Utf8) == reference.has_value());
  if (reference) {
    FUZZ_CHECK(text == *reference);
    FUZZ_CHECK(encodeUtf8(text) == body);
  } else {
    FUZZ_CHECK(text == decodeCp932(bytes));
  }

  // Whatever CP932 decodes to can be written back as CP932 and reads back
  // the same (U+FFFD marks bytes that had no character).
  std::u16string cp932Text = decodeCp932(bytes);
  std::erase(cp932Text, u'\xFFFD');
  const auto encoded = encodeCp932(cp932Text);
  FUZZ_CHECK(encoded.has_value());
  FUZZ_CHECK(decodeCp932(*encoded) == cp932Text);

  // Lines: every CR, or CR LF, ends one, and in a text without any CR every
  // LF does; nothing else is lost.
  const char16_t end = text.find(u'\r') == std::u16string_view::npos ? u'\n' : u'\r';
  std::u16string joined;
  for (const std::u16string& line : splitLines(text)) {
    FUZZ_CHECK(line.find(end) == std::u16string::npos);
    joined += line;
    joined += end;
  }
  std::u16string expected;
  for (size_t i = 0; i < text.size(); ++i) {
    expected += text[i];
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
  }
  if (!expected.empty() && expected.back() != end) expected += end;
  FUZZ_CHECK(joined == expected);
}

void checkTextToWrite(std::u16string_view text) {
  const std::string utf8 = encodeUtf8(text);
  FUZZ_CHECK(utf8 == icuToUtf8(text));
  FUZZ_CHECK(isValidUtf8(utf8));
  if (const auto cp932 = encodeCp932(text)) FUZZ_CHECK(decodeCp932(*cp932) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkFileBytes(bytes);
  std::u16string units(size / 2, u'\0');
  std::memcpy(units.data(), data, units.size() * 2);
  checkTextToWrite(units);
  return 0;
}
