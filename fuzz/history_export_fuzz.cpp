// Fuzzes the history's exports over runs with any displays. The input is an
// option byte, then the displays separated by NUL bytes, each read as a text
// file would be or, when bit 0 of the option byte is set, as UTF-16 units.
// Bits 1-3 bound the CSV's series columns (so the bound is reached), bits 4-7
// make the first four runs stopped ones. Every display (up to 16) is recorded
// in a history emptied for each input; the table read back has each run's series, the CSV reads
// back as that table with no cell a spreadsheet would run, and every JSON line parses to the run it
// stands for.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "history/export.h"
#include "history/series.h"
#include "history/store.h"
#include "textfile/text_codec.h"

namespace {

using namespace kelvane::history;

std::u16string textOf(std::string_view bytes, bool units) {
  if (!units) return kelvane::textfile::decodeText(bytes);
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

// A folder of its own on a memory file system where there is one, removed
// when the fuzzer ends.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    path = (std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                : std::filesystem::temp_directory_path())
               .string() +
           "/kelvane-fuzz-XXXXXX";
    if (!::mkdtemp(path.data())) __builtin_trap();
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::string& scratchFolder() {
  static const ScratchFolder folder;
  return folder.path;
}

// RFC 4180 records: fields split at commas, quoted fields with "" for a quote,
// every record ended by CR LF.
std::vector<std::vector<std::string>> csvRecords(std::string_view text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  size_t i = 0;
  while (i < text.size()) {
    std::string& field = records.back().back();
    if (text[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        FUZZ_CHECK(i < text.size());
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
      FUZZ_CHECK(i == text.size() || text[i] == ',' || text[i] == '\r');
      // A quoted field needed its quotes.
      FUZZ_CHECK(field.find_first_of(",\"\r\n") != std::string::npos);
      continue;
    }
    if (text[i] == ',') {
      records.back().emplace_back();
      ++i;
    } else if (text.substr(i, 2) == "\r\n") {
      i += 2;
      if (i < text.size()) records.emplace_back(1);
    } else {
      FUZZ_CHECK(text[i] != '"' && text[i] != '\r' && text[i] != '\n');
      field += text[i++];
    }
  }
  FUZZ_CHECK(text.ends_with("\r\n"));
  return records;
}

// A cell as written for text: a text a spreadsheet would run gets a quote
// before it, and only such a text; anything else starting like a formula is
// a number.
bool cellShows(const std::string& cell, const std::string& text) {
  static constexpr std::string_view kFormulaStarts = "=+-@\t\r";
  if (!cell.empty() && kFormulaStarts.find(cell.front()) != std::string_view::npos) {
    // A number: strtod reads it whole, and it is no inf, nan or hexadecimal.
    char* end = nullptr;
    std::strtod(cell.c_str(), &end);
    if (end != cell.c_str() + cell.size() || cell.find_first_of("iInNxXpP") != std::string::npos)
      return false;
  }
  if (cell == text) return true;
  return !text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos &&
         cell == "'" + text;
}

// One history for the whole run: opening one costs far more than the rest.
// Every input starts from an empty one, its runs recorded long ago so that
// the retention can take them all away again.
HistoryStore& emptyHistory() {
  static HistoryStore* store = new HistoryStore(scratchFolder() + "/h.sqlite");
  store->setRetention({1, 0});
  while (store->enforceRetention(1000)) {
  }
  FUZZ_CHECK(store->runs().empty() && store->seriesTable().labels.empty());
  store->setRetention({0, 0});
  return *store;
}

// Runs past these are not recorded: each costs a write transaction.
constexpr size_t kMaxRuns = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  const bool units = options & 1;
  const size_t maxSeries = (options >> 1) & 7;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::u16string> displays;
  while (true) {
    const size_t nul = rest.find('\0');
    displays.push_back(textOf(rest.substr(0, nul), units));
    if (nul == std::string_view::npos) break;
    rest.remove_prefix(nul + 1);
  }

  if (displays.size() > kMaxRuns) displays.resize(kMaxRuns);

  HistoryStore& store = emptyHistory();
  const auto t0 = std::chrono::sys_days{std::chrono::year{2000} / 1 / 2};
  for (size_t i = 0; i < displays.size(); ++i) {
    RunEntry run;
    run.start = t0 + std::chrono::seconds(i);
    run.normal = i >= 4 || !(options & (16 << i));
    run.display = displays[i];
    run.script = "a.spt";
    store.record(run);
  }
  const SeriesTable table = store.seriesTable();
  const std::vector<RunRow> runs = store.runs();
  FUZZ_CHECK(runs.size() == displays.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    FUZZ_CHECK(store.display(runs[i].displayId) ==
               kelvane::textfile::decodeUtf8(kelvane::textfile::encodeUtf8(displays[i])));
  }

  // The table: each run's own series, the labels in the order met.
  FUZZ_CHECK(table.rows.size() == displays.size());
  std::vector<std::string> labels;
  for (size_t i = 0; i < displays.size(); ++i) {
    const SeriesTable::Row& row = table.rows[i];
    FUZZ_CHECK(row.start == runs[i].start && row.normal == runs[i].normal);
    const std::vector<SeriesValue> series = seriesOf(displays[i]);
    FUZZ_CHECK(row.values.size() == series.size());
    for (const SeriesValue& s : series) {
      const auto found = row.values.find(s.label);
      FUZZ_CHECK(found != row.values.end() && found->second == s.value);
      if (std::find(labels.begin(), labels.end(), s.label) == labels.end())
        labels.push_back(s.label);
    }
  }
  FUZZ_CHECK(table.labels == labels);

  // The CSV: one record per run after the header, the first maxSeries
  // series as columns, the rest named.
  const CsvExport csv = csvExport(table, maxSeries);
  const size_t kept = std::min(maxSeries, labels.size());
  FUZZ_CHECK(csv.leftOut == std::vector<std::string>(labels.begin() + kept, labels.end()));
  FUZZ_CHECK(csv.text.starts_with("\xEF\xBB\xBF"));
  const auto records = csvRecords(std::string_view(csv.text).substr(3));
  FUZZ_CHECK(records.size() == table.rows.size() + 1);
  for (const auto& record : records) FUZZ_CHECK(record.size() == 2 + kept);
  FUZZ_CHECK(records[0][0] == "time" && records[0][1] == "outcome");
  for (size_t c = 0; c < kept; ++c) FUZZ_CHECK(cellShows(records[0][2 + c], labels[c]));
  for (size_t r = 0; r < table.rows.size(); ++r) {
    const SeriesTable::Row& row = table.rows[r];
    const auto& record = records[r + 1];
    FUZZ_CHECK(record[0] == row.start && record[1] == (row.normal ? "normal" : "stopped"));
    for (size_t c = 0; c < kept; ++c) {
      const auto value = row.values.find(labels[c]);
      FUZZ_CHECK(value == row.values.end() ? record[2 + c].empty()
                                           : cellShows(record[2 + c], numberText(value->second)));
    }
  }

  // The JSON lines: one object per run, its values in the table's order.
  const std::string lines = jsonLines(table);
  size_t at = 0;
  for (const SeriesTable::Row& row : table.rows) {
    const size_t end = lines.find('\n', at);
    FUZZ_CHECK(end != std::string::npos);
    const auto j = nlohmann::ordered_json::parse(lines.substr(at, end - at));
    at = end + 1;
    FUZZ_CHECK(j.at("time") == row.start);
    FUZZ_CHECK(j.contains("changed") == row.changed.has_value());
    const auto& values = j.at("values");
    FUZZ_CHECK(values.size() == row.values.size());
    size_t next = 0;  // the values go in the table's order
    for (const auto& [label, value] : values.items()) {
      const size_t column = std::find(labels.begin(), labels.end(), label) - labels.begin();
      FUZZ_CHECK(column < labels.size() && column >= next);
      next = column + 1;
      const double expected = row.values.at(label);
      FUZZ_CHECK(std::isfinite(expected) ? value.get<double>() == expected : value.is_null());
    }
  }
  FUZZ_CHECK(at == lines.size());
  return 0;
}
