// The history's database in a SQLite file: a connection and its statements.
// Failures throw SqliteError with SQLite's own message and code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "history/sql.h"
#include "textfile/lock_wait.h"

struct sqlite3;

namespace kelvane::history {

class SqliteError : public DatabaseError {
 public:
  SqliteError(int code, const std::string& what) : DatabaseError(what), code_(code) {}
  // The primary result code (SQLITE_BUSY, SQLITE_FULL, SQLITE_READONLY...).
  int code() const { return code_ & 0xff; }
  bool transient() const override;

 private:
  int code_;
};

class SqliteDatabase : public Database {
 public:
  // Opens (and, with create, creates) the file; readOnly opens without write.
  SqliteDatabase(const std::string& path, bool create, bool readOnly = false);
  ~SqliteDatabase() override;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  Dialect dialect() const override { return Dialect::Sqlite; }
  void exec(const char* sql) override;
  Statement prepare(std::string_view sql) override;
  int64_t lastInsertId() override;
  // BEGIN IMMEDIATE: the write lock is taken at once, waiting for another
  // connection's as waitForOtherConnections says.
  void beginWrite() override;
  void rollback() noexcept override;
  // A statement that meets another connection's lock waits for it as
  // textfile/lock_wait.h says (in short steps, ending at a stop or after
  // the limit), then fails as busy.
  void waitForOtherConnections();
  // Why the last such wait gave up; nothing when it did not.
  std::optional<textfile::LockWait> waitGaveUp() const;
  sqlite3* handle() { return db_; }
  [[noreturn]] void fail(int code) const;

 private:
  sqlite3* db_ = nullptr;
  textfile::LockWaiter busyWait_;
};

}  // namespace kelvane::history
