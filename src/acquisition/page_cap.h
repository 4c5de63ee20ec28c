// The one size cap of a page, whichever way it is fetched: a server can send
// anything, and a page far larger than any listing is a fault or an attack
// (a compressed body that inflates to gigabytes), never something to watch.
#pragma once

#include <cstddef>
#include <string>

namespace kelvane::acquisition {

// The page as it came, decompressed (the direct fetch), or its body markup as
// the browser writes it, in characters (the browser).
inline constexpr size_t kPageCapBytes = size_t{64} << 20;

// Why a page over a cap of that many bytes was not read.
inline std::string pageTooLargeReason(size_t capBytes) {
  if (capBytes >= (size_t{1} << 20) && capBytes % (size_t{1} << 20) == 0) {
    return "the page is larger than " + std::to_string(capBytes >> 20) + " MiB";
  }
  return "the page is larger than " + std::to_string(capBytes) + " bytes";
}

}  // namespace kelvane::acquisition
