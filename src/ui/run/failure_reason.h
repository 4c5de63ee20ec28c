// Why a page failed to load, as the window shows it: the browser's and the
// HTTP client's English reasons ("net::ERR_CONNECTION_REFUSED",
// "HTTP status 404") in Japanese, with the code kept in parentheses for
// whoever must look it up.
#pragma once

#include <QString>

namespace kelvane::ui {

QString japaneseFailureReason(const QString& reason);

}  // namespace kelvane::ui
