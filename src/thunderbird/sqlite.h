// RAII holders for SQLite's connection and statement.
#pragma once

#include <sqlite3.h>

#include <memory>

namespace velkor {

struct ConnectionClose {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionClose>;

struct StatementFinalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalize>;

// The prepared statement of `sql`, or null.
inline Statement prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    return nullptr;
  }
  return Statement(s);
}

}  // namespace velkor
