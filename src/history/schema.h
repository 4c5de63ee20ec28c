// The history's tables and how an older file is brought up to date.
#pragma once

#include <cstdint>

namespace kelvane::history {

class Database;

// Marks a SQLite file as a Kelvane history ("KLVH").
constexpr int64_t kApplicationId = 0x4b4c5648;
// PRAGMA user_version of the tables this program writes.
constexpr int64_t kSchemaVersion = 3;

// Runs, inside the caller's transaction, every step from version up to
// kSchemaVersion, and sets the version and the application id.
void migrate(Database& db, int64_t version);

}  // namespace kelvane::history
