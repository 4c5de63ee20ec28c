// One small interface over the two databases a history can live in (a SQLite
// file, a PostgreSQL server): a connection, its statements and its write
// transactions. The history's queries are written once in the SQL both
// understand, with "?" for each parameter.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvane::history {

enum class Dialect { Sqlite, Postgres };

// A database's failure, with its own message. transient: another writer held
// a lock, trying again may succeed. unreachable: the server could not be
// reached or the connection was lost.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  virtual bool transient() const { return false; }
  virtual bool unreachable() const { return false; }
};

class StatementImpl {
 public:
  virtual ~StatementImpl() = default;
  virtual void bind(int index, int64_t value) = 0;
  virtual void bind(int index, double value) = 0;
  virtual void bind(int index, std::string_view text) = 0;
  virtual void bindNull(int index) = 0;
  virtual bool step() = 0;
  virtual void reset() = 0;
  virtual bool isNull(int column) const = 0;
  virtual int64_t columnInt(int column) const = 0;
  virtual double columnDouble(int column) const = 0;
  virtual std::string_view columnText(int column) const = 0;
};

class Statement {
 public:
  explicit Statement(std::unique_ptr<StatementImpl> impl) : impl_(std::move(impl)) {}

  // Parameters count from 1, as in SQL.
  Statement& bind(int index, int64_t value) { return impl_->bind(index, value), *this; }
  Statement& bind(int index, double value) { return impl_->bind(index, value), *this; }
  Statement& bind(int index, std::string_view text) { return impl_->bind(index, text), *this; }
  Statement& bind(int index, std::nullopt_t) { return impl_->bindNull(index), *this; }
  template <class T>
  Statement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bind(index, std::nullopt);
  }
  // True while a row is there; false when done.
  bool step() { return impl_->step(); }
  // Runs a statement that returns no rows, then resets it for the next use.
  void run() {
    while (step()) {
    }
    reset();
  }
  void reset() { impl_->reset(); }

  // Columns count from 0.
  bool isNull(int column) const { return impl_->isNull(column); }
  int64_t columnInt(int column) const { return impl_->columnInt(column); }
  double columnDouble(int column) const { return impl_->columnDouble(column); }
  std::string_view columnText(int column) const { return impl_->columnText(column); }

 private:
  std::unique_ptr<StatementImpl> impl_;
};

class Database {
 public:
  virtual ~Database() = default;
  virtual Dialect dialect() const = 0;
  // Runs one or more statements that take no parameters.
  virtual void exec(const char* sql) = 0;
  virtual Statement prepare(std::string_view sql) = 0;
  // The id the last insert into a table with an id column gave.
  virtual int64_t lastInsertId() = 0;
  // Starts a transaction that writes: writers of the history take turns, so
  // two of them never meet half-way (one waits for the other).
  virtual void beginWrite() = 0;
  // Ends a transaction that was started and not committed; never throws.
  virtual void rollback() noexcept = 0;
  void commit() { exec("COMMIT"); }
  // The first column of the first row of a query, an integer (0: no row).
  int64_t queryInt(const char* sql) {
    Statement s = prepare(sql);
    return s.step() ? s.columnInt(0) : 0;
  }
};

// A write transaction, rolled back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& db) : db_(db) { db_.beginWrite(); }
  ~WriteTransaction() {
    if (open_) db_.rollback();
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void commit() {
    db_.commit();
    open_ = false;
  }

 private:
  Database& db_;
  bool open_ = true;
};

}  // namespace kelvane::history
