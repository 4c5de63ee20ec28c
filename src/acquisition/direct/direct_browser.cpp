#include "acquisition/direct/direct_browser.h"

#include "acquisition/direct/body_html.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {

void DirectBrowser::Navigate(std::u16string_view url) {
  const auto start = std::chrono::steady_clock::now();
  error_.reset();
  body_.clear();
  FetchResult page = fetcher_.fetch(textfile::toUtf8(url));
  facts_ = {page.finalUrl, static_cast<int>(page.status), {}, std::nullopt};
  if (!page.error.empty()) {
    error_ = textfile::fromUtf8(page.error);
    return;
  }
  // Reading the page shares the fetch's deadline.
  const auto left = limits_.deadline - std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start);
  facts_.bytes = static_cast<int64_t>(page.body.size());
  std::optional<BodyHtml> body = bodyHtmlWithin(page.body, page.contentType, left, stopRequested_);
  std::string().swap(page.body);
  if (!body && stopRequested_ && stopRequested_()) {
    error_ = textfile::fromUtf8("the load was stopped (" + page.finalUrl + ")");
    return;
  }
  if (!body) {
    error_ = textfile::fromUtf8("the page could not be read within " +
                                std::to_string(limits_.deadline.count() / 1000) + " s (" +
                                page.finalUrl + ")");
    return;
  }
  if (body->tooLarge) {
    // Markup that multiplies itself: formatting elements left open are
    // reopened in every paragraph that follows.
    error_ = textfile::fromUtf8("the page's markup makes a tree too large to read (" +
                                page.finalUrl + ")");
    return;
  }
  body_ = std::move(body->html);
  encoding_ = body->encoding;
  facts_.charset = std::string(textfile::encodingName(encoding_));
}

std::optional<std::u16string> DirectBrowser::bodyHtml() {
  if (error_) return std::nullopt;
  return std::move(body_);
}

}  // namespace kelvane::acquisition
