// What a notice says: what changed, as a person reads it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane::notify {

// The lines that differ between two displays, each change on one line: a
// line whose series kept its label shows label: old → new with the numbers
// as written (`みかん（有田）: ￥298 → ￥318`), another changed line
// old → new, a line that went `- line`, a new one `+ line`. At most maxLines
// lines, then how many more. UTF-8.
std::string changeLines(std::u16string_view before, std::u16string_view after,
                        size_t maxLines = 12);

// An HTTP answer that is a bot check or a rate limit rather than the page:
// 429, or 403 / 503 with a page that says so.
bool looksBlocked(std::optional<int> status, std::string_view page);

}  // namespace kelvane::notify
