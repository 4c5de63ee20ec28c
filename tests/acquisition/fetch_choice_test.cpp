#include "acquisition/fetch_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::acquisition {
namespace {

// What counts as a page that may run a script: what can change the
// document counts, text that only looks like it does not.
TEST(FetchChoice, PagesThatMayRunScripts) {
  struct Case {
    std::string page;
    bool scripted;
  };
  const std::vector<Case> cases = {
      {"<p>plain</p><img src=a.png><a href=x>on sale</a>", false},
      {"<p>one = two, only=three in text</p>", true},  // errs towards yes
      {"<p>turn on = off</p><style>p{}</style><noscript>x</noscript>", false},
      {"<SCRIPT>x()</SCRIPT>", true},
      {"<script\nsrc=a.js></script>", true},
      {"<scripts>not an element</scripts><subscript>", false},
      {"<iframe src=f.html></iframe>", true},
      {"<frameset><FRAME src=a></frameset>", true},
      {"<object data=x></object>", true},
      {"<embed src=x>", true},
      {"<?xml-stylesheet href=\"s.xsl\"?><r/>", true},
      {"<body onload=\"go()\">", true},
      {"<img src=x\tONERROR = go()>", true},
      {"<img/onerror=go()>", true},
      {"<img src=\"x\"onerror=go()>", true},
      {"<p data-on=\"x\" class=one>", false},
      {std::string("<\0p>", 4), true},  // UTF-16: not read here
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(pageMayRunScripts(c.page), c.scripted) << c.page;
}

TEST(FetchChoice, PlanFollowsWhatIsRemembered) {
  using Way = FetchPlan::Way;
  struct Case {
    std::optional<RememberedFetch> remembered;
    Way way;
    std::string why;
  };
  const RememberedFetch direct{FetchVerdict::Direct, "no scripts", 3, false};
  const RememberedFetch browser{FetchVerdict::Browser, "the display differs", 49, false};
  const std::vector<Case> cases = {
      {std::nullopt, Way::Probe, "first load of this address"},
      {direct, Way::Direct, "remembered: no scripts"},
      {browser, Way::Browser, "remembered: the display differs"},
      {RememberedFetch{FetchVerdict::Direct, "no scripts", 3, true}, Way::Probe,
       "checked again: a marker was missed on the direct fetch"},
      {RememberedFetch{FetchVerdict::Browser, "x", 50, false}, Way::Probe,
       "checked again after 50 runs"},
  };
  for (const Case& c : cases) {
    const FetchPlan plan = planFetch(c.remembered, 50);
    EXPECT_EQ(plan.way, c.way) << c.why;
    EXPECT_EQ(plan.why, c.why);
  }
}

}  // namespace
}  // namespace kelvane::acquisition
