// Fuzzes where a page sends the direct fetch next, and which addresses count
// as on the web. The input is the page's address, a line feed, its Refresh
// header, a line feed, then its markup.
//
// The fetch follows a refresh or a redirect, and the URL command an address
// cut from a page, only when isWebAddress says the address is http: or
// https:; libcurl then reads the address on its own. So the two must agree
// on every address the fetch could be sent to: an address isWebAddress
// takes for the web that libcurl reads as a file would let a page read this
// computer's files.
#include <curl/curl.h>
#include <gumbo.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/address.h"
#include "acquisition/direct/http_fetch.h"
#include "acquisition/direct/refresh.h"
#include "check.h"
#include "textfile/text_codec.h"

namespace {

using namespace kelvane::acquisition;

// The scheme libcurl reads in a full address, in lower case; nothing when it
// reads no address there.
std::optional<std::string> curlScheme(const std::string& url) {
  CURLU* handle = curl_url();
  std::optional<std::string> scheme;
  char* text = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_SCHEME, &text, 0) == CURLUE_OK) {
    scheme = text;
  }
  curl_free(text);
  curl_url_cleanup(handle);
  return scheme;
}

void checkAgreement(const std::string& url) {
  const std::optional<std::string> scheme = curlScheme(url);
  if (!scheme) return;  // libcurl would not fetch it either
  FUZZ_CHECK(isWebAddress(url) == (*scheme == "http" || *scheme == "https"));
}

std::string_view line(std::string_view& rest) {
  const size_t end = rest.find('\n');
  const std::string_view first = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string pageUrl(line(rest));
  const std::string header(line(rest));
  const std::string markup(rest);

  const std::optional<Refresh> fromHeader = parseRefresh(header);
  GumboOutput* output =
      gumbo_parse_with_options(&kGumboDefaultOptions, markup.data(), markup.size());
  const PageLinks links = pageLinks(*output);
  const std::optional<Refresh> refresh = laterRefresh(fromHeader, links.refresh);
  gumbo_destroy_output(&kGumboDefaultOptions, output);

  if (refresh) {
    // The address comes without the blanks around it, and the delay is never
    // negative (a refresh with a delay is not followed).
    FUZZ_CHECK(refresh->url.empty() || (static_cast<unsigned char>(refresh->url.front()) > ' ' &&
                                        static_cast<unsigned char>(refresh->url.back()) > ' '));
    FUZZ_CHECK(!(refresh->delaySeconds < 0));
  }
  if (const std::optional<std::string> next = refreshTarget(pageUrl, links.baseHref, refresh)) {
    FUZZ_CHECK(!next->empty());
    checkAgreement(*next);
  }
  // A redirect's Location read against the page's address.
  checkAgreement(HttpFetcher::resolveReference(pageUrl, header));
  // The URL command's address, as typed, read as the fetch reads it.
  const ResolvedAddress typed = resolveAddress(kelvane::textfile::fromUtf8(header), "/");
  FUZZ_CHECK(typed.url.empty() != typed.error.empty());
  if (!typed.url.empty()) checkAgreement(typed.url);
  return 0;
}
