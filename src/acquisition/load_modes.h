// The choices of how a URL command loads its page, each with the names
// kelvane-run's options, its records and the history use for it.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace kelvane::acquisition {

// Through the browser (Qt WebEngine), or an HTTP fetch read as the browser
// would read it, for pages that need no scripts; or directly unless the page
// needs the browser (acquisition/fetch_choice.h). A load itself is always
// one of the first two.
enum class FetchMode { Browser, Direct, Auto };

// After the load, the fixed passes the wait value gives, or until the page
// has settled, never longer than the fixed passes would last.
enum class SettleMode { Fixed, Auto };

inline constexpr std::pair<FetchMode, std::string_view> kFetchModeNames[] = {
    {FetchMode::Browser, "browser"}, {FetchMode::Direct, "direct"}, {FetchMode::Auto, "auto"}};
inline constexpr std::pair<SettleMode, std::string_view> kSettleModeNames[] = {
    {SettleMode::Fixed, "fixed"}, {SettleMode::Auto, "auto"}};

namespace detail {

template <typename Mode, size_t N>
constexpr std::string_view nameIn(const std::pair<Mode, std::string_view> (&names)[N], Mode mode) {
  for (const auto& [m, name] : names) {
    if (m == mode) return name;
  }
  return {};
}

template <typename Mode, size_t N>
constexpr std::optional<Mode> modeIn(const std::pair<Mode, std::string_view> (&names)[N],
                                     std::string_view name) {
  for (const auto& [m, n] : names) {
    if (n == name) return m;
  }
  return std::nullopt;
}

}  // namespace detail

constexpr std::string_view fetchModeName(FetchMode mode) {
  return detail::nameIn(kFetchModeNames, mode);
}
constexpr std::optional<FetchMode> fetchModeNamed(std::string_view name) {
  return detail::modeIn(kFetchModeNames, name);
}
constexpr std::string_view settleModeName(SettleMode mode) {
  return detail::nameIn(kSettleModeNames, mode);
}
constexpr std::optional<SettleMode> settleModeNamed(std::string_view name) {
  return detail::modeIn(kSettleModeNames, name);
}

}  // namespace kelvane::acquisition
