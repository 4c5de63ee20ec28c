// Reads the markup inside the body of the page a browser shows. The page
// writes its markup out once and keeps it in the reading's own script world;
// it comes over in pieces, so that neither process holds a whole further
// copy of a large page on the way (each whole copy of a 60 MB page is
// 120 MB here).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class QWebEnginePage;

namespace kelvane::platform {

struct BodyMarkup {
  // The markup (empty when there is no body); nothing when the page did not
  // answer, went away meanwhile, or its markup is over the cap.
  std::optional<std::u16string> markup;
  bool overCap = false;
  std::string charset;  // the encoding the page was read in
};

// capChars: markup longer than this stays in the page (overCap).
// pieceChars: the most characters that come over at once (a surrogate pair
// is never split). Each answer may take up to timeout; giveUp is asked
// several times a second and ends the reading with nothing.
BodyMarkup readBodyMarkup(QWebEnginePage* page, size_t capChars, size_t pieceChars,
                          std::chrono::milliseconds timeout, const std::function<bool()>& giveUp);

}  // namespace kelvane::platform
