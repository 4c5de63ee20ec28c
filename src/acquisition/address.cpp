#include "acquisition/address.h"

#include <arpa/inet.h>
#include <unicode/uchar.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

// What an address bar drops around an address: controls that space text,
// and every space and separator of Unicode (U+3000 among them).
bool isBlank(char16_t c) {
  return (c >= 9 && c <= 13) || c == 0x85 || u_isJavaSpaceChar(c);
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the scheme the text begins with, up to its ":"; 0 when it
// begins with none.
size_t schemeLength(std::string_view text) {
  if (text.empty() || !isAsciiLetter(text[0])) return 0;
  size_t n = 1;
  while (n < text.size() && (isAsciiLetter(text[n]) || isAsciiDigit(text[n]) || text[n] == '+' ||
                             text[n] == '-' || text[n] == '.')) {
    ++n;
  }
  return n < text.size() && text[n] == ':' ? n : 0;
}

// "localhost:8080", "example.com:80/x": what looks like a scheme is a host
// followed by a port.
bool isHostAndPort(std::string_view text, size_t colon) {
  size_t end = colon + 1;
  long port = 0;
  while (end < text.size() && isAsciiDigit(text[end]) && port <= 65535) {
    port = port * 10 + (text[end] - '0');
    ++end;
  }
  if (end == colon + 1 || port > 65535) return false;
  return end == text.size() || text[end] == '/' || text[end] == '?' || text[end] == '#';
}

bool isIpv6(const std::string& text) {
  in6_addr address{};
  return ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

// A local path as the path of a file address: what may stand in a path
// segment stays, every other byte is percent-encoded.
std::string fileUrl(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : path) {
    if (isAsciiLetter(c) || isAsciiDigit(c) ||
        std::string_view("-._~!$&'()*+,;=:@/").find(c) != std::string_view::npos) {
      url += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 15];
    }
  }
  return url;
}

// The absolute path of an existing file named relative to dir, or nothing.
std::string existingFile(const std::string& name, const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path path = name.front() == '/' ? fs::path(name) : fs::path(dir) / name;
  std::error_code ec;
  if (!fs::exists(path, ec)) return {};
  std::string clean = path.lexically_normal().string();
  if (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  return clean;
}

}  // namespace

ResolvedAddress resolveAddress(std::u16string_view typed, const std::string& currentDir) {
  const std::string text = textfile::toUtf8(trimmed(typed));
  if (text.empty()) return {{}, "no address given"};
  const size_t scheme = schemeLength(text);
  if (scheme > 0 && text.compare(scheme + 1, 2, "//") == 0) return {text, {}};
  if (isIpv6(text)) return {"http://[" + text + "]", {}};
  if (const std::string file = existingFile(text, currentDir); !file.empty()) {
    return {fileUrl(file), {}};
  }
  if (text.front() == '/') return {fileUrl(text), {}};
  if (scheme > 0 && !isHostAndPort(text, scheme)) return {text, {}};
  // A host, maybe with a user before it and a port after it, then a path.
  const size_t authorityEnd = text.find_first_of("/?#");
  const std::string_view authority = std::string_view(text).substr(0, authorityEnd);
  const size_t at = authority.rfind('@');
  const std::string_view hostAndPort = authority.substr(at == std::string_view::npos ? 0 : at + 1);
  const std::string_view host = hostAndPort.substr(0, hostAndPort.find(':'));
  const bool hasPath = authorityEnd != std::string::npos && text[authorityEnd] == '/';
  if (host.empty() && !hasPath) {
    return {{}, "the address cannot be parsed: " + textfile::toUtf8(typed)};
  }
  std::string first = text.substr(0, text.find('.'));
  for (char& c : first) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return {(first == "ftp" ? "ftp://" : "http://") + text, {}};
}

bool isWebAddress(std::string_view url) {
  const size_t scheme = schemeLength(url);
  if (scheme == 0) return false;
  std::string name(url.substr(0, scheme));
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  // "http:/host" and "http:host" are web addresses too, to libcurl as to
  // the browser: the scheme alone decides.
  return name == "http" || name == "https";
}

ResolvedAddress resolveAddress(std::u16string_view typed) {
  char* cwd = ::getcwd(nullptr, 0);
  const std::string dir = cwd ? cwd : ".";
  std::free(cwd);
  return resolveAddress(typed, dir);
}

}  // namespace kelvane::acquisition
