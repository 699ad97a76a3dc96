#include "settings/tsqlitequery.h"

#include "settings/esqliteerror.h"
#include "settings/sqliteapi.h"
#include "settings/tsqliteconnection.h"

#include <memory>

TSqliteQuery::TSqliteQuery(TSqliteConnection &connection) : m_connection(connection) {}

void TSqliteQuery::close()
{
    m_open = false;
    m_rows.clear();
    m_row = 0;
}

void TSqliteQuery::next() noexcept
{
    if (m_row < m_rows.size())
        ++m_row;
}

void TSqliteQuery::run(const QString &sql)
{
    close();
    m_sql = sql;

    const SqliteApi &api = m_connection.api();
    sqlite3 *db = m_connection.handle();
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *raw = nullptr;
    int code = api.prepare_v2(db, utf8.constData(), int(utf8.size()), &raw, nullptr);
    if (code != SqliteCode::Ok)
        m_connection.raiseLastError(code);

    const auto finalize = [&api](sqlite3_stmt *stmt) { api.finalize(stmt); };
    std::unique_ptr<sqlite3_stmt, decltype(finalize)> stmt(raw, finalize);
    if (!stmt) // only blanks or a comment: nothing to run
        return;

    const int columns = api.column_count(stmt.get());
    QList<QList<Cell>> rows;
    while ((code = api.step(stmt.get())) == SqliteCode::Row) {
        QList<Cell> &row = rows.emplace_back();
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            const auto *text = reinterpret_cast<const char *>(api.column_text(stmt.get(), c));
            row.append({QByteArray(text), api.column_int(stmt.get(), c)});
        }
    }
    if (code != SqliteCode::Done)
        m_connection.raiseLastError(code);

    if (columns > 0) {
        m_rows = std::move(rows);
        m_open = true;
    }
}

const TSqliteQuery::Cell *TSqliteQuery::cell(int column) const noexcept
{
    if (m_row >= m_rows.size() || column < 0 || column >= m_rows[m_row].size())
        return nullptr;
    return &m_rows[m_row][column];
}

QString TSqliteQuery::text(int column) const
{
    const Cell *c = cell(column);
    return c ? QString::fromUtf8(c->text) : QString();
}

int TSqliteQuery::integer(int column) const
{
    const Cell *c = cell(column);
    return c ? c->integer : 0;
}

QString sqlQuoted(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
