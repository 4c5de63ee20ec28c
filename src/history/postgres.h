// The history's database on a PostgreSQL server, through libpq: a
// connection and its statements. libpq is opened when a server history first
// is. Every wait (connecting, a query, another writer's turn) ends early when
// the stop descriptor becomes readable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "history/sql.h"

struct pg_conn;
struct pg_result;

namespace kelvane::history {

class PostgresError : public DatabaseError {
 public:
  PostgresError(const std::string& what, std::string sqlState, bool unreachable)
      : DatabaseError(what), sqlState_(std::move(sqlState)), unreachable_(unreachable) {}
  bool transient() const override;
  bool unreachable() const override { return unreachable_; }
  // The address itself cannot be used.
  bool invalidAddress() const { return sqlState_ == "invalid"; }

 private:
  std::string sqlState_;
  bool unreachable_;
};

// A descriptor that becomes readable when waits for the server should end
// (kelvane-run's stop signals); -1: none.
void setStopDescriptor(int fd);

class PostgresDatabase : public Database {
 public:
  // Connects to the server at a postgresql:// address; the history's tables
  // are found in its schema "kelvane". Throws PostgresError, unreachable
  // when the server cannot be reached.
  explicit PostgresDatabase(const std::string& address);
  ~PostgresDatabase() override;
  PostgresDatabase(const PostgresDatabase&) = delete;
  PostgresDatabase& operator=(const PostgresDatabase&) = delete;

  Dialect dialect() const override { return Dialect::Postgres; }
  void exec(const char* sql) override;
  Statement prepare(std::string_view sql) override;
  int64_t lastInsertId() override;
  // BEGIN, then the history's one writer lock (an advisory lock released at
  // the end of the transaction).
  void beginWrite() override;
  void rollback() noexcept override;

  // Sends a query and waits for its result (a PGresult); throws on failure.
  pg_result* run(const std::string& sql, int count, const char* const* values, const int* lengths);

 private:
  [[noreturn]] void fail(const std::string& what, std::string sqlState = {});
  std::string told(const std::string& message) const;
  void waitFor(int events, const char* what);
  // Reads the answer to what was sent; throws on failure.
  pg_result* answer();

  // The statements asked for on this connection (at most kMostPrepared
  // texts), each prepared on the server from its second use on.
  struct Prepared {
    int uses = 0;
    std::string name;
  };
  static constexpr size_t kMostPrepared = 64;
  std::unordered_map<std::string, Prepared> prepared_;
  int named_ = 0;

  pg_conn* conn_ = nullptr;
  std::string address_;       // masked, for messages
  std::string secretSource_;  // the address as given: its passwords kept out of messages
};

}  // namespace kelvane::history
