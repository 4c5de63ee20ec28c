// The address a load goes to for what was typed into the URL box or given to
// the URL command, read as a browser's address bar reads it. The browser and
// the direct fetch both go through this one reading, so the same text reaches
// the same place whichever way the page is fetched.
#pragma once

#include <string>
#include <string_view>

namespace kelvane::acquisition {

// A full address (ASCII where it names a file: the path is percent-encoded),
// or, when the text gives none, why not.
struct ResolvedAddress {
  std::string url;    // UTF-8
  std::string error;  // set exactly when url is empty
};

// Blanks around the text (a full-width space too) are dropped; then, the
// first that applies:
// - a scheme followed by "//" ("http://...", "file:///...") is a full
//   address and goes as it stands;
// - an IPv6 address is that host over http;
// - a relative or absolute name of an existing file or folder, read from
//   currentDir, is that file (file://);
// - any other absolute path is that file too, whether or not it exists;
// - a scheme of its own ("about:blank", "javascript:...") goes as it stands,
//   unless it is a host and a port ("localhost:8080/x");
// - anything else is a host and a path over http ("example.com" is
//   http://example.com; a host that begins with "ftp." goes over ftp).
// An empty text, or one with neither a host nor a path, gives an error.
ResolvedAddress resolveAddress(std::u16string_view typed, const std::string& currentDir);
// The same, read from the process's current directory.
ResolvedAddress resolveAddress(std::u16string_view typed);

// True for an http: or https: address (the scheme in any letter case).
// Only such an address may be reached by a navigation that a page chose (a
// redirect, a refresh, a link, an address cut from the page's text): any
// other scheme (file:, a local path, javascript:, ftp:) would let the page
// read what is on this computer.
bool isWebAddress(std::string_view url);

}  // namespace kelvane::acquisition
