#include "history/sqlite.h"

#include <sqlite3.h>

namespace kelvane::history {

Database::Database(const std::string& path, bool create, bool readOnly) {
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(rc, message);
  }
  sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() {
  sqlite3_close_v2(db_);
}

void Database::fail(int code) const {
  throw SqliteError(code, sqlite3_errmsg(db_));
}

void Database::exec(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
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
  return sqlite3_last_insert_rowid(db_);
}

Statement::Statement(Database& db, std::string_view sql) : db_(&db) {
  const int rc =
      sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) db.fail(rc);
}

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
  other.stmt_ = nullptr;
}

Statement& Statement::bind(int index, int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, double value) {
  const int rc = sqlite3_bind_double(stmt_, index, value);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
  const int rc =
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

Statement& Statement::bind(int index, std::nullopt_t) {
  const int rc = sqlite3_bind_null(stmt_, index);
  if (rc != SQLITE_OK) db_->fail(rc);
  return *this;
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  db_->fail(rc);
}

void Statement::run() {
  while (step()) {
  }
  reset();
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::isNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::columnInt(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

double Statement::columnDouble(int column) const {
  return sqlite3_column_double(stmt_, column);
}

std::string_view Statement::columnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
              : std::string_view();
}

WriteTransaction::WriteTransaction(Database& db) : db_(db) {
  db_.exec("BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction() {
  if (open_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::commit() {
  db_.exec("COMMIT");
  open_ = false;
}

}  // namespace kelvane::history
