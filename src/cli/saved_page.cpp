#include "cli/saved_page.h"

#include <chrono>

#include "acquisition/direct/body_html.h"
#include "acquisition/direct/page_kind.h"
#include "cli/stop_signals.h"
#include "textfile/file_io.h"
#include "textfile/web_charset.h"

namespace kelvane::cli {
namespace {

// A file the browser shows as text rather than parsing it as HTML.
bool shownAsText(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == "txt" || ext == "text" || ext == "csv" || ext == "json";
}

// As long as a URL command's page may take.
constexpr std::chrono::milliseconds kParseTime{90'000};

}  // namespace

std::optional<SavedPage> readSavedPage(const std::string& path, bool asLoaded, std::string* why) {
  auto bytes = textfile::readFileBytes(path);
  if (!bytes) {
    *why = "cannot read page: " + path;
    return std::nullopt;
  }
  SavedPage page;
  if (!asLoaded) {
    // The file's text, as the browser reads a page from disk.
    page.ht = textfile::decodeWebPage(*bytes).text;
    return page;
  }
  if (shownAsText(path)) {
    page.ht = acquisition::textDocumentBody(*bytes, "text/plain");
    page.fileText = textfile::decodeWebPage(*bytes, {}, textfile::Undeclared::Detected).text;
    return page;
  }
  std::optional<acquisition::BodyHtml> body =
      acquisition::bodyHtmlWithin(*bytes, {}, kParseTime, [] { return stopRequested(); });
  if (!body || body->tooLarge) {
    *why = stopRequested() ? "the page was not read: stopped (" + path + ")"
           : body          ? "the page's markup makes a tree too large to read (" + path + ")"
                           : "the page could not be read within " +
                        std::to_string(kParseTime.count() / 1000) + " s (" + path + ")";
    return std::nullopt;
  }
  page.ht = std::move(body->html);
  page.fileText = textfile::decodeWebPage(*bytes, {}, textfile::Undeclared::Detected).text;
  return page;
}

}  // namespace kelvane::cli
