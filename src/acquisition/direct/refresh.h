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

}  // namespace kelvane::acquisition
