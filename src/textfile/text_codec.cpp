#include "textfile/text_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace kelvane::textfile {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at bytes[i], or 0.
size_t utf8SequenceLength(std::string_view bytes, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = b(i);
  const size_t left = bytes.size() - i;
  const auto cont = [&](size_t k) { return (b(i + k) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !cont(1) || !cont(2)) return 0;
    const unsigned char second = b(i + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
    if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !cont(1) || !cont(2) || !cont(3)) return 0;
    const unsigned char second = b(i + 1);
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

// Eight bytes at once while they are all ASCII: pages are mostly markup.
size_t asciiRun(const char* data, size_t size) {
  size_t i = 0;
  while (i + 8 <= size) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (word & 0x8080808080808080ULL) break;
    i += 8;
  }
  while (i < size && static_cast<unsigned char>(data[i]) < 0x80) ++i;
  return i;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Every byte sequence that CP932 cannot map becomes U+FFFD (ICU's own
// substitute would give U+001A for some of them, which looks like data).
void toUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  const UChar replacement = kReplacement;
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

Converter openCp932() {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open("windows-31j", &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    i += asciiRun(bytes.data() + i, bytes.size() - i);
    if (i == bytes.size()) break;
    const size_t n = utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u16string decodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.resize(bytes.size());  // never more units than bytes
  char16_t* o = out.data();
  size_t i = 0;
  const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const size_t run = asciiRun(bytes.data() + i, bytes.size() - i);
    for (size_t k = 0; k < run; ++k) *o++ = b(i + k);
    i += run;
    if (i == bytes.size()) break;
    const size_t n = utf8SequenceLength(bytes, i);
    if (n == 0) {  // not reached for valid input; keep going safely
      *o++ = kReplacement;
      ++i;
      continue;
    }
    char32_t cp;
    if (n == 2) {
      cp = ((b(i) & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
    } else if (n == 3) {
      cp = ((b(i) & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
    } else {
      cp = ((b(i) & 0x07u) << 18) | ((b(i + 1) & 0x3Fu) << 12) | ((b(i + 2) & 0x3Fu) << 6) |
           (b(i + 3) & 0x3Fu);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(cp);
    }
    i += n;
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
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
  return out;
}

std::u16string decodeText(std::string_view bytes, Encoding* used) {
  if (isValidUtf8(bytes)) {
    if (used) *used = Encoding::Utf8;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return decodeUtf8(bytes);
  }
  if (used) *used = Encoding::Cp932;
  return decodeCp932(bytes);
}

std::string encodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

std::optional<std::string> encodeCp932(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  Converter conv = openCp932();
  if (!conv) return std::nullopt;
  // ICU substitutes silently by default; stop instead, so that a character
  // without a CP932 form is never lost unnoticed.
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(text.size() * 2 + 4);
  char* target = out.data();
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(conv.get(), &target, out.data() + out.size(), &source, source + text.size(),
                   nullptr, true, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(target - out.data()));
  return out;
}

}  // namespace kelvane::textfile
