#pragma once

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// The SQLite entry points Halvora uses, resolved once from the client library
// loaded at run time. An entry point the library does not export points at a
// routine that throws ESQLiteError("SQLite function is not linked").
struct SqliteApi {
    int (*open)(const char *fileName, sqlite3 **db);
    int (*close)(sqlite3 *db);
    int (*prepare_v2)(sqlite3 *db, const char *sql, int bytes, sqlite3_stmt **stmt, const char **tail);
    int (*step)(sqlite3_stmt *stmt);
    int (*finalize)(sqlite3_stmt *stmt);
    int (*column_count)(sqlite3_stmt *stmt);
    const unsigned char *(*column_text)(sqlite3_stmt *stmt, int column);
    int (*column_int)(sqlite3_stmt *stmt, int column);
    const char *(*errmsg)(sqlite3 *db);
    int (*busy_timeout)(sqlite3 *db, int milliseconds);

    // Loads the library once per process (thread-safe) and returns the table.
    // Throws ESQLiteError("Cannot load client DLL: <name>") when it cannot be loaded.
    static const SqliteApi &instance();

    static const char *libraryName();
};

// Result codes of the library that the store looks at.
namespace SqliteCode {
constexpr int Ok = 0;
constexpr int Row = 100;
constexpr int Done = 101;
}
