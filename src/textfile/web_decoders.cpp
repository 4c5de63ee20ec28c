// The decoders behind decodeAs. The browser decodes through ICU's
// converters with ICU's own substitution (a malformed single byte becomes
// U+001A, a longer sequence U+FFFD), so the same converters are used here
// the same way; where the browser has a table of its own (windows-1252,
// x-user-defined), that table is followed.
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <array>
#include <memory>
#include <mutex>
#include <utility>

#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace kelvane::textfile {
namespace {

using E = WebEncoding;
constexpr char16_t kReplacement = 0xFFFD;
constexpr size_t kEncodingCount = static_cast<size_t>(E::Replacement) + 1;

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

// The whole of bytes through an ICU converter, with ICU's substitution.
std::u16string decodeWithIcu(const char* name, std::string_view bytes) {
  std::u16string out;
  if (bytes.empty()) return out;
  Converter conv = openConverter(name);
  if (!conv) return std::u16string(1, kReplacement);
  out.resize(bytes.size() * 2 + 2);
  UChar* target = reinterpret_cast<UChar*>(out.data());
  const char* source = bytes.data();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_toUnicode(conv.get(), &target, target + out.size(), &source, bytes.data() + bytes.size(),
                 nullptr, true, &status);
  out.resize(static_cast<size_t>(target - reinterpret_cast<UChar*>(out.data())));
  return out;
}

// One byte through a single-byte ICU converter, as ICU substitutes it when
// it is not mapped.
char16_t icuCharacter(UConverter* conv, std::string_view bytes) {
  UChar buffer[4];
  UChar* target = buffer;
  const char* source = bytes.data();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(conv);
  ucnv_toUnicode(conv, &target, buffer + 4, &source, bytes.data() + bytes.size(), nullptr, true,
                 &status);
  return U_FAILURE(status) || target - buffer != 1 ? kReplacement : buffer[0];
}

// --- single-byte encodings: ASCII below 0x80, a table above ---------------

struct SingleByte {
  WebEncoding encoding;
  const char* icuName;
};

constexpr SingleByte kSingleByte[] = {
    {E::Ibm866, "ibm-866_P100-1995"},       {E::Iso8859_2, "ibm-912_P100-1995"},
    {E::Iso8859_3, "ibm-913_P100-2000"},    {E::Iso8859_4, "ibm-914_P100-1995"},
    {E::Iso8859_5, "ibm-915_P100-1995"},    {E::Iso8859_6, "ibm-1089_P100-1995"},
    {E::Iso8859_7, "ibm-9005_X110-2007"},   {E::Iso8859_8, "ibm-5012_P100-1999"},
    {E::Iso8859_8I, "ibm-5012_P100-1999"},  {E::Iso8859_10, "iso-8859_10-1998"},
    {E::Iso8859_13, "ibm-921_P100-1995"},   {E::Iso8859_14, "iso-8859_14-1998"},
    {E::Iso8859_15, "ibm-923_P100-1998"},   {E::Iso8859_16, nullptr},
    {E::Koi8R, "ibm-878_P100-1996"},        {E::Koi8U, "ibm-1168_P100-2002"},
    {E::Macintosh, "macos-0_2-10.2"},       {E::Windows874, "windows-874-2000"},
    {E::Windows1250, "ibm-5346_P100-1998"}, {E::Windows1251, "ibm-5347_P100-1998"},
    {E::Windows1252, "ibm-5348_P100-1997"}, {E::Windows1253, "ibm-5349_P100-1998"},
    {E::Windows1254, "ibm-5350_P100-1998"}, {E::Windows1255, "ibm-9447_P100-2002"},
    {E::Windows1256, "ibm-9448_X100-2005"}, {E::Windows1257, "ibm-9449_P100-2002"},
    {E::Windows1258, "ibm-5354_P100-1998"}, {E::MacCyrillic, "macos-7_3-10.2"},
};

// Where the browser's table differs from ICU's: its own windows-1252 keeps
// the five unassigned bytes as the C1 controls of the same value.
struct ByteFix {
  WebEncoding encoding;
  unsigned char byte;
  char16_t character;
};

constexpr ByteFix kByteFixes[] = {
    {E::Windows1252, 0x81, 0x0081}, {E::Windows1252, 0x8D, 0x008D}, {E::Windows1252, 0x8F, 0x008F},
    {E::Windows1252, 0x90, 0x0090}, {E::Windows1252, 0x9D, 0x009D},
};

using ByteTable = std::array<char16_t, 128>;

const ByteTable& singleByteTable(WebEncoding encoding) {
  static std::array<ByteTable, kEncodingCount> tables;
  static std::array<std::once_flag, kEncodingCount> built;
  const auto index = static_cast<size_t>(encoding);
  std::call_once(built[index], [&] {
    ByteTable& table = tables[index];
    table.fill(kReplacement);
    for (const SingleByte& s : kSingleByte) {
      if (s.encoding != encoding || !s.icuName) continue;
      Converter conv = openConverter(s.icuName);
      if (!conv) break;
      for (int b = 0x80; b <= 0xFF; ++b) {
        const char byte = static_cast<char>(b);
        table[b - 0x80] = icuCharacter(conv.get(), std::string_view(&byte, 1));
      }
    }
    for (const ByteFix& f : kByteFixes) {
      if (f.encoding == encoding) table[f.byte - 0x80] = f.character;
    }
  });
  return tables[index];
}

std::u16string decodeSingleByte(WebEncoding encoding, std::string_view bytes) {
  const ByteTable& table = singleByteTable(encoding);
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = b < 0x80 ? b : table[b - 0x80];
  }
  return out;
}

std::u16string decodeUserDefined(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = b < 0x80 ? b : static_cast<char16_t>(0xF780 + b - 0x80);
  }
  return out;
}

}  // namespace

std::u16string decodeAs(WebEncoding encoding, std::string_view bytes) {
  switch (encoding) {
    case E::Utf8:
      if (auto text = tryDecodeUtf8(bytes)) return std::move(*text);
      return decodeWithIcu("UTF-8", bytes);
    case E::Utf16Le:
      return decodeWithIcu("UTF-16LE", bytes);
    case E::Utf16Be:
      return decodeWithIcu("UTF-16BE", bytes);
    case E::ShiftJis:
      return decodeWithIcu("ibm-943_P15A-2003", bytes);
    case E::EucJp:
      return decodeWithIcu("euc-jp-2007", bytes);
    case E::Iso2022Jp:
      return decodeWithIcu("ISO_2022,locale=ja,version=0", bytes);
    case E::Gb18030:
      return decodeWithIcu("gb18030", bytes);
    case E::Gbk:
      return decodeWithIcu("windows-936-2000", bytes);
    case E::Big5:
      return decodeWithIcu("windows-950-2000", bytes);
    case E::EucKr:
      return decodeWithIcu("windows-949-2000", bytes);
    case E::UserDefined:
      return decodeUserDefined(bytes);
    case E::Replacement:
      return bytes.empty() ? std::u16string() : std::u16string(1, kReplacement);
    default:
      return decodeSingleByte(encoding, bytes);
  }
}

}  // namespace kelvane::textfile
