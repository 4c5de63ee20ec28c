#include "history/postgres.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "history/address.h"
#include "textfile/lazy_library.h"

namespace kelvane::history {
namespace {

// clang-format off
#define KELVANE_PQ_FUNCTIONS(X)                                                          \
  X(connectStartParams) X(connectPoll) X(status) X(errorMessage) X(finish) X(socket)     \
  X(sendQuery) X(sendQueryParams) X(sendPrepare) X(sendQueryPrepared) X(consumeInput) X(isBusy) X(getResult) X(resultStatus) \
  X(resultErrorField) X(resultErrorMessage) X(ntuples) X(getvalue) X(getlength)          \
  X(getisnull) X(clear) X(getCancel) X(cancel) X(freeCancel) X(setNoticeProcessor)
// clang-format on

struct Pq {
#define KELVANE_PQ_POINTER(name) decltype(&PQ##name) name = nullptr;
  KELVANE_PQ_FUNCTIONS(KELVANE_PQ_POINTER)
#undef KELVANE_PQ_POINTER
  std::string error;
};

const Pq& pq() {
  static const Pq loaded = [] {
    Pq p;
    textfile::LazyLibrary library("libpq.so.5");
#define KELVANE_PQ_BIND(name) library.bind("PQ" #name, p.name);
    KELVANE_PQ_FUNCTIONS(KELVANE_PQ_BIND)
#undef KELVANE_PQ_BIND
    if (!library.error().empty()) {
      p = Pq{};
      p.error = library.error();
    }
    return p;
  }();
  return loaded;
}

std::atomic<int> stopDescriptor{-1};

constexpr auto kConnectTimeout = std::chrono::seconds(10);
// The history's one writer lock, and the mark of its databases ("KLVH").
constexpr int64_t kWriterLock = 0x4b4c5648;

void ignoreNotice(void*, const char*) {}

// libpq's message on one line: its line breaks and the indents after them
// become one space.
std::string trimmed(const char* message) {
  std::string text;
  bool gap = false;
  for (const char* c = message ? message : ""; *c; ++c) {
    if (*c == '\n' || (gap && (*c == '\t' || *c == ' '))) {
      gap = true;
      continue;
    }
    if (gap && !text.empty()) text += ' ';
    gap = false;
    text += *c;
  }
  return text;
}

// The server takes text in valid UTF-8 without NUL characters: a NUL becomes
// U+FFFD, as does each byte that starts no valid sequence.
std::string serverText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = n > 0 && c != 0 && i + n <= text.size() && !(n == 2 && c < 0xC2);
    for (size_t k = 1; valid && k < n; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid && n == 3) {
      const auto d = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
    }
    if (valid && n == 4) {
      const auto d = static_cast<unsigned char>(text[i + 1]);
      valid = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
    }
    if (!valid) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

// "?" marks become $1, $2... and "?N" marks $N, outside quoted text.
std::string numberedParameters(std::string_view sql, int* count) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '?') {
      int number = 0;
      while (i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9') {
        number = number * 10 + (sql[++i] - '0');
      }
      if (number == 0) number = *count + 1;
      *count = std::max(*count, number);
      out += '$' + std::to_string(number);
      continue;
    }
    out += c;
  }
  return out;
}

class PostgresStatement : public StatementImpl {
 public:
  PostgresStatement(PostgresDatabase& db, std::string_view sql) : db_(db) {
    int count = 0;
    sql_ = numberedParameters(sql, &count);
    values_.resize(static_cast<size_t>(count));
    present_.resize(static_cast<size_t>(count));
  }
  ~PostgresStatement() override { clearResult(); }
  PostgresStatement(const PostgresStatement&) = delete;
  PostgresStatement& operator=(const PostgresStatement&) = delete;

