// A page that asks for a login instead of showing what is watched: with a
// login in use (a cookie file, a profile), a load answered 401 or 403, or
// one redirected to a page that holds a password field, means the login
// has expired or was never made, and is said as such rather than as a
// marker that was not found.
#pragma once

#include <optional>
#include <string_view>

namespace kelvane::acquisition {

// The page's body markup holds a password field (<input type="password">,
// in any letter case, as the browser or the direct fetch writes it).
bool holdsPasswordField(std::u16string_view bodyHtml);

// Whether a load asked for asked, which ended at finalUrl with the HTTP
// status (if known) and, when it brought a page, that body, ran into a
// login. finalUrl empty: unknown, taken as not redirected.
bool loginNeeded(std::string_view asked, std::string_view finalUrl, std::optional<int> status,
                 const std::u16string_view* body);

}  // namespace kelvane::acquisition
