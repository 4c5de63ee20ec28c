#include "acquisition/direct/direct_browser.h"

#include "acquisition/address.h"
#include "acquisition/direct/body_html.h"
#include "acquisition/direct/page_kind.h"
#include "acquisition/fetch_choice.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace kelvane::acquisition {

// Redirects and refreshes without delay are followed, together no more than
// the redirect cap allows. A refresh with a delay is left alone: the page
// has been read before the browser would follow it.
void DirectBrowser::startLoading(std::u16string_view url) {
  const auto start = std::chrono::steady_clock::now();
  error_.reset();
  body_.clear();
  std::string address = textfile::toUtf8(url);
  for (long hopsLeft = limits_.maxRedirects;;) {
    FetchResult page = fetcher_.fetch(address, hopsLeft);
    hopsLeft -= page.redirects;
    const auto left = limits_.deadline - std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now() - start);
    std::optional<Refresh> refresh = read(page, left);
    if (error_) return;
    const std::optional<std::string> next = refreshTarget(page.finalUrl, baseHref_, refresh);
    if (!next) return;
    // A page never sends the fetch off the web: a file address there
    // would read this computer's files into the page text.
    if (!isWebAddress(*next)) {
      fail("the page refreshes to " + *next + ", which is neither http: nor https: and is " +
           "not followed (" + page.finalUrl + ")");
      return;
    }
    if (hopsLeft <= 0) {
      fail("more than " + std::to_string(limits_.maxRedirects) + " redirects (" +
           textfile::toUtf8(url) + ")");
      return;
    }
    --hopsLeft;
    address = *next;
  }
}

void DirectBrowser::describeLoad(LoadRecord& record) const {
  record.finalUrl = facts_.finalUrl;
  record.status = facts_.status;
  record.charset = facts_.charset;
  record.bytes = facts_.bytes;
  record.mayRunScripts = facts_.mayRunScripts;
}

void DirectBrowser::fail(const std::string& reason) {
  error_ = textfile::fromUtf8(reason);
  body_.clear();
}

std::optional<Refresh> DirectBrowser::read(FetchResult& page, std::chrono::milliseconds left) {
  facts_ = {};
  facts_.finalUrl = page.finalUrl;
  if (page.status != 0) facts_.status = static_cast<int>(page.status);
  facts_.mayRunScripts = false;
  baseHref_.clear();
  if (!page.error.empty()) {
    fail(page.error);
    return std::nullopt;
  }
  facts_.bytes = static_cast<int64_t>(page.body.size());
  std::optional<Refresh> refresh = parseRefresh(page.refresh);
  const PageKind kind = pageKindOf(page.contentType, page.disposition, page.body);
  switch (kind) {
    case PageKind::Html:
      break;
    case PageKind::Text:
      body_ = textDocumentBody(page.body, page.contentType);
      return refresh;
    case PageKind::Image:
      body_ = imageDocumentBody(page.finalUrl, page.body);
      return refresh;
    case PageKind::NoBody:
      return refresh;
    case PageKind::XmlTree:
    case PageKind::Download:
      fail(refusalReason(kind, page.contentType, page.disposition) + " (" + page.finalUrl + ")");
      return std::nullopt;
  }
  facts_.mayRunScripts = pageMayRunScripts(page.body);
  std::optional<BodyHtml> body = bodyHtmlWithin(page.body, page.contentType, left, stopRequested_);
  std::string().swap(page.body);
  if (!body && stopRequested_ && stopRequested_()) {
    fail("the load was stopped (" + page.finalUrl + ")");
    return std::nullopt;
  }
  if (!body) {
    fail("the page could not be read within " + std::to_string(limits_.deadline.count() / 1000) +
         " s (" + page.finalUrl + ")");
    return std::nullopt;
  }
  if (body->tooLarge) {
    // Markup that multiplies itself: formatting elements left open are
    // reopened in every paragraph that follows.
    fail("the page's markup makes a tree too large to read (" + page.finalUrl + ")");
    return std::nullopt;
  }
  body_ = std::move(body->html);
  facts_.charset = std::string(textfile::encodingName(body->encoding));
  baseHref_ = std::move(body->links.baseHref);
  return laterRefresh(refresh, body->links.refresh);
}

std::optional<std::u16string> DirectBrowser::bodyHtml() {
  if (error_) return std::nullopt;
  return std::move(body_);
}

}  // namespace kelvane::acquisition
