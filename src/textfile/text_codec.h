// Text encodings of the files Kelvane reads and writes: UTF-8 and CP932
// (Shift_JIS with the Microsoft mapping, as Japanese Windows writes it).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::textfile {

enum class Encoding { Utf8, Cp932 };

// True when the bytes are well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF). A truncated sequence at the end fails.
bool isValidUtf8(std::string_view bytes);

// Bytes of a text file as text: UTF-8 when the bytes are valid UTF-8 (a
// leading byte-order mark is dropped), otherwise CP932. Never fails: bytes
// that CP932 cannot map become U+FFFD. The encoding that was used is stored
// in *used when given.
std::u16string decodeText(std::string_view bytes, Encoding* used = nullptr);

// The head of a longer file, cut after a byte count: without the first bytes
// of a UTF-8 sequence that the cut split, so that the cut alone never makes
// UTF-8 bytes look like CP932.
std::string_view withoutSplitUtf8Tail(std::string_view head);

// UTF-8 to UTF-16; bytes that are not valid UTF-8 are read as CP932.
std::u16string decodeUtf8(std::string_view bytes);

// UTF-8 to UTF-16 in one pass that also checks the bytes, or nothing when
// they are not valid UTF-8 (the same bytes that isValidUtf8 refuses).
std::optional<std::u16string> tryDecodeUtf8(std::string_view bytes);

// CP932 to UTF-16 as Windows maps it, the single bytes 0x80, 0xA0 and
// 0xFD-0xFF included; bytes it cannot map become U+FFFD.
std::u16string decodeCp932(std::string_view bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string encodeUtf8(std::u16string_view text);
// The same into `out`, reusing its storage (for writing big texts in pieces).
void encodeUtf8Into(std::u16string_view text, std::string& out);

// UTF-16 to CP932, or nothing when a character has no CP932 form.
std::optional<std::string> encodeCp932(std::u16string_view text);

// UTF-8 file names and messages; unpaired surrogates become U+FFFD.
inline std::string toUtf8(std::u16string_view text) {
  return encodeUtf8(text);
}
// Any byte string as text (invalid UTF-8 is read as CP932, like a file).
inline std::u16string fromUtf8(std::string_view bytes) {
  return decodeText(bytes);
}

}  // namespace kelvane::textfile