  void bind(int index, int64_t value) override { set(index, std::to_string(value)); }
  void bind(int index, double value) override {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    set(index, text);
  }
  void bind(int index, std::string_view text) override { set(index, serverText(text)); }
  void bindNull(int index) override { present_.at(static_cast<size_t>(index - 1)) = false; }
  bool step() override {
    if (!result_) {
      std::vector<const char*> values(values_.size());
      std::vector<int> lengths(values_.size());
      for (size_t i = 0; i < values_.size(); ++i) {
        values[i] = present_[i] ? values_[i].c_str() : nullptr;
        lengths[i] = static_cast<int>(values_[i].size());
      }
      result_ = db_.run(sql_, static_cast<int>(values.size()), values.data(), lengths.data());
      rows_ = pq().ntuples(result_);
      row_ = -1;
    }
    return ++row_ < rows_;
  }
  void reset() override {
    clearResult();
    for (size_t i = 0; i < values_.size(); ++i) present_[i] = false;
  }
  bool isNull(int column) const override { return pq().getisnull(result_, row_, column) != 0; }
  int64_t columnInt(int column) const override {
    const std::string_view text = columnText(column);
    if (text == "t") return 1;  // a boolean
    return std::strtoll(std::string(text).c_str(), nullptr, 10);
  }
  double columnDouble(int column) const override {
    return std::strtod(std::string(columnText(column)).c_str(), nullptr);
  }
  std::string_view columnText(int column) const override {
    if (row_ < 0 || row_ >= rows_) return {};
    return std::string_view(pq().getvalue(result_, row_, column),
                            static_cast<size_t>(pq().getlength(result_, row_, column)));
  }

 private:
  void set(int index, std::string value) {
    const auto i = static_cast<size_t>(index - 1);
    values_.at(i) = std::move(value);
    present_.at(i) = true;
  }
  void clearResult() {
    if (result_) pq().clear(result_);
    result_ = nullptr;
  }

  PostgresDatabase& db_;
  std::string sql_;
  std::vector<std::string> values_;
  std::vector<bool> present_;
  PGresult* result_ = nullptr;
  int rows_ = 0;
  int row_ = -1;
};

}  // namespace

bool PostgresError::transient() const {
  // Serialization failure, deadlock, lock not available.
  return sqlState_ == "40001" || sqlState_ == "40P01" || sqlState_ == "55P03";
}

void setStopDescriptor(int fd) {
  stopDescriptor.store(fd);
}

PostgresDatabase::PostgresDatabase(const std::string& address)
    : address_(maskedAddress(address)), secretSource_(address) {
  const Pq& p = pq();
  if (!p.connectStartParams) {
    throw PostgresError(address_ + ": PostgreSQL's client library cannot be used: " + p.error, {},
                        false);
  }
  // The address's own settings come last and win over these.
  const char* keywords[] = {"application_name", "client_encoding", "dbname", nullptr};
  const char* values[] = {"kelvane", "UTF8", address.c_str(), nullptr};
  conn_ = p.connectStartParams(keywords, values, 1);
  if (!conn_) throw PostgresError(address_ + ": out of memory", {}, true);
  // A constructor that throws runs no destructor: the connection is let go
  // here on every failure.
  try {
    // What libpq refuses before trying (an address it cannot read) no later
    // run can mend.
    if (p.status(conn_) == CONNECTION_BAD) {
      throw PostgresError(told("the address cannot be used: " + trimmed(p.errorMessage(conn_))),
                          "invalid", false);
    }
    p.setNoticeProcessor(conn_, ignoreNotice, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    for (PostgresPollingStatusType state = PGRES_POLLING_WRITING; state != PGRES_POLLING_OK;) {
      if (state == PGRES_POLLING_FAILED) fail("cannot connect");
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) fail("cannot connect: no answer in 10 s");
      const short events = state == PGRES_POLLING_READING ? POLLIN : POLLOUT;
      pollfd fds[2] = {{p.socket(conn_), events, 0}, {stopDescriptor.load(), POLLIN, 0}};
      ::poll(fds, fds[1].fd >= 0 ? 2 : 1, static_cast<int>(left.count()));
      if (fds[1].fd >= 0 && (fds[1].revents & POLLIN)) fail("cannot connect: stopped");
      if (fds[0].revents == 0) continue;
      state = p.connectPoll(conn_);
    }
    // A commit returns once the server has it, before its log reaches the
    // disk, as the SQLite file's (synchronous=NORMAL) does: a crash of the
    // server may lose the last moment's runs, never corrupt the history.
    exec("SET search_path TO kelvane; SET statement_timeout = 60000; SET synchronous_commit = off");
  } catch (...) {
    p.finish(conn_);
    conn_ = nullptr;
    throw;
  }
}

PostgresDatabase::~PostgresDatabase() {
  if (conn_) pq().finish(conn_);
}

