// The history's fetch choices: one row per watch and address.
#include <chrono>

#include "history/sqlite.h"
#include "history/store.h"

namespace kelvane::history {

std::optional<FetchChoice> HistoryStore::fetchChoice(const std::string& watch,
                                                     const std::string& url) {
  Statement find = db_->prepare(
      "SELECT verdict, why, runs_since_check, recheck FROM fetch_choices"
      " WHERE watch = ? AND url = ?");
  find.bind(1, watch).bind(2, url);
  if (!find.step()) return std::nullopt;
  return FetchChoice{std::string(find.columnText(0)), std::string(find.columnText(1)),
                     find.columnInt(2), find.columnInt(3) != 0};
}

void HistoryStore::keepFetchChoice(const std::string& watch, const std::string& url,
                                   const FetchChoice& choice) {
  // A new verdict is dated; one that only counts its runs keeps its date.
  db_->prepare(
         "INSERT INTO fetch_choices VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"
         " ON CONFLICT(watch, url) DO UPDATE SET verdict = ?3, why = ?4,"
         " decided = CASE WHEN verdict = ?3 AND why = ?4 THEN decided ELSE ?5 END,"
         " runs_since_check = ?6, recheck = ?7")
      .bind(1, watch)
      .bind(2, url)
      .bind(3, choice.verdict)
      .bind(4, choice.why)
      .bind(5, isoUtcTime(std::chrono::system_clock::now()))
      .bind(6, choice.runsSinceCheck)
      .bind(7, int64_t{choice.recheck ? 1 : 0})
      .run();
}

}  // namespace kelvane::history
