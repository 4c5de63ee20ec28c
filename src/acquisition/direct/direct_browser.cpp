#include "acquisition/direct/direct_browser.h"

#include "acquisition/direct/body_html.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {

void DirectBrowser::Navigate(std::u16string_view url) {
  error_.reset();
  body_.clear();
  FetchResult page = fetcher_.fetch(textfile::toUtf8(url));
  if (!page.error.empty()) {
    error_ = textfile::fromUtf8(page.error);
    return;
  }
  BodyHtml body = bodyHtmlFromBytes(page.body, page.contentType);
  std::string().swap(page.body);
  body_ = std::move(body.html);
  encoding_ = body.encoding;
}

std::optional<std::u16string> DirectBrowser::bodyHtml() {
  if (error_) return std::nullopt;
  return std::move(body_);
}

}  // namespace kelvane::acquisition