void PostgresDatabase::fail(const std::string& what, std::string sqlState) {
  const bool lost = pq().status(conn_) == CONNECTION_BAD;
  throw PostgresError(told(what + ": " + trimmed(pq().errorMessage(conn_))), std::move(sqlState),
                      lost);
}

std::string PostgresDatabase::told(const std::string& message) const {
  return address_ + ": " + withoutPasswords(message, secretSource_);
}

void PostgresDatabase::waitFor(int events, const char* what) {
  const Pq& p = pq();
  for (;;) {
    if (!p.consumeInput(conn_)) fail(what);
    if (!p.isBusy(conn_)) return;
    pollfd fds[2] = {{p.socket(conn_), static_cast<short>(events), 0},
                     {stopDescriptor.load(), POLLIN, 0}};
    ::poll(fds, fds[1].fd >= 0 ? 2 : 1, -1);
    if (fds[1].fd >= 0 && (fds[1].revents & POLLIN)) {
      if (PGcancel* cancel = p.getCancel(conn_)) {
        char reason[256];
        p.cancel(cancel, reason, sizeof reason);
        p.freeCancel(cancel);
      }
      throw PostgresError(address_ + ": stopped while waiting for the server", "57014", false);
    }
  }
}

PGresult* PostgresDatabase::run(const std::string& sql, int count, const char* const* values,
                                const int* lengths) {
  const Pq& p = pq();
  // A statement asked for a second time is prepared on the server, which
  // then neither parses nor plans it again on this connection; one asked
  // for once (a run in a process of its own) costs no extra round trip.
  Prepared* prepared = nullptr;
  if (count >= 0) {
    const auto found = prepared_.find(sql);
    if (found != prepared_.end()) {
      prepared = &found->second;
    } else if (prepared_.size() < kMostPrepared) {
      prepared = &prepared_[sql];
    }
  }
  if (prepared && prepared->name.empty() && ++prepared->uses >= 2) {
    const std::string name = "kelvane_" + std::to_string(++named_);
    if (!p.sendPrepare(conn_, name.c_str(), sql.c_str(), count, nullptr)) {
      fail("cannot send a query");
    }
    p.clear(answer());
    prepared->name = name;
  }
  int sent = 0;
  if (count < 0) {
    sent = p.sendQuery(conn_, sql.c_str());
  } else if (prepared && !prepared->name.empty()) {
    sent = p.sendQueryPrepared(conn_, prepared->name.c_str(), count, values, lengths, nullptr, 0);
  } else {
    sent = p.sendQueryParams(conn_, sql.c_str(), count, nullptr, values, lengths, nullptr, 0);
  }
  if (!sent) fail("cannot send a query");
  return answer();
}

PGresult* PostgresDatabase::answer() {
  const Pq& p = pq();
  waitFor(POLLIN, "no answer");
  // Every result is read, so that the connection is ready for the next
  // query; the first failure is the one told.
  PGresult* last = nullptr;
  std::string failure, state;
  while (PGresult* r = p.getResult(conn_)) {
    const ExecStatusType status = p.resultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && failure.empty()) {
      failure = trimmed(p.resultErrorMessage(r));
      const char* code = p.resultErrorField(r, PG_DIAG_SQLSTATE);
      state = code ? code : "";
    }
    if (last) p.clear(last);
    last = r;
    if (p.isBusy(conn_)) waitFor(POLLIN, "no answer");
  }
  if (!failure.empty()) {
    if (last) p.clear(last);
    const bool lost = p.status(conn_) == CONNECTION_BAD;
    throw PostgresError(told(failure), state, lost);
  }
  if (!last) fail("no answer");
  return last;
}

void PostgresDatabase::exec(const char* sql) {
  pq().clear(run(sql, -1, nullptr, nullptr));
}

Statement PostgresDatabase::prepare(std::string_view sql) {
  return Statement(std::make_unique<PostgresStatement>(*this, sql));
}

int64_t PostgresDatabase::lastInsertId() {
  return queryInt("SELECT lastval()");
}

void PostgresDatabase::beginWrite() {
  exec(("BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kWriterLock) + ")").c_str());
}

void PostgresDatabase::rollback() noexcept {
  try {
    exec("ROLLBACK");
  } catch (const DatabaseError&) {
  }
}

}  // namespace kelvane::history
