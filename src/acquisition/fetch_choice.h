// How a URL command fetches its page when the choice is "auto": directly
// unless the page needs the browser. A page that can run no script is read
// directly; one that can is loaded both ways once and the two displays
// compared: the same display makes it direct from then on, another one the
// browser, with no direct attempt first. The verdict is remembered per watch
// and address, and checked again after a marker search missed on a page
// fetched directly, and every kFetchRecheckRuns runs.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::acquisition {

// How many runs a remembered verdict serves before it is checked again.
inline constexpr int kFetchRecheckRuns = 50;

enum class FetchVerdict { Direct, Browser };

struct RememberedFetch {
  FetchVerdict verdict = FetchVerdict::Browser;
  std::string why;         // how it was decided, as told then
  int runsSinceCheck = 0;  // runs that used it since it was decided
  bool recheck = false;    // a marker search missed on the page it fetched
};

// What a load under "auto" does, and why (for the trace and the record).
struct FetchPlan {
  enum class Way {
    Direct,
    Browser,
    Probe,  // fetched directly; the page decides (no scripts: done)
  };
  Way way = Way::Probe;
  std::string why;
};

FetchPlan planFetch(const std::optional<RememberedFetch>& remembered,
                    int recheckRuns = kFetchRecheckRuns);

// Whether a page may run a script that changes its document: a script or
// frame element, an element that embeds other content, an event handler
// attribute, an XSLT style sheet. It looks at the bytes as they came and
// errs towards yes: a page it cannot read as ASCII-compatible text (UTF-16)
// counts as scripted, and so does the mere text of a marker in a comment.
bool pageMayRunScripts(std::string_view bytes);

// Where verdicts are kept, per address (the keeper knows the watch).
class FetchMemory {
 public:
  virtual ~FetchMemory() = default;
  virtual std::optional<RememberedFetch> recall(const std::string& url) = 0;
  virtual void remember(const std::string& url, const RememberedFetch& fetch) = 0;
};

// For as long as the process runs (no history).
class FetchMemoryInProcess final : public FetchMemory {
 public:
  std::optional<RememberedFetch> recall(const std::string& url) override {
    const auto it = kept_.find(url);
    if (it == kept_.end()) return std::nullopt;
    return it->second;
  }
  void remember(const std::string& url, const RememberedFetch& fetch) override {
    kept_[url] = fetch;
  }

 private:
  std::map<std::string, RememberedFetch> kept_;
};

// The verdict's name as the history keeps it, and back.
std::string_view fetchVerdictName(FetchVerdict verdict);
std::optional<FetchVerdict> fetchVerdictNamed(std::string_view name);

}  // namespace kelvane::acquisition
