#include "acquisition/fetch_choice.h"

#include <array>

namespace kelvane::acquisition {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool letter(char c) {
  c = lower(c);
  return c >= 'a' && c <= 'z';
}

// Whether bytes at i start with word (lower case), in any letter case.
bool startsWith(std::string_view bytes, size_t i, std::string_view word) {
  if (bytes.size() - i < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    if (lower(bytes[i + k]) != word[k]) return false;
  }
  return true;
}

// An element that runs a script, or shows a document of its own whose
// scripts may reach this one.
constexpr std::array<std::string_view, 7> kScriptedTags = {
    "script", "iframe", "frame", "object", "embed", "applet", "?xml-stylesheet"};

bool scriptedTagAt(std::string_view bytes, size_t lt) {
  for (const std::string_view tag : kScriptedTags) {
    if (!startsWith(bytes, lt + 1, tag)) continue;
    const size_t end = lt + 1 + tag.size();
    if (end == bytes.size() || !letter(bytes[end])) return true;
  }
  return false;
}

// "on" + letters + blanks + "=" after a blank, a slash or a quote: an
// event handler attribute (onload=, onerror =, ..."onclick=).
bool handlerAt(std::string_view bytes, size_t i) {
  if (i == 0 || !startsWith(bytes, i, "on")) return false;
  const char before = bytes[i - 1];
  if (before != ' ' && before != '\t' && before != '\n' && before != '\r' && before != '\f' &&
      before != '/' && before != '"' && before != '\'') {
    return false;
  }
  size_t k = i + 2;
  const size_t nameStart = k;
  while (k < bytes.size() && letter(bytes[k])) ++k;
  if (k == nameStart) return false;
  while (k < bytes.size() && (bytes[k] == ' ' || bytes[k] == '\t' || bytes[k] == '\n' ||
                              bytes[k] == '\r' || bytes[k] == '\f')) {
    ++k;
  }
  return k < bytes.size() && bytes[k] == '=';
}

}  // namespace

FetchPlan planFetch(const std::optional<RememberedFetch>& remembered, int recheckRuns) {
  if (!remembered) return {FetchPlan::Way::Probe, "first load of this address"};
  if (remembered->recheck) {
    return {FetchPlan::Way::Probe, "checked again: a marker was missed on the direct fetch"};
  }
  if (remembered->runsSinceCheck >= recheckRuns) {
    return {FetchPlan::Way::Probe,
            "checked again after " + std::to_string(remembered->runsSinceCheck) + " runs"};
  }
  const bool direct = remembered->verdict == FetchVerdict::Direct;
  return {direct ? FetchPlan::Way::Direct : FetchPlan::Way::Browser,
          "remembered: " + remembered->why};
}

bool pageMayRunScripts(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return true;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '<' && scriptedTagAt(bytes, i)) return true;
    if ((c == 'o' || c == 'O') && handlerAt(bytes, i)) return true;
  }
  return false;
}

std::string_view fetchVerdictName(FetchVerdict verdict) {
  return verdict == FetchVerdict::Direct ? "direct" : "browser";
}

std::optional<FetchVerdict> fetchVerdictNamed(std::string_view name) {
  if (name == "direct") return FetchVerdict::Direct;
  if (name == "browser") return FetchVerdict::Browser;
  return std::nullopt;
}

}  // namespace kelvane::acquisition
