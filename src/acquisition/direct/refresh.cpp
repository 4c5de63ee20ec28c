#include "acquisition/direct/refresh.h"

#include <cstdlib>
#include <vector>

#include "acquisition/direct/http_fetch.h"

namespace kelvane::acquisition {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const char* attribute(const GumboElement& e, const char* name) {
  const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
  return a ? a->value : nullptr;
}

}  // namespace

std::optional<Refresh> parseRefresh(std::string_view s) {
  size_t at = 0;
  const auto skipBlanks = [&] {
    while (at < s.size() && isBlank(s[at])) ++at;
  };
  skipBlanks();
  const size_t numberStart = at;
  while (at < s.size() && isDigit(s[at])) ++at;
  if (at == numberStart && (at == s.size() || s[at] != '.')) return std::nullopt;
  while (at < s.size() && (isDigit(s[at]) || s[at] == '.')) ++at;
  Refresh refresh;
  refresh.delaySeconds = std::atof(std::string(s.substr(numberStart, at - numberStart)).c_str());
  if (at == s.size()) return refresh;
  if (s[at] != ';' && s[at] != ',' && !isBlank(s[at])) return std::nullopt;
  skipBlanks();
  if (at < s.size() && (s[at] == ';' || s[at] == ',')) ++at;
  skipBlanks();
  if (at == s.size()) return refresh;
  // "url =" may stand before the address.
  std::string_view url = s.substr(at);
  if (equalsIgnoringCase(s.substr(at, 3), "url")) {
    size_t after = at + 3;
    while (after < s.size() && isBlank(s[after])) ++after;
    if (after < s.size() && s[after] == '=') {
      at = after + 1;
      skipBlanks();
      url = s.substr(at);
    }
  }
  if (!url.empty() && (url.front() == '"' || url.front() == '\'')) {
    const char quote = url.front();
    url.remove_prefix(1);
    url = url.substr(0, url.find(quote));
  }
  while (!url.empty() && static_cast<unsigned char>(url.front()) <= ' ') url.remove_prefix(1);
  while (!url.empty() && static_cast<unsigned char>(url.back()) <= ' ') url.remove_suffix(1);
  refresh.url = url;
  return refresh;
}

std::optional<Refresh> laterRefresh(const std::optional<Refresh>& earlier,
                                    const std::optional<Refresh>& later) {
  if (!later) return earlier;
  if (!earlier) return later;
  return later->delaySeconds <= earlier->delaySeconds ? later : earlier;
}

PageLinks pageLinks(const GumboOutput& output) {
  PageLinks links;
  bool baseSeen = false;
  // Without recursion: a hostile page may nest elements very deep.
  std::vector<const GumboNode*> pending{output.root};
  while (!pending.empty()) {
    const GumboNode* node = pending.back();
    pending.pop_back();
    if (node->type != GUMBO_NODE_ELEMENT) continue;
    const GumboElement& e = node->v.element;
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML || e.tag == GUMBO_TAG_NOSCRIPT) continue;
    if (e.tag == GUMBO_TAG_META) {
      const char* equiv = attribute(e, "http-equiv");
      const char* content = attribute(e, "content");
      if (equiv && content && equalsIgnoringCase(equiv, "refresh")) {
        links.refresh = laterRefresh(links.refresh, parseRefresh(content));
      }
    } else if (e.tag == GUMBO_TAG_BASE && !baseSeen) {
      if (const char* href = attribute(e, "href")) {
        links.baseHref = href;
        baseSeen = true;
      }
    }
    // Children are taken in document order.
    for (unsigned i = e.children.length; i > 0; --i) {
      pending.push_back(static_cast<const GumboNode*>(e.children.data[i - 1]));
    }
  }
  return links;
}

std::optional<std::string> refreshTarget(std::string_view pageUrl, std::string_view baseHref,
                                         const std::optional<Refresh>& refresh) {
  if (!refresh || refresh->delaySeconds > 0) return std::nullopt;
  std::string url = refresh->url;
  // A relative address is read against the page's <base href>.
  if (!url.empty() && !baseHref.empty()) {
    const std::string base = HttpFetcher::resolveReference(pageUrl, baseHref);
    if (!base.empty()) url = HttpFetcher::resolveReference(base, url);
  }
  std::string next = HttpFetcher::resolveReference(pageUrl, url);
  // A page that refreshes itself shows the same page each time.
  const auto withoutFragment = [](std::string_view u) { return u.substr(0, u.find('#')); };
  if (next.empty() || withoutFragment(next) == withoutFragment(pageUrl)) return std::nullopt;
  return next;
}

}  // namespace kelvane::acquisition
