// A thin owner of SQLite handles: a connection, its prepared statements and
// transactions, each released by its destructor. Failures throw SqliteError
// with SQLite's own message and code.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textfile/lock_wait.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kelvane::history {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  // The primary result code (SQLITE_BUSY, SQLITE_FULL, SQLITE_READONLY...).
  int code() const { return code_ & 0xff; }

 private:
  int code_;
};

class Statement;

class Database {
 public:
  // Opens (and, with create, creates) the file; readOnly opens without write.
  Database(const std::string& path, bool create, bool readOnly = false);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void exec(const char* sql);
  Statement prepare(std::string_view sql);
  // The first column of the first row of a query, an integer.
  int64_t queryInt(const char* sql);
  int64_t lastInsertId() const;
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

class Statement {
 public:
  Statement(Database& db, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;

  // Parameters count from 1, as in SQL.
  Statement& bind(int index, int64_t value);
  Statement& bind(int index, double value);
  Statement& bind(int index, std::string_view text);
  Statement& bind(int index, std::nullopt_t);
  template <class T>
  Statement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bind(index, std::nullopt);
  }
  // True while a row is there; false when done.
  bool step();
  // Runs a statement that returns no rows.
  void run();
  void reset();

  // Columns count from 0.
  bool isNull(int column) const;
  int64_t columnInt(int column) const;
  double columnDouble(int column) const;
  std::string_view columnText(int column) const;

 private:
  Database* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE on construction: the write lock is taken at once, so two
// writers never meet half-way (one waits for the other, up to the busy
// timeout). Rolled back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& db);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void commit();

 private:
  Database& db_;
  bool open_ = true;
};

}  // namespace kelvane::history
