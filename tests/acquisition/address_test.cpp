#include "acquisition/address.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

// What the URL box or a URL command may hold, against a folder with a few
// files; "%D" in an expected address stands for the folder's path.
TEST(Address, TypedTextIsReadAsAnAddressBarReadsIt) {
  char pattern[] = "/tmp/kelvane-address-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::filesystem::create_directory(dir + "/sub");
  for (const char* name : {"here.html", "a b#1%.html", "青.html", "example.org"}) {
    std::ofstream(dir + "/" + name) << "x";
  }
  struct Case {
    std::u16string typed;
    std::string url;  // empty: an error
  };
  const std::vector<Case> cases = {
      {u"http://a.example/x?q=1#f", "http://a.example/x?q=1#f"},
      {u" \thttps://a.example/ \r\n", "https://a.example/"},
      {u"\u3000http://a.example/\u3000", "http://a.example/"},
      {u"file:///etc/hosts", "file:///etc/hosts"},
      {u"example.com", "http://example.com"},
      {u"example.com/p?q#f", "http://example.com/p?q#f"},
      {u"localhost:8080/x", "http://localhost:8080/x"},
      {u"user@host", "http://user@host"},
      {u"ftp.example.com", "ftp://ftp.example.com"},
      {u"about:blank", "about:blank"},
      {u"javascript:location.href='/b'", "javascript:location.href='/b'"},
      {u"C:\\pages\\a.html", "C:\\pages\\a.html"},  // no drive letters here: a scheme
      {u"::1", "http://[::1]"},
      {u"here.html", "file://%D/here.html"},
      {u"./sub/../here.html", "file://%D/here.html"},
      {u"sub/", "file://%D/sub"},
      {u"example.org", "file://%D/example.org"},  // a file before a host
      {u"a b#1%.html", "file://%D/a%20b%231%25.html"},
      {u"青.html", "file://%D/%E9%9D%92.html"},
      {u"nothing-here.html", "http://nothing-here.html"},
      {u"/no/such/page.html", "file:///no/such/page.html"},
      {u"", ""},
      {u" \u3000 ", ""},
      {u"?q=1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(textfile::toUtf8(c.typed));
    std::string expected = c.url;
    if (const size_t at = expected.find("%D"); at != std::string::npos) {
      expected.replace(at, 2, dir);
    }
    const ResolvedAddress got = resolveAddress(c.typed, dir);
    EXPECT_EQ(got.url, expected);
    EXPECT_EQ(got.error.empty(), !expected.empty()) << got.error;
  }
  // An absolute name is read as it stands, wherever the program runs.
  EXPECT_EQ(resolveAddress(textfile::fromUtf8(dir + "/here.html"), "/").url,
            "file://" + dir + "/here.html");
  EXPECT_EQ(resolveAddress(u"  ", dir).error, "no address given");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvane::acquisition
