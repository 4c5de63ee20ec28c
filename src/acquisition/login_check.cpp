#include "acquisition/login_check.h"

#include "acquisition/address.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

char16_t lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Where needle (lower case) starts in text from, in any letter case.
size_t findFolded(std::u16string_view text, std::u16string_view needle, size_t from) {
  for (size_t i = from; i + needle.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && lower(text[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return i;
  }
  return std::u16string_view::npos;
}

// An address without its scheme, fragment and a last "/" of the path, so
// that the browser's "https://h/" is the script's "http://h": a move to
// https is no redirect to another page.
std::string_view comparable(std::string_view url) {
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) {
    url.remove_prefix(scheme + 3);
  }
  url = url.substr(0, url.find('#'));
  if (url.ends_with('/')) url.remove_suffix(1);
  return url;
}

}  // namespace

bool holdsPasswordField(std::u16string_view body) {
  for (size_t at = findFolded(body, u"<input", 0); at != std::u16string_view::npos;
       at = findFolded(body, u"<input", at + 1)) {
    const size_t end = body.find(u'>', at);
    const std::u16string_view tag = body.substr(at, end == body.npos ? body.npos : end - at);
    for (std::u16string_view type : {u"type=\"password\"", u"type='password'", u"type=password"}) {
      if (findFolded(tag, type, 0) != std::u16string_view::npos) return true;
    }
  }
  return false;
}

bool loginNeeded(std::string_view asked, std::string_view finalUrl, std::optional<int> status,
                 const std::u16string_view* body) {
  if (status == 401 || status == 403) return true;
  if (!body || finalUrl.empty()) return false;
  const std::string askedUrl = resolveAddress(textfile::fromUtf8(asked)).url;
  const bool redirected = comparable(askedUrl.empty() ? asked : askedUrl) != comparable(finalUrl);
  return redirected && holdsPasswordField(*body);
}

}  // namespace kelvane::acquisition
