// Fetching a page without a browser, over libcurl: redirects, compressed
// bodies, TLS with the system's certificates, cookies kept between the
// fetches of one fetcher (and, given a cookie file, between runs). The proxy is the environment's
// (http_proxy or HTTP_PROXY for an http address, and so on), never for loopback addresses. A server
// can send anything, so every fetch has caps, and each cap that ends a fetch says which it was.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/page_cap.h"

namespace kelvane::acquisition {

struct FetchLimits {
  // The body after decompression: a small gzip body can inflate to gigabytes.
  size_t maxBodyBytes = kPageCapBytes;
  long maxRedirects = 20;
  // All header lines of one response together.
  size_t maxHeaderBytes = size_t{256} << 10;
  // The whole fetch, redirects included: the browser's page deadline.
  std::chrono::milliseconds deadline{90'000};
};

struct FetchResult {
  // Empty when the fetch brought a page; else why not, naming the address
  // ("HTTP status 404 (http://...)").
  std::string error;
  long status = 0;
  std::string contentType;
  // The last response's Content-Disposition and Refresh headers, if sent.
  std::string disposition;
  std::string refresh;
  // Redirects followed to reach finalUrl.
  long redirects = 0;
  std::string finalUrl;
  std::string body;
};

class CookieFile;

class HttpFetcher {
 public:
  explicit HttpFetcher(FetchLimits limits = {});
  ~HttpFetcher();
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;

  // Fetches an address as typed, read as the browser reads it
  // (resolveAddress). Blocks until done or a cap ends it.
  FetchResult fetch(std::string_view address) { return fetch(address, limits_.maxRedirects); }
  // The same, following at most maxRedirects redirects.
  FetchResult fetch(std::string_view address, long maxRedirects);

  // A link's address read against the address of the page it is on
  // ("../b.html" on http://h/a/x.html is http://h/b.html); empty when either
  // is not a valid address.
  static std::string resolveReference(std::string_view base, std::string_view reference);

  // Asked at least ten times a second while a fetch waits; true ends the
  // fetch as stopped (a stop signal arrived).
  void setStopCheck(std::function<bool()> stopRequested) {
    stopRequested_ = std::move(stopRequested);
  }

  // Fetches send the cookies of this file and keep the ones servers set
  // there (cookie_file.h). A file that cannot be read or written fails the
  // fetch with the reason.
  void setCookieFile(std::shared_ptr<CookieFile> file) { cookieFile_ = std::move(file); }
  const std::shared_ptr<CookieFile>& cookieFile() const { return cookieFile_; }

  // libcurl's own cookie engine of this fetcher: its cookies as the lines
  // of a Netscape cookie file, in libcurl's order; all of them replaced
  // by the given lines; one cookie added, a Netscape line or a
  // "Set-Cookie: ..." header (with its domain), replacing one of the same
  // name, domain and path.
  std::vector<std::string> cookieLines() const;
  // False when libcurl could not be opened (a fetch says why).
  bool ready() const;
  void replaceCookies(const std::vector<std::string>& lines);
  void addCookie(std::string_view line);

 private:
  struct Handle;
  int perform(bool* stopped);  // a CURLcode
  std::function<bool()> stopRequested_;
  std::shared_ptr<CookieFile> cookieFile_;
  std::unique_ptr<Handle> handle_;
  FetchLimits limits_;
};

}  // namespace kelvane::acquisition
