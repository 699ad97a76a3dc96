#include "settings/tsqliteconnection.h"

#include "settings/esqliteerror.h"
#include "settings/sqliteapi.h"

TSqliteConnection::TSqliteConnection(const QString &fileName)
    : m_api(&SqliteApi::instance())
{
    const int code = m_api->open(fileName.toUtf8().constData(), &m_db);
    if (code != SqliteCode::Ok) {
        // A failed open may still hand out a handle that carries the message.
        const std::string message = m_db ? m_api->errmsg(m_db) : "out of memory";
        m_api->close(m_db);
        m_db = nullptr;
        throw ESQLiteError(message, code);
    }
    // Another program (a backup, the sqlite3 shell) may hold the file for a
    // moment: wait for it rather than fail at once.
    try {
        m_api->busy_timeout(m_db, BusyTimeoutMs);
    } catch (const ESQLiteError &) {
        // A library without it fails at once instead, as before.
    }
}

TSqliteConnection::~TSqliteConnection()
{
    try {
        m_api->close(m_db);
    } catch (...) {
        // A library without sqlite3_close: nothing more can be done at exit.
    }
}

void TSqliteConnection::raiseLastError(int code) const
{
    throw ESQLiteError(m_api->errmsg(m_db), code);
}
