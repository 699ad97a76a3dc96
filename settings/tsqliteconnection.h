#pragma once

#include <QString>

struct sqlite3;
struct SqliteApi;

// One open SQLite database file. Opened in the constructor, closed in the
// destructor; autocommit, no busy timeout. Throws ESQLiteError.
class TSqliteConnection {
public:
    // How long a statement waits for a lock another connection holds.
    static constexpr int BusyTimeoutMs = 3000;

    explicit TSqliteConnection(const QString &fileName);
    ~TSqliteConnection();
    TSqliteConnection(const TSqliteConnection &) = delete;
    TSqliteConnection &operator=(const TSqliteConnection &) = delete;

    sqlite3 *handle() const noexcept { return m_db; }
    const SqliteApi &api() const noexcept { return *m_api; }

    // SQLite's error text for the connection, as an exception to throw.
    [[noreturn]] void raiseLastError(int code) const;

private:
    const SqliteApi *m_api;
    sqlite3 *m_db = nullptr;
};
