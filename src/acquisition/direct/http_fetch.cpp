#include "acquisition/direct/http_fetch.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

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
  std::string error;  // why it could not be opened
};

template <typename F>
void bind(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(::dlsym(library, name));
}

// Null when libcurl (its 4th ABI, the one of every libcurl since 7.16) is
// missing; the reason is then in the error.
const Libcurl& libcurl() {
  static const Libcurl loaded = [] {
    Libcurl l;
    void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* reason = ::dlerror();
      l.error = reason ? reason : "libcurl.so.4 cannot be opened";
      return l;
    }
    bind(library, "curl_global_init", l.globalInit);
    bind(library, "curl_easy_init", l.init);
    bind(library, "curl_easy_setopt", l.setopt);
    bind(library, "curl_easy_perform", l.perform);
    bind(library, "curl_easy_getinfo", l.getinfo);
    bind(library, "curl_easy_strerror", l.strerror);
    bind(library, "curl_easy_cleanup", l.cleanup);
    if (!l.globalInit || !l.init || !l.setopt || !l.perform || !l.getinfo || !l.strerror ||
        !l.cleanup) {
      l = Libcurl{};
      l.error = "libcurl.so.4 lacks the functions of its interface";
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
  size_t headerBytes = 0;
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
    t->capReason =
        "the page is larger than " + std::to_string(t->limits->maxBodyBytes >> 20) + " MiB";
    return 0;  // ends the transfer
  }
  t->body->append(data, size);
  return size;
}

size_t onHeader(char* data, size_t, size_t size, void* context) {
  auto* t = static_cast<Transfer*>(context);
  // Each response of a redirect chain has headers of its own.
  if (size >= 5 && std::string_view(data, 5) == "HTTP/") t->headerBytes = 0;
  t->headerBytes += size;
  if (t->headerBytes > t->limits->maxHeaderBytes) {
    t->capReason = "the server's headers are larger than " +
                   std::to_string(t->limits->maxHeaderBytes >> 10) + " KiB";
    return 0;
  }
  return size;
}

bool hasScheme(std::string_view typed) {
  const size_t colon = typed.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  return std::all_of(typed.begin(), typed.begin() + static_cast<long>(colon), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
  });
}

std::string trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

struct HttpFetcher::Handle {
  CURL* curl = nullptr;
  ~Handle() {
    if (curl) libcurl().cleanup(curl);
  }
};

HttpFetcher::HttpFetcher(FetchLimits limits)
    : handle_(std::make_unique<Handle>()), limits_(limits) {
  if (libcurl().init) handle_->curl = libcurl().init();
}

HttpFetcher::~HttpFetcher() = default;

std::string HttpFetcher::resolveAddress(std::string_view typed) {
  std::string text = trimmed(typed);
  if (text.empty() || hasScheme(text)) return text;
  struct stat info {};
  if (::stat(text.c_str(), &info) == 0) {
    if (text.front() == '/') return "file://" + text;
    char* cwd = ::getcwd(nullptr, 0);
    std::string path = std::string(cwd ? cwd : ".") + "/" + text;
    std::free(cwd);
    return "file://" + path;
  }
  return "http://" + text;
}

FetchResult HttpFetcher::fetch(std::string_view address) {
  FetchResult result;
  const std::string url = resolveAddress(address);
  CURL* curl = handle_->curl;
  if (!curl) {
    const std::string& why = libcurl().error;
    result.error =
        "the HTTP client could not be started" + (why.empty() ? "" : ": " + why) + " (" + url + ")";
    return result;
  }
  if (url.empty()) {
    result.error = "no address given";
    return result;
  }
  Transfer transfer{curl, &limits_, &result.body, 0, {}};
  const Libcurl& api = libcurl();
  char errorText[CURL_ERROR_SIZE] = "";
  // The handle is kept between fetches for its cookies and connections;
  // the options of the last fetch are set afresh.
  api.setopt(curl, CURLOPT_URL, url.c_str());
  api.setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  api.setopt(curl, CURLOPT_NOSIGNAL, 1L);
  api.setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
  api.setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  api.setopt(curl, CURLOPT_MAXREDIRS, limits_.maxRedirects);
  api.setopt(curl, CURLOPT_AUTOREFERER, 1L);
  api.setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl can undo
  api.setopt(curl, CURLOPT_COOKIEFILE, "");       // cookies kept in memory
  api.setopt(curl, CURLOPT_FAILONERROR, 1L);
  api.setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits_.deadline.count()));
  api.setopt(curl, CURLOPT_USERAGENT,
             "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
             "Kelvane");
  api.setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  api.setopt(curl, CURLOPT_WRITEDATA, &transfer);
  api.setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
  api.setopt(curl, CURLOPT_HEADERDATA, &transfer);

  const CURLcode code = api.perform(curl);
  api.getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  char* finalUrl = nullptr;
  api.getinfo(curl, CURLINFO_EFFECTIVE_URL, &finalUrl);
  result.finalUrl = finalUrl ? finalUrl : url;
  char* contentType = nullptr;
  api.getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType) result.contentType = contentType;
  api.setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

  std::string reason;
  if (!transfer.capReason.empty()) {
    reason = transfer.capReason;
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
  if (!reason.empty()) {
    result.error = reason + " (" + url + ")";
    std::string().swap(result.body);
  }
  return result;
}

}  // namespace kelvane::acquisition
