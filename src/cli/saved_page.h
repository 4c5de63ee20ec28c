// A page saved to a file as HT: the file's text as it stands (--page), or
// the body markup that loading the file gives (--page-as-loaded): decoded by
// the browser's charset rules (an undeclared EUC-JP page is recognised),
// parsed as HTML5 and written back out as the browser writes a body, so a
// script written over it cuts the same on the page loaded live.
#pragma once

#include <optional>
#include <string>

#include "engine/text.h"

namespace kelvane::cli {

struct SavedPage {
  engine::Text ht;
  // With asLoaded: the file's whole text, decoded as the load decodes it
  // (its head and <title> included), to tell what only the file holds.
  engine::Text fileText;
};

// Nothing, with why, when the file cannot be read or the parse gave up.
std::optional<SavedPage> readSavedPage(const std::string& path, bool asLoaded, std::string* why);

}  // namespace kelvane::cli
