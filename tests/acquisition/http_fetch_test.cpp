#include "acquisition/direct/http_fetch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "acquisition/address.h"
#include "acquisition/direct/direct_browser.h"
#include "support/local_http_server.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

using kelvane::testing::LocalHttpServer;
using namespace std::chrono_literals;

// A zlib stream (gzip framing when gzip is set) over data repeated `times`
// times, handed out in pieces; false from sink stops it.
template <typename Sink>
void compress(std::string_view data, size_t times, bool gzip, Sink sink) {
  z_stream z{};
  deflateInit2(&z, 1, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY);
  std::string out(1 << 16, '\0');
  for (size_t i = 0; i <= times; ++i) {
    const bool last = i == times;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = last ? 0 : static_cast<uInt>(data.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      if (!sink(std::string_view(out.data(), out.size() - z.avail_out))) {
        deflateEnd(&z);
        return;
      }
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
}

std::string compressed(std::string_view data, bool gzip) {
  std::string out;
  compress(data, 1, gzip, [&](std::string_view piece) {
    out += piece;
    return true;
  });
  return out;
}

// A local file that pages try to read (file:///...), set by the test.
std::string localFileUrl = "file:///nowhere";

// Well-behaved pages, and each way a server can misbehave.
void serve(LocalHttpServer& server, int fd, const std::string& path, const std::string& head) {
  using S = LocalHttpServer;
  const std::string folder = localFileUrl.substr(0, localFileUrl.rfind('/') + 1);
  const std::string name = localFileUrl.substr(folder.size());
  const std::string html = "Content-Type: text/html\r\n";
  if (path == "/to-file/meta") {
    S::reply(fd, "200 OK", html, "<meta http-equiv=refresh content='0;url=" + localFileUrl + "'>");
  } else if (path == "/to-file/header") {
    S::reply(fd, "200 OK", html + "Refresh: 0; url=" + localFileUrl + "\r\n", "<p>stub</p>");
  } else if (path == "/to-file/base") {
    S::reply(fd, "200 OK", html,
             "<base href='" + folder + "'><meta http-equiv=refresh content='0;url=" + name + "'>");
  } else if (path == "/to-file/302") {
    S::reply(fd, "302 Found", "Location: " + localFileUrl + "\r\n", "");
  } else if (path == "/to-file/hop") {
    S::reply(fd, "302 Found", "Location: /to-file/base\r\n", "");
  } else if (path == "/page") {
    S::reply(fd, "200 OK", "Content-Type: text/html; charset=Shift_JIS\r\n", "<p>\x82\xA0</p>");
  } else if (path == "/gzip" || path == "/deflate") {
    S::reply(fd, "200 OK", "Content-Encoding: " + path.substr(1) + "\r\n",
             compressed("<p>" + path.substr(1) + "</p>", path == "/gzip"));
  } else if (path.starts_with("/hop/")) {
    const int left = std::stoi(path.substr(5));
    S::reply(fd, "302 Found",
             "Location: " + (left > 0 ? "/hop/" + std::to_string(left - 1) : "/page") + "\r\n", "");
  } else if (path.starts_with("/refresh/")) {
    // A refresh stub leading to the next: "/refresh/3" is three stubs
    // before the page, "/refresh/ping" and "/refresh/pong" lead to each other.
    const std::string n = path.substr(9);
    const std::string next = n == "ping"   ? "pong"
                             : n == "pong" ? "ping"
                             : n == "0"    ? "../page"
                                           : std::to_string(std::stoi(n) - 1);
    S::reply(fd, "200 OK", "Content-Type: text/html\r\n",
             "<meta http-equiv=refresh content='0;url=" + next + "'><p>stub</p>");
  } else if (path == "/loop") {
    S::reply(fd, "302 Found", "Location: /loop\r\n", "");
  } else if (path == "/set-cookie") {
    S::reply(fd, "200 OK", "Set-Cookie: session=abc; Path=/\r\n", "set");
  } else if (path == "/cookie") {
    const size_t at = head.find("Cookie: ");
    S::reply(fd, "200 OK", "",
             at == std::string::npos ? "" : head.substr(at + 8, head.find("\r\n", at) - at - 8));
  } else if (path == "/headers") {
    std::string headers = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 300; ++i) headers += "X-Filler: " + std::string(1000, 'a') + "\r\n";
    S::send(fd, headers + "Content-Length: 2\r\n\r\nok");
  } else if (path == "/header-line") {
    S::send(fd, "HTTP/1.1 200 OK\r\nX-Long: " + std::string(10 << 20, 'a') + "\r\n\r\n");
  } else if (path == "/silent") {
    while (!server.stopping()) std::this_thread::sleep_for(20ms);
  } else if (path.starts_with("http://")) {
    S::reply(fd, "200 OK", "", "through the proxy");  // asked as a proxy
  } else if (path == "/drip") {
    S::send(fd, "HTTP/1.1 200 OK\r\nX-Slow: ");
    while (!server.stopping() && S::send(fd, "a")) std::this_thread::sleep_for(50ms);
  } else if (path == "/huge") {
    constexpr size_t kSize = size_t{300} << 20;
    S::send(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n");
    const std::string chunk(1 << 20, 'x');
    for (size_t sent = 0; sent < kSize && S::send(fd, chunk);) sent += chunk.size();
  } else if (path == "/bomb") {
    // A gigabyte of zeros, compressed as it is sent.
    S::send(fd, "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n");
    compress(std::string(1 << 20, '\0'), 1024, true,
             [&](std::string_view piece) { return S::send(fd, piece); });
  } else {
    S::reply(fd, "404 Not Found", "", "<p>not here</p>");
  }
}

class HttpFetchTest : public ::testing::Test {
 protected:
  LocalHttpServer server_{serve};
};

TEST_F(HttpFetchTest, BringsPagesAndSaysWhichFailureOrCapEndedTheFetch) {
  struct Case {
    std::string path;
    std::string body;   // when the fetch succeeds
    std::string error;  // else the reason, before the address
    std::chrono::milliseconds deadline = 90s;
  } cases[] = {
      {"/page", "<p>\x82\xA0</p>", ""},
      {"/gzip", "<p>gzip</p>", ""},
      {"/deflate", "<p>deflate</p>", ""},
      {"/hop/3", "<p>\x82\xA0</p>", ""},
      {"/missing", "", "HTTP status 404"},
      {"/loop", "", "more than 20 redirects"},
      {"/headers", "", "the server's headers are larger than 256 KiB"},
      {"/header-line", "", "a header line from the server is longer than 100 KiB"},
      {"/drip", "", "the page did not load within 1 s", 1s},
      {"/huge", "", "the page is larger than 64 MiB"},
      {"/bomb", "", "the page is larger than 64 MiB"},
  };
  for (const Case& c : cases) {
    FetchLimits limits;
    limits.deadline = c.deadline;
    HttpFetcher fetcher(limits);
    const FetchResult r = fetcher.fetch(server_.url(c.path));
    if (c.error.empty()) {
      EXPECT_EQ(r.error, "") << c.path;
      EXPECT_EQ(r.body, c.body) << c.path;
    } else {
      EXPECT_EQ(r.error, c.error + " (" + server_.url(c.path) + ")") << c.path;
      EXPECT_EQ(r.body, "") << c.path;
    }
  }
  HttpFetcher fetcher;
  const FetchResult page = fetcher.fetch(server_.url("/hop/2"));
  EXPECT_EQ(page.finalUrl, server_.url("/page"));
  EXPECT_EQ(page.contentType, "text/html; charset=Shift_JIS");
}

TEST_F(HttpFetchTest, OversizedBodiesNeverHoldMoreThanTheCapInMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own memory hides the fetch's";
#endif
  HttpFetcher fetcher;
  for (const char* path : {"/bomb", "/huge"}) {
    EXPECT_NE(fetcher.fetch(server_.url(path)).error, "") << path;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 300 * 1024) << "peak resident KiB";
}

TEST_F(HttpFetchTest, CookiesLastForTheFetcherOnly) {
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.fetch(server_.url("/set-cookie")).body, "set");
  EXPECT_EQ(fetcher.fetch(server_.url("/cookie")).body, "session=abc");
  EXPECT_EQ(HttpFetcher().fetch(server_.url("/cookie")).body, "");
}

// A stop signal ends a fetch from a server that never answers at once.
TEST_F(HttpFetchTest, AStopCheckEndsAFetchThatWaits) {
  HttpFetcher fetcher;
  const auto start = std::chrono::steady_clock::now();
  fetcher.setStopCheck([&] { return std::chrono::steady_clock::now() - start > 300ms; });
  const FetchResult r = fetcher.fetch(server_.url("/silent"));
  EXPECT_EQ(r.error, "the load was stopped (" + server_.url("/silent") + ")");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
}

// The proxy of the environment in either letter case; loopback addresses
// never go through it.
TEST_F(HttpFetchTest, ProxyFromEitherCaseButNeverForLoopback) {
  const std::string closed =
      "http://127.0.0.1:" + std::to_string(LocalHttpServer::closedPort()) + "/";
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
    ::unsetenv(name);
  }
  ::setenv("HTTP_PROXY", server_.url("/").c_str(), 1);
  EXPECT_EQ(HttpFetcher().fetch("http://kelvane.invalid/x").body, "through the proxy");
  ::setenv("HTTP_PROXY", closed.c_str(), 1);
  EXPECT_EQ(HttpFetcher().fetch(server_.url("/set-cookie")).body, "set");
  ::unsetenv("HTTP_PROXY");
}

