#include "acquisition/direct/http_fetch.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "acquisition/address.h"
#include "acquisition/direct/cookie_file.h"
#include "textfile/lazy_library.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

// libcurl is opened on the first fetch: linked into kelvane-run, it and the
// TLS, LDAP and Kerberos libraries under it cost every run a few
// milliseconds of start-up, also the many runs that never fetch.
struct Libcurl {
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) init = nullptr;
  decltype(&curl_easy_setopt) setopt = nullptr;
  decltype(&curl_easy_perform) perform = nullptr;
  decltype(&curl_easy_getinfo) getinfo = nullptr;
  decltype(&curl_easy_strerror) strerror = nullptr;
  decltype(&curl_easy_cleanup) cleanup = nullptr;
  decltype(&curl_multi_init) multiInit = nullptr;
  decltype(&curl_multi_add_handle) multiAdd = nullptr;
  decltype(&curl_multi_remove_handle) multiRemove = nullptr;
  decltype(&curl_multi_perform) multiPerform = nullptr;
  decltype(&curl_multi_poll) multiPoll = nullptr;
  decltype(&curl_multi_info_read) multiInfoRead = nullptr;
  decltype(&curl_multi_cleanup) multiCleanup = nullptr;
  decltype(&curl_url) url = nullptr;
  decltype(&curl_url_set) urlSet = nullptr;
  decltype(&curl_url_get) urlGet = nullptr;
  decltype(&curl_url_cleanup) urlCleanup = nullptr;
  decltype(&curl_free) free = nullptr;
  decltype(&curl_slist_free_all) slistFree = nullptr;
  std::string error;  // why it could not be opened
};

// Null when libcurl (its 4th ABI, the one of every libcurl since 7.16) is
// missing; the reason is then in the error.
const Libcurl& libcurl() {
  static const Libcurl loaded = [] {
    Libcurl l;
    textfile::LazyLibrary library("libcurl.so.4");
    library.bind("curl_global_init", l.globalInit);
    library.bind("curl_easy_init", l.init);
    library.bind("curl_easy_setopt", l.setopt);
    library.bind("curl_easy_perform", l.perform);
    library.bind("curl_easy_getinfo", l.getinfo);
    library.bind("curl_easy_strerror", l.strerror);
    library.bind("curl_easy_cleanup", l.cleanup);
    library.bind("curl_multi_init", l.multiInit);
    library.bind("curl_multi_add_handle", l.multiAdd);
    library.bind("curl_multi_remove_handle", l.multiRemove);
    library.bind("curl_multi_perform", l.multiPerform);
    library.bind("curl_multi_poll", l.multiPoll);
    library.bind("curl_multi_info_read", l.multiInfoRead);
    library.bind("curl_multi_cleanup", l.multiCleanup);
    library.bind("curl_url", l.url);
    library.bind("curl_url_set", l.urlSet);
    library.bind("curl_url_get", l.urlGet);
    library.bind("curl_url_cleanup", l.urlCleanup);
    library.bind("curl_free", l.free);
    library.bind("curl_slist_free_all", l.slistFree);
    if (!library.error().empty()) {
      l = Libcurl{};
      l.error = library.error();
      return l;
    }
    l.globalInit(CURL_GLOBAL_DEFAULT);
    return l;
  }();
  return loaded;
}

// What the callbacks of one fetch share.
struct Transfer {
  CURL* curl;
  const FetchLimits* limits;
  std::string* body;
  FetchResult* result;
  size_t headerBytes = 0;
  bool headersDone = false;  // the blank line after the last response's headers came
  // Which cap ended the fetch, if one did.
  std::string capReason;
};

size_t onBody(char* data, size_t, size_t size, void* context) {
  auto* t = static_cast<Transfer*>(context);
  curl_off_t announced = 0;
  if (t->body->empty() &&
      libcurl().getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
      announced > 0) {
    // Room for the length the server announced, up to the cap, spares
    // growing the body step by step.
    t->body->reserve(std::min(static_cast<size_t>(announced), t->limits->maxBodyBytes));
  }
  if (size > t->limits->maxBodyBytes - std::min(t->body->size(), t->limits->maxBodyBytes)) {
    t->capReason = pageTooLargeReason(t->limits->maxBodyBytes);
    return 0;  // ends the transfer
  }
  t->body->append(data, size);
  return size;
}

// The value of a header line when it is the named one (in lower case, with
// its colon).
void keepHeader(std::string_view line, std::string_view name, std::string* value) {
  if (line.size() < name.size()) return;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = line[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != name[i]) return;
  }
  line.remove_prefix(name.size());
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
    line.remove_suffix(1);
  }
  value->assign(line);
}

