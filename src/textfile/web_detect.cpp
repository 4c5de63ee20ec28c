// The encoding of a page that declares none, guessed from its bytes as the
// browser guesses it: a detector over the text outside the tags, whose
// answer is taken only where the browser would come to the same one. The
// browser never takes UTF-16 or UTF-32 without a byte order mark, and
// falls back to windows-1252.
#include <unicode/ucsdet.h>
#include <unicode/uvernum.h>

#include <memory>
#include <string_view>

#include "textfile/lazy_library.h"
#include "textfile/web_charset.h"

namespace kelvane::textfile {
namespace {

using E = WebEncoding;

// ICU's detector lives in its i18n library, which nothing else below the
// window needs. It is opened the first time a page without a declared
// encoding asks for it, so that kelvane-run on any other page neither loads
// nor binds it (a megabyte of memory and a million instructions a start).
struct IcuDetector {
  decltype(&ucsdet_open) open = nullptr;
  decltype(&ucsdet_close) close = nullptr;
  decltype(&ucsdet_enableInputFilter) enableInputFilter = nullptr;
  decltype(&ucsdet_setText) setText = nullptr;
  decltype(&ucsdet_detectAll) detectAll = nullptr;
  decltype(&ucsdet_getName) getName = nullptr;
  decltype(&ucsdet_getLanguage) getLanguage = nullptr;
};

// The names as the library exports them, with ICU's version suffix.
#define KELVANE_ICU_NAME_(name) #name
#define KELVANE_ICU_NAME(name) KELVANE_ICU_NAME_(name)

// All null when the library cannot be opened: it comes in the same package as
// ICU's common library, which the program is linked to, so that means a broken
// installation, and the page is then read as the browser reads an undetected
// one.
const IcuDetector& icuDetector() {
  static const IcuDetector loaded = [] {
    IcuDetector d;
    LazyLibrary library("libicui18n.so." U_ICU_VERSION_SHORT);
    library.bind(KELVANE_ICU_NAME(ucsdet_open), d.open);
    library.bind(KELVANE_ICU_NAME(ucsdet_close), d.close);
    library.bind(KELVANE_ICU_NAME(ucsdet_enableInputFilter), d.enableInputFilter);
    library.bind(KELVANE_ICU_NAME(ucsdet_setText), d.setText);
    library.bind(KELVANE_ICU_NAME(ucsdet_detectAll), d.detectAll);
    library.bind(KELVANE_ICU_NAME(ucsdet_getName), d.getName);
    library.bind(KELVANE_ICU_NAME(ucsdet_getLanguage), d.getLanguage);
    return library.error().empty() ? d : IcuDetector{};
  }();
  return loaded;
}

struct DetectorCloser {
  void operator()(UCharsetDetector* d) const { icuDetector().close(d); }
};

// What the detector's names stand for in a browser, which reads Greek
// pages with the Windows table; a page the detector finds in
// another encoding (UTF-16 or UTF-32 without a byte order mark, EBCDIC) is
// windows-1252 to the browser.
struct Detected {
  std::string_view name;
  WebEncoding encoding;
};
constexpr Detected kDetected[] = {
    {"Shift_JIS", E::ShiftJis},
    {"EUC-JP", E::EucJp},
    {"ISO-2022-JP", E::Iso2022Jp},
    {"GB18030", E::Gbk},
    {"Big5", E::Big5},
    {"EUC-KR", E::EucKr},
    {"ISO-8859-1", E::Windows1252},
    {"windows-1252", E::Windows1252},
    {"ISO-8859-2", E::Iso8859_2},
    {"windows-1250", E::Windows1250},
    {"ISO-8859-5", E::Iso8859_5},
    {"windows-1251", E::Windows1251},
    {"KOI8-R", E::Koi8R},
    {"ISO-8859-6", E::Iso8859_6},
    {"windows-1256", E::Windows1256},
    {"ISO-8859-7", E::Windows1253},
    {"windows-1253", E::Windows1253},
    {"ISO-8859-8", E::Iso8859_8},
    {"ISO-8859-8-I", E::Iso8859_8},
    {"windows-1255", E::Windows1255},
    {"ISO-8859-9", E::Windows1254},
    {"windows-1254", E::Windows1254},
};

// A letter in windows-1252: an ASCII one or one of the accented ones.
bool latinLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

// Read as windows-1252, a sign of 0xA1 to 0xBF ("¹", "¿") right between two
// letters, or an opening "¡" or "¿" right after one, is seldom meant; read as ISO-8859-2 the same
// bytes are mostly letters ("š", "ż"). The browser takes such a page for ISO-8859-2 even when a few
// bytes are all it has; so is it here, when every such sign is a letter there and no byte of 0x80
// to 0x9F (which ISO-8859-2 leaves to controls) says windows-1252.
bool readsAsLatin2(std::string_view bytes) {
  constexpr std::string_view kLatin2Letters =
      "\xA1\xA3\xA5\xA6\xA9\xAA\xAB\xAC\xAE\xAF\xB1\xB3\xB5\xB6\xB9\xBA\xBB\xBC\xBE\xBF";
  bool found = false;
  for (size_t i = 1; i + 1 < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80 && c <= 0x9F) return false;
    // An opening "¡" or "¿" never follows a letter either.
    if (c < 0xA1 || c > 0xBF || !latinLetter(static_cast<unsigned char>(bytes[i - 1])) ||
        !(latinLetter(static_cast<unsigned char>(bytes[i + 1])) || c == 0xA1 || c == 0xBF)) {
      continue;
    }
    if (kLatin2Letters.find(bytes[i]) == std::string_view::npos) return false;
    found = true;
  }
  return found;
}

// The detector's answer for a page that is not all ASCII.
WebEncoding detected(std::string_view looked) {
  const IcuDetector& icu = icuDetector();
  if (!icu.open) return E::Windows1252;
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UCharsetDetector, DetectorCloser> detector(icu.open(&status));
  if (U_FAILURE(status)) return E::Windows1252;
  icu.enableInputFilter(detector.get(), true);  // the tags say nothing of the text
  icu.setText(detector.get(), looked.data(), static_cast<int32_t>(looked.size()), &status);
  int32_t count = 0;
  const UCharsetMatch** matches = icu.detectAll(detector.get(), &count, &status);
  for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
    const char* found = icu.getName(matches[i], &status);
    const std::string_view name = found && U_SUCCESS(status) ? found : "";
    if (name.starts_with("IBM")) continue;  // EBCDIC: never a web page
    if (name == "ISO-8859-2") {
      // The browser reads a Polish page as ISO-8859-2, a Czech, Slovak or
      // Hungarian one as windows-1250.
      const char* language = icu.getLanguage(matches[i], &status);
      return language && std::string_view(language) == "pl" ? E::Iso8859_2 : E::Windows1250;
    }
    for (const Detected& d : kDetected) {
      if (d.name == name) return d.encoding;
    }
    break;
  }
  return E::Windows1252;
}

}  // namespace

WebEncoding detectWebEncoding(std::string_view bytes) {
  // The detector's view of a page is its first 64 KiB, as the browser's is
  // its first chunks.
  constexpr size_t kLooked = size_t{64} << 10;
  const std::string_view looked = bytes.substr(0, kLooked);
  bool ascii = true;
  for (const char c : looked) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  // ISO-2022-JP is ASCII bytes with escapes into its character sets.
  if (ascii) {
    for (std::string_view escape : {"\x1B$B", "\x1B$@", "\x1B(J", "\x1B(I"}) {
      if (looked.find(escape) != std::string_view::npos) return E::Iso2022Jp;
    }
    return E::Windows1252;
  }
  const WebEncoding found = detected(looked);
  return found == E::Windows1252 && readsAsLatin2(looked) ? E::Iso8859_2 : found;
}

}  // namespace kelvane::textfile
