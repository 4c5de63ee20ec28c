#include "history/sqlite.h"

#include <sqlite3.h>

#include "textfile/lazy_library.h"

namespace kelvane::history {
namespace {

// SQLite is opened the first time a history is, not at every start of the
// programs: most runs of kelvane-run keep no history, and loading and
// binding the library cost each of them a million instructions and a
// megabyte of memory.
// clang-format off
#define KELVANE_SQLITE_FUNCTIONS(X)                                                   \
  X(open_v2) X(errmsg) X(errstr) X(close) X(close_v2) X(extended_result_codes)       \
  X(busy_handler) X(exec) X(last_insert_rowid) X(prepare_v2) X(finalize)             \
  X(bind_int64) X(bind_double) X(bind_text64) X(bind_null) X(step) X(reset)          \
  X(clear_bindings) X(column_type) X(column_int64) X(column_double) X(column_text)   \
  X(column_bytes)
// clang-format on

struct Sqlite {
#define KELVANE_SQLITE_POINTER(name) decltype(&sqlite3_##name) name = nullptr;
  KELVANE_SQLITE_FUNCTIONS(KELVANE_SQLITE_POINTER)
#undef KELVANE_SQLITE_POINTER
  std::string error;  // why it could not be opened
};

// All null, with the reason, when the library cannot be opened.
const Sqlite& sqlite() {
  static const Sqlite loaded = [] {
    Sqlite s;
    textfile::LazyLibrary library("libsqlite3.so.0");
#define KELVANE_SQLITE_BIND(name) library.bind("sqlite3_" #name, s.name);
    KELVANE_SQLITE_FUNCTIONS(KELVANE_SQLITE_BIND)
#undef KELVANE_SQLITE_BIND
    if (!library.error().empty()) {
      s = Sqlite{};
      s.error = library.error();
    }
    return s;
  }();
  return loaded;
}

}  // namespace

Database::Database(const std::string& path, bool create, bool readOnly) {
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
  const Sqlite& s = sqlite();
  if (!s.open_v2) throw SqliteError(SQLITE_ERROR, "SQLite cannot be used: " + s.error);
  const int rc = s.open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? s.errmsg(db_) : s.errstr(rc);
    s.close(db_);
    db_ = nullptr;
    throw SqliteError(rc, message);
  }
  s.extended_result_codes(db_, 1);
}

// A database exists only where the library could be opened, so each call
// below finds its function.
Database::~Database() {
  sqlite().close_v2(db_);
}

namespace {

// SQLite calls this while another connection holds a lock it needs; count
// is 0 at the first call of each such wait.
int onBusy(void* waiter, int count) {
  auto* w = static_cast<textfile::LockWaiter*>(waiter);
  if (count == 0) w->reset();
  return w->keepWaiting() ? 1 : 0;
}

}  // namespace

void Database::waitForOtherConnections() {
  sqlite().busy_handler(db_, onBusy, &busyWait_);
}

std::optional<textfile::LockWait> Database::waitGaveUp() const {
  const textfile::LockWait outcome = busyWait_.outcome();
  if (outcome == textfile::LockWait::Taken) return std::nullopt;
  return outcome;
}

void Database::fail(int code) const {
  throw SqliteError(code, sqlite().errmsg(db_));
}

void Database::exec(const char* sql) {
  const int rc = sqlite().exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
}

Statement Database::prepare(std::string_view sql) {
  return Statement(*this, sql);
}

int64_t Database::queryInt(const char* sql) {
  Statement s(*this, sql);
  return s.step() ? s.columnInt(0) : 0;
}

int64_t Database::lastInsertId() const {
  return sqlite().last_insert_rowid(db_);
}

Statement::Statement(Database& db, std::string_view sql) : db_(&db) {
  const int rc =
      sqlite().prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) db.fail(rc);
}

Statement::~Statement() {
  sqlite().finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
  other.stmt_ = nullptr;
}

Statement& Statement::bind(int index, int64_t value) {
  const int rc = sqlite().bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, double value) {
  const int rc = sqlite().bind_double(stmt_, index, value);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
  const int rc =
      sqlite().bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, std::nullopt_t) {
  const int rc = sqlite().bind_null(stmt_, index);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

bool Statement::step() {
  const int rc = sqlite().step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite().reset(stmt_);
  db_->fail(rc);
}

void Statement::run() {
  while (step()) {
  }
  reset();
}

void Statement::reset() {
  sqlite().reset(stmt_);
  sqlite().clear_bindings(stmt_);
}

bool Statement::isNull(int column) const {
  return sqlite().column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::columnInt(int column) const {
  return sqlite().column_int64(stmt_, column);
}

double Statement::columnDouble(int column) const {
  return sqlite().column_double(stmt_, column);
}

std::string_view Statement::columnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite().column_text(stmt_, column));
  return text ? std::string_view(text, static_cast<size_t>(sqlite().column_bytes(stmt_, column)))
              : std::string_view();
}

WriteTransaction::WriteTransaction(Database& db) : db_(db) {
  db_.exec("BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction() {
  if (open_) sqlite().exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::commit() {
  db_.exec("COMMIT");
  open_ = false;
}

}  // namespace kelvane::history