// Refreshes without delay are followed like redirects, under the same cap.
TEST_F(HttpFetchTest, ARefreshWithoutDelayIsFollowedAndCountedWithRedirects) {
  const struct {
    std::string path;
    std::u16string body;  // when the load succeeds
    std::string error;    // else the reason, before the address
  } cases[] = {
      {"/refresh/2", u"<p>\u3042</p>", ""},
      {"/refresh/ping", u"", "more than 20 redirects"},
      {"/refresh/20", u"", "more than 20 redirects"},  // 21 refreshes
      {"/hop/9", u"<p>\u3042</p>", ""},                // 10 redirects
  };
  for (const auto& c : cases) {
    DirectBrowser browser;
    browser.startLoading(textfile::fromUtf8(server_.url(c.path)));
    if (c.error.empty()) {
      EXPECT_EQ(browser.loadError(), std::nullopt) << c.path;
      EXPECT_EQ(browser.bodyHtml(), c.body) << c.path;
    } else {
      EXPECT_EQ(browser.loadError(), textfile::fromUtf8(c.error + " (" + server_.url(c.path) + ")"))
          << c.path;
    }
  }
}

// No redirect or refresh leads off the web: each way a page names a local
// file is a failed load that names it, and nothing of the file is read.
TEST_F(HttpFetchTest, NoRedirectOrRefreshReadsALocalFile) {
  char folder[] = "/tmp/kelvane-local-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/secret.txt";
  std::ofstream(file) << "local secret";
  localFileUrl = "file://" + file;
  const struct {
    std::string path;
    std::string says;
  } cases[] = {
      {"/to-file/meta", "the page refreshes to " + localFileUrl},
      {"/to-file/header", "the page refreshes to " + localFileUrl},
      {"/to-file/base", "the page refreshes to " + localFileUrl},
      {"/to-file/hop", "the page refreshes to " + localFileUrl},
      {"/to-file/302", "the server redirects to " + localFileUrl},
  };
  for (const auto& c : cases) {
    DirectBrowser browser;
    browser.startLoading(textfile::fromUtf8(server_.url(c.path)));
    const std::string error = textfile::toUtf8(browser.loadError().value_or(u""));
    EXPECT_TRUE(error.starts_with(c.says + ", which is neither http: nor https:")) << error;
    EXPECT_EQ(browser.bodyHtml(), std::nullopt) << c.path;
  }
  // The same file named by the script itself is read.
  DirectBrowser browser;
  browser.startLoading(textfile::fromUtf8(localFileUrl));
  EXPECT_EQ(browser.bodyHtml(), u"local secret");
  std::filesystem::remove_all(folder);
}

