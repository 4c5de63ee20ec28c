// The history's tables, one schema for both stores, and how an older
// database is brought up to date.
#pragma once

#include <cstdint>

namespace kelvane::history {

class Database;

// Marks a SQLite file as a Kelvane history ("KLVH").
constexpr int64_t kApplicationId = 0x4b4c5648;
// The version of the tables this program writes: SQLite's user_version, the
// one row of schema_version in a server's schema "kelvane".
constexpr int64_t kSchemaVersion = 4;

struct StoredSchema {
  int64_t version = 0;   // 0: no tables yet
  bool foreign = false;  // tables, but not a history's
};

// What a database holds, read in one transaction: another process creating
// the tables meanwhile must not show them without their version.
StoredSchema storedSchema(Database& db);

// The version alone, for a caller inside a transaction.
int64_t schemaVersion(Database& db);

// Runs, inside the caller's write transaction, every step from version up
// to kSchemaVersion, and records the version.
void migrate(Database& db, int64_t version);

}  // namespace kelvane::history
