// One page load as it is recorded: the address asked for, what came back
// and how long it took. The page loader fills it for either fetcher; the
// record line and the history carry it as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/load_modes.h"

namespace kelvane::acquisition {

// What a loader cannot tell stays empty (and is left out where it is
// written down).
struct LoadRecord {
  std::string url;       // as the script gave it
  std::string finalUrl;  // the address shown after redirects
  FetchMode fetch = FetchMode::Browser;
  std::string fetchWhy;          // with --fetch auto: why this fetcher ran
  std::optional<int> status;     // the HTTP status
  std::string charset;           // the encoding the page was read in
  std::optional<int64_t> bytes;  // the page as it came, decompressed
  int64_t loadMs = 0;            // the whole URL command
  std::optional<int64_t> settleMs;
  std::string error;  // why the load failed; empty when it did not
  // With a login in use, the page asked for one (login_check.h): the error
  // is ログインが必要です.
  bool loginNeeded = false;
  // Whether the page may run a script that changes it (the direct fetch
  // tells, from the bytes it read); never written down.
  std::optional<bool> mayRunScripts;
};

}  // namespace kelvane::acquisition
