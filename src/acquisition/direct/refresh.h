// Refresh instructions: the Refresh header and <meta http-equiv="refresh">
// ("0; url=next.html"), which the browser follows once their delay is up.
#pragma once

#include <gumbo.h>

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::acquisition {

struct Refresh {
  double delaySeconds = 0;
  std::string url;  // as written; empty for the page itself
};

// A Refresh header's or a refresh <meta>'s content; nothing when it is not
// one the browser acts on.
std::optional<Refresh> parseRefresh(std::string_view content);

// Of two refreshes, the one the browser follows: the shorter delay, the
// later one when they are equal.
std::optional<Refresh> laterRefresh(const std::optional<Refresh>& earlier,
                                    const std::optional<Refresh>& later);

// What a parsed page says about leaving it: its refresh <meta> elements'
// choice, and the address its <base href> gives relative links (empty
// without one). Elements in a template, a noscript or foreign content do
// not count.
struct PageLinks {
  std::optional<Refresh> refresh;
  std::string baseHref;
};
PageLinks pageLinks(const GumboOutput& output);

// Where a refresh sends the fetch from the page at pageUrl, whose <base
// href> is baseHref (empty without one): nothing when it stays (no refresh,
// one with a delay, which the page is read before, the page itself again,
// an address that cannot be read); else the full address, which the fetch
// follows only when it is an http: or https: one.
std::optional<std::string> refreshTarget(std::string_view pageUrl, std::string_view baseHref,
                                         const std::optional<Refresh>& refresh);

}  // namespace kelvane::acquisition