size_t onHeader(char* data, size_t, size_t size, void* context) {
  auto* t = static_cast<Transfer*>(context);
  // Each response of a redirect chain has headers of its own.
  const std::string_view line(data, size);
  if (line.starts_with("HTTP/")) {
    t->headerBytes = 0;
    t->result->disposition.clear();
    t->result->refresh.clear();
  }
  keepHeader(line, "content-disposition:", &t->result->disposition);
  keepHeader(line, "refresh:", &t->result->refresh);
  t->headersDone = std::string_view(data, size) == "\r\n" || std::string_view(data, size) == "\n";
  t->headerBytes += size;
  if (t->headerBytes > t->limits->maxHeaderBytes) {
    t->capReason = "the server's headers are larger than " +
                   std::to_string(t->limits->maxHeaderBytes >> 10) + " KiB";
    return 0;
  }
  return size;
}

// A variable of the environment in the case given or, unset, in the other
// case ("http_proxy", then "HTTP_PROXY"), as the browser reads them.
std::string environment(std::string name) {
  if (const char* value = std::getenv(name.c_str()); value && *value) return value;
  const bool lowerCase = std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a'; });
  for (char& c : name) {
    if (lowerCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!lowerCase && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

// The proxy for an address from the environment: the one for its scheme,
// else all_proxy; none for a file.
std::string proxyFor(std::string_view url) {
  const std::string scheme(url.substr(0, url.find(':')));
  if (scheme != "http" && scheme != "https") return {};
  std::string proxy = environment(scheme + "_proxy");
  return proxy.empty() ? environment("all_proxy") : proxy;
}

// Hosts reached without the proxy: those of no_proxy, and always the
// loopback addresses, which a proxy elsewhere cannot reach as meant.
std::string noProxyHosts() {
  const std::string listed = environment("no_proxy");
  if (listed == "*") return listed;
  return "localhost,127.0.0.0/8,::1" + (listed.empty() ? "" : "," + listed);
}

}  // namespace

struct HttpFetcher::Handle {
  CURL* curl = nullptr;
  CURLM* multi = nullptr;  // holds the connections kept between fetches
  ~Handle() {
    if (curl) libcurl().cleanup(curl);
    if (multi) libcurl().multiCleanup(multi);
  }
};

HttpFetcher::HttpFetcher(FetchLimits limits)
    : handle_(std::make_unique<Handle>()), limits_(limits) {
  if (libcurl().init) {
    handle_->curl = libcurl().init();
    handle_->multi = libcurl().multiInit();
  }
}

HttpFetcher::~HttpFetcher() = default;

bool HttpFetcher::ready() const {
  return handle_->curl != nullptr;
}

std::vector<std::string> HttpFetcher::cookieLines() const {
  std::vector<std::string> lines;
  curl_slist* list = nullptr;
  if (!handle_->curl || libcurl().getinfo(handle_->curl, CURLINFO_COOKIELIST, &list) != CURLE_OK) {
    return lines;
  }
  for (const curl_slist* item = list; item; item = item->next) lines.emplace_back(item->data);
  libcurl().slistFree(list);
  return lines;
}

void HttpFetcher::replaceCookies(const std::vector<std::string>& lines) {
  if (!handle_->curl) return;
  libcurl().setopt(handle_->curl, CURLOPT_COOKIELIST, "ALL");
  for (const std::string& line : lines) addCookie(line);
}

void HttpFetcher::addCookie(std::string_view line) {
  // The engine's commands ("ALL", "FLUSH"...) are no cookie lines.
  const bool cookie = line.find('\t') != std::string_view::npos || line.starts_with("Set-Cookie:");
  if (!handle_->curl || !cookie) return;
  libcurl().setopt(handle_->curl, CURLOPT_COOKIELIST, std::string(line).c_str());
}

std::string HttpFetcher::resolveReference(std::string_view base, std::string_view reference) {
  const Libcurl& api = libcurl();
  if (!api.url) return {};
  CURLU* url = api.url();
  std::string resolved;
  char* text = nullptr;
  if (url && api.urlSet(url, CURLUPART_URL, std::string(base).c_str(), 0) == CURLUE_OK &&
      api.urlSet(url, CURLUPART_URL, std::string(reference).c_str(), 0) == CURLUE_OK &&
      api.urlGet(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    resolved = text;
  }
  if (text) api.free(text);
  if (url) api.urlCleanup(url);
  return resolved;
}

// One request, its answer read while the stop check is asked at least ten
// times a second: the transfer itself may wait for ever on a silent server.
int HttpFetcher::perform(bool* stopped) {
  const Libcurl& api = libcurl();
  CURL* curl = handle_->curl;
  CURLM* multi = handle_->multi;
  if (!multi) return api.perform(curl);
  api.multiAdd(multi, curl);
  CURLcode code = CURLE_OK;
  for (int running = 1; running;) {
    if (stopRequested_ && stopRequested_()) {
      *stopped = true;
      break;
    }
    if (api.multiPerform(multi, &running) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
    if (running) api.multiPoll(multi, nullptr, 0, 100, nullptr);
  }
  int left = 0;
  while (CURLMsg* message = api.multiInfoRead(multi, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) code = message->data.result;
  }
  api.multiRemove(multi, curl);
  return code;
}

FetchResult HttpFetcher::fetch(std::string_view address, long maxRedirects) {
  FetchResult result;
  const ResolvedAddress resolved = resolveAddress(textfile::fromUtf8(address));
  const std::string& url = resolved.url;
  CURL* curl = handle_->curl;
  if (!curl) {
    const std::string& why = libcurl().error;
    result.error =
        "the HTTP client could not be started" + (why.empty() ? "" : ": " + why) + " (" + url + ")";
    return result;
  }
  if (url.empty()) {
    result.error = resolved.error;
    return result;
  }
  if (cookieFile_) {
    if (std::string why = cookieFile_->beforeFetch(*this); !why.empty()) {
      result.error = why + " (" + url + ")";
      return result;
    }
  }
  Transfer transfer{curl, &limits_, &result.body, &result, 0, false, {}};
  const Libcurl& api = libcurl();
  char errorText[CURL_ERROR_SIZE] = "";
  // The handle is kept between fetches for its cookies and connections;
  // the options of the last fetch are set afresh. Redirects are followed
  // here, each with the proxy of its own scheme.
  api.setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  api.setopt(curl, CURLOPT_NOSIGNAL, 1L);
  // A file address is fetched only as the first address, which the script
  // or the user chose; redirects are followed below and never lead off the
  // web, and libcurl is told the same should it ever follow one itself.
  api.setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
  api.setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  api.setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can undo
  api.setopt(curl, CURLOPT_COOKIEFILE, "");       // cookies kept in memory
  api.setopt(curl, CURLOPT_FAILONERROR, 1L);
  api.setopt(curl, CURLOPT_USERAGENT,
             "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
             "Kelvane");
  api.setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  api.setopt(curl, CURLOPT_WRITEDATA, &transfer);
  api.setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
  api.setopt(curl, CURLOPT_HEADERDATA, &transfer);
  const std::string noProxy = noProxyHosts();
  api.setopt(curl, CURLOPT_NOPROXY, noProxy.c_str());

  const auto start = std::chrono::steady_clock::now();
  std::string hop = url, referer;
  CURLcode code = CURLE_OK;
  bool stopped = false;
  std::string offTheWeb;  // a redirect that would have left http and https
  for (long redirects = 0;; ++redirects) {
    const auto left = limits_.deadline - std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - start);
    if (left.count() <= 0) {
      code = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    const std::string proxy = proxyFor(hop);
    api.setopt(curl, CURLOPT_URL, hop.c_str());
    api.setopt(curl, CURLOPT_PROXY, proxy.c_str());
    api.setopt(curl, CURLOPT_REFERER, referer.empty() ? nullptr : referer.c_str());
    api.setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
    result.body.clear();
    transfer.headersDone = false;
    code = static_cast<CURLcode>(perform(&stopped));
    char* next = nullptr;
    if (stopped || code != CURLE_OK ||
        api.getinfo(curl, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || !next) {
      break;
    }
    if (!isWebAddress(next)) {
      offTheWeb = next;
      break;
    }
    if (redirects >= maxRedirects) {
      code = CURLE_TOO_MANY_REDIRECTS;
      break;
    }
    result.redirects = redirects + 1;
    referer = std::move(hop);
    hop = next;
  }
  api.getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  char* finalUrl = nullptr;
  api.getinfo(curl, CURLINFO_EFFECTIVE_URL, &finalUrl);
  result.finalUrl = finalUrl ? finalUrl : url;
  char* contentType = nullptr;
  api.getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType) result.contentType = contentType;
  api.setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

  std::string reason;
  if (stopped) {
    reason = "the load was stopped";
  } else if (!transfer.capReason.empty()) {
    reason = transfer.capReason;
  } else if (code == CURLE_OUT_OF_MEMORY && !transfer.headersDone) {
    // libcurl refuses one header line longer than its own limit this way.
    reason = "a header line from the server is longer than " +
             std::to_string(CURL_MAX_HTTP_HEADER >> 10) + " KiB";
  } else if (!offTheWeb.empty()) {
    reason = "the server redirects to " + offTheWeb +
             ", which is neither http: nor https: and is not followed";
  } else if (code == CURLE_TOO_MANY_REDIRECTS) {
    reason = "more than " + std::to_string(limits_.maxRedirects) + " redirects";
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    reason =
        "the page did not load within " + std::to_string(limits_.deadline.count() / 1000) + " s";
  } else if (code == CURLE_HTTP_RETURNED_ERROR) {
    reason = "HTTP status " + std::to_string(result.status);
  } else if (code != CURLE_OK) {
    reason = errorText[0] ? errorText : api.strerror(code);
  }
  // What the server set is kept even when the page failed: a login page
  // that answers 403 may still renew its session.
  if (cookieFile_ && !stopped) {
    std::string notKept = cookieFile_->afterFetch(*this);
    if (reason.empty()) reason = std::move(notKept);
  }
  if (!reason.empty()) {
    result.error = reason + " (" + url + ")";
    std::string().swap(result.body);
  }
  return result;
}

}  // namespace kelvane::acquisition
