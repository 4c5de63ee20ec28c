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

bool SqliteError::transient() const {
  return code() == SQLITE_BUSY || code() == SQLITE_LOCKED;
}

namespace {

class SqliteStatement : public StatementImpl {
 public:
  SqliteStatement(SqliteDatabase& db, std::string_view sql) : db_(&db) {
    const int rc =
        sqlite().prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) db.fail(rc);
  }
  ~SqliteStatement() override { sqlite().finalize(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void bind(int index, int64_t value) override { check(sqlite().bind_int64(stmt_, index, value)); }
  void bind(int index, double value) override { check(sqlite().bind_double(stmt_, index, value)); }
  void bind(int index, std::string_view text) override {
    check(sqlite().bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8));
  }
  void bindNull(int index) override { check(sqlite().bind_null(stmt_, index)); }
  bool step() override {
    const int rc = sqlite().step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite().reset(stmt_);
    db_->fail(rc);
  }
  void reset() override {
    sqlite().reset(stmt_);
    sqlite().clear_bindings(stmt_);
  }
  bool isNull(int column) const override {
    return sqlite().column_type(stmt_, column) == SQLITE_NULL;
  }
  int64_t columnInt(int column) const override { return sqlite().column_int64(stmt_, column); }
  double columnDouble(int column) const override { return sqlite().column_double(stmt_, column); }
  std::string_view columnText(int column) const override {
    const auto* text = reinterpret_cast<const char*>(sqlite().column_text(stmt_, column));
    return text ? std::string_view(text, static_cast<size_t>(sqlite().column_bytes(stmt_, column)))
                : std::string_view();
  }

 private:
  void check(int rc) const {
    if (rc != SQLITE_OK) db_->fail(rc);
  }

  SqliteDatabase* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, bool create, bool readOnly) {
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
SqliteDatabase::~SqliteDatabase() {
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

void SqliteDatabase::waitForOtherConnections() {
  sqlite().busy_handler(db_, onBusy, &busyWait_);
}

std::optional<textfile::LockWait> SqliteDatabase::waitGaveUp() const {
  const textfile::LockWait outcome = busyWait_.outcome();
  if (outcome == textfile::LockWait::Taken) return std::nullopt;
  return outcome;
}

void SqliteDatabase::fail(int code) const {
  throw SqliteError(code, sqlite().errmsg(db_));
}

void SqliteDatabase::exec(const char* sql) {
  const int rc = sqlite().exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
}

Statement SqliteDatabase::prepare(std::string_view sql) {
  return Statement(std::make_unique<SqliteStatement>(*this, sql));
}

int64_t SqliteDatabase::lastInsertId() {
  return sqlite().last_insert_rowid(db_);
}

void SqliteDatabase::beginWrite() {
  exec("BEGIN IMMEDIATE");
}

void SqliteDatabase::rollback() noexcept {
  sqlite().exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace kelvane::history