TEST(Refresh, ContentReadAsTheBrowserReadsIt) {
  const struct {
    std::string_view content;
    std::optional<double> delay;  // nothing: not a refresh
    std::string url;
  } cases[] = {
      {"0; url=next.html", 0, "next.html"},
      {" 0 ,URL = 'a b.html' tail", 0, "a b.html"},
      {"0;\"next.html\"", 0, "next.html"},
      {"5", 5, ""},
      {"0.5; url=x", 0.5, "x"},
      {".5;x", 0.5, "x"},
      {"0;urlx=y", 0, "urlx=y"},
      {"url=next.html", std::nullopt, ""},
      {"0x; url=y", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    const std::optional<Refresh> r = parseRefresh(c.content);
    ASSERT_EQ(r.has_value(), c.delay.has_value()) << c.content;
    if (!r) continue;
    EXPECT_EQ(r->delaySeconds, *c.delay) << c.content;
    EXPECT_EQ(r->url, c.url) << c.content;
  }
}

TEST(HttpFetch, RefusedConnectionNamesTheAddress) {
  const std::string url = "http://127.0.0.1:" + std::to_string(LocalHttpServer::closedPort()) + "/";
  const FetchResult r = HttpFetcher().fetch(url);
  EXPECT_TRUE(r.error.ends_with(" (" + url + ")")) << r.error;
}

// The fetch reads a typed address as the browser does (its cases are in
// address_test): a file whose name holds "#" and "%" is that file, and a
// missing absolute path is a missing file, not a host.
TEST(HttpFetch, TypedAddressesGoWhereTheBrowserGoes) {
  char pattern[] = "/tmp/kelvane-fetch-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string file = std::string(pattern) + "/a b#1%.html";
  std::ofstream(file) << "<p>here</p>";
  const FetchResult found = HttpFetcher().fetch(" " + file + " ");
  EXPECT_EQ(found.error, "");
  EXPECT_EQ(found.body, "<p>here</p>");
  EXPECT_EQ(found.finalUrl, resolveAddress(textfile::fromUtf8(file)).url);
  const FetchResult missing = HttpFetcher().fetch(file + ".gone");
  EXPECT_TRUE(
      missing.error.ends_with("(file://" + std::string(pattern) + "/a%20b%231%25.html.gone)"))
      << missing.error;
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace kelvane::acquisition
