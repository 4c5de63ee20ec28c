#include "textfile/text_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace kelvane::textfile {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Single bytes that Windows maps to characters of their own although ICU's
// table leaves them out: 0x80 is U+0080, 0xA0 is U+F8F0 and 0xFD-0xFF are
// U+F8F1-U+F8F3. The writer maps them back, so they survive a round trip.
constexpr struct {
  unsigned char byte;
  char16_t unit;
} kWindowsSingles[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

// Every other byte sequence that CP932 cannot map becomes U+FFFD (ICU's own
// substitute would give U+001A for some of them, which looks like data).
void toUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char* units,
                          int32_t length, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  UChar replacement = kReplacement;
  if (length == 1) {
    for (const auto& single : kWindowsSingles) {
      if (static_cast<unsigned char>(units[0]) == single.byte) replacement = single.unit;
    }
  }
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

// The singles above back to their bytes; anything else without a CP932 form
// stops the conversion, so that no character is lost unnoticed. (ICU's own
// stop callback would let default-ignorable characters such as U+00AD,
// U+200B and U+FEFF vanish without a word.)
void fromUnicodeSinglesOrStop(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                              UChar32 codePoint, UConverterCallbackReason reason,
                              UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED) return;
  for (const auto& single : kWindowsSingles) {
    if (codePoint == single.unit) {
      const char byte = static_cast<char>(single.byte);
      *status = U_ZERO_ERROR;
      ucnv_cbFromUWriteBytes(args, &byte, 1, 0, status);
      return;
    }
  }
}

// ICU's CP932 table swaps three control codes: the bytes 1A, 1C and 7F come
// out as U+001C, U+007F and U+001A, and go back the same way. Windows maps
// each to itself. One row per control: its byte, and what ICU makes of it.
struct ControlSwap {
  unsigned byte;
  unsigned icu;
};
constexpr ControlSwap kControlSwaps[] = {{0x1A, 0x1C}, {0x1C, 0x7F}, {0x7F, 0x1A}};

// The Windows form of a control that ICU produced (a unit when `from` is
// &ControlSwap::icu, a byte when it is &ControlSwap::byte); anything else
// unchanged.
unsigned windowsControl(unsigned value, unsigned ControlSwap::*from) {
  if (value > 0x7F) return value;
  for (const ControlSwap& swap : kControlSwaps) {
    if (swap.*from == value) return from == &ControlSwap::icu ? swap.byte : swap.icu;
  }
  return value;
}

Converter openCp932() {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open("windows-31j", &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

}  // namespace

std::u16string decodeUtf8(std::string_view bytes) {
  auto text = tryDecodeUtf8(bytes);
  return text ? std::move(*text) : decodeCp932(bytes);
}

std::u16string decodeCp932(std::string_view bytes) {
  std::u16string out;
  if (bytes.empty()) return out;
  Converter conv = openCp932();
  if (!conv) {  // no converter data: keep ASCII, mark the rest
    for (char c : bytes) {
      const auto u = static_cast<unsigned char>(c);
      out.push_back(u < 0x80 ? u : kReplacement);
    }
    return out;
  }
  // A double-byte character never yields more than two units.
  out.resize(bytes.size() * 2);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(conv.get(), toUnicodeReplacement, nullptr, nullptr, nullptr, &status);
  UChar* target = reinterpret_cast<UChar*>(out.data());
  const char* source = bytes.data();
  status = U_ZERO_ERROR;
  ucnv_toUnicode(conv.get(), &target, target + out.size(), &source, bytes.data() + bytes.size(),
                 nullptr, true, &status);
  out.resize(static_cast<size_t>(target - reinterpret_cast<UChar*>(out.data())));
  for (char16_t& c : out) c = static_cast<char16_t>(windowsControl(c, &ControlSwap::icu));
  return out;
}

std::u16string decodeText(std::string_view bytes, Encoding* used) {
  std::string_view body = bytes;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (auto text = tryDecodeUtf8(body)) {
    if (used) *used = Encoding::Utf8;
    return std::move(*text);
  }
  if (used) *used = Encoding::Cp932;
  return decodeCp932(bytes);
}

std::optional<std::string> encodeCp932(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  Converter conv = openCp932();
  if (!conv) return std::nullopt;
  // ICU substitutes silently by default; stop instead, so that a character
  // without a CP932 form is never lost unnoticed.
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv.get(), fromUnicodeSinglesOrStop, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(text.size() * 2 + 4);
  char* target = out.data();
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(conv.get(), &target, out.data() + out.size(), &source, source + text.size(),
                   nullptr, true, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(target - out.data()));
  // These bytes are never the second byte of a double-byte character, so
  // they can be mapped alone.
  for (char& b : out)
    b = static_cast<char>(windowsControl(static_cast<unsigned char>(b), &ControlSwap::byte));
  // ICU always applies its one-way mappings to private-use characters
  // (U+F86F comes out as 87 82, which reads back as U+2116): text with such
  // characters fits only when it reads back as itself.
  const auto privateUse = [](char16_t c) {
    return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xDB80 && c <= 0xDBFF);
  };
  if (std::any_of(text.begin(), text.end(), privateUse) && decodeCp932(out) != text)
    return std::nullopt;
  return out;
}

}  // namespace kelvane::textfile
