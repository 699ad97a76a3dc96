#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class TSqliteConnection;

// The one query object through which every statement runs, one at a time.
// A statement runs at once when it is set; one that yields rows leaves the
// query open on its result (read completely, so no lock on the file outlives
// the call), positioned on the first row. Throws ESQLiteError and then stays
// closed.
class TSqliteQuery {
public:
    explicit TSqliteQuery(TSqliteConnection &connection);

    void run(const QString &sql);
    void close();

    bool isOpen() const noexcept { return m_open; }
    const QString &sql() const noexcept { return m_sql; }

    int recordCount() const noexcept { return int(m_rows.size()); }
    void first() noexcept { m_row = 0; }
    void next() noexcept;
    bool eof() const noexcept { return m_row >= m_rows.size(); }

    // Column of the current row, from 0. Without a current row (or column)
    // the text is empty and the integer is 0.
    QString text(int column) const;
    int integer(int column) const;

private:
    struct Cell {
        QByteArray text;
        int integer = 0;
    };
    const Cell *cell(int column) const noexcept;

    TSqliteConnection &m_connection;
    QString m_sql;
    bool m_open = false;
    QList<QList<Cell>> m_rows;
    qsizetype m_row = 0;
};

// The SQL string literal of a text value: in single quotes, inner quotes doubled.
QString sqlQuoted(const QString &value);
