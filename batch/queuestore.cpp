#include "batch/queuestore.h"

#include "batch/batchrun.h"
#include "conversion/outputfile.h"
#include "settings/esqliteerror.h"
#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// SQLite's result codes for a file that is not a sound database.
constexpr int SqliteError = 1;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

constexpr int SchemaVersion = 1;

const char *const CreateTable = "create table if not exists queue_entry ("
                                "key integer primary key, path text not null, state integer not null, "
                                "type text, size text, time text, output text, reason text, stream_note text, "
                                "unreadable text, frame_pixels integer, audio_only integer, temporary text, "
                                "temporary_made integer)";

// Byte strings are kept as hexadecimal text: file names are bytes, not text.
QString hex(const QByteArray &bytes)
{
    return QLatin1Char('\'') + QString::fromLatin1(bytes.toHex()) + QLatin1Char('\'');
}

QByteArray unhex(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

// What the store keeps of an entry, as one value to compare.
QByteArray kept(const BatchEntry &entry)
{
    QByteArray all;
    for (const QByteArray &part : {entry.path, QByteArray::number(int(entry.state)), entry.type, entry.size, entry.time,
                                   entry.output.toUtf8(), entry.reason.toUtf8(), entry.streamNote.toUtf8(),
                                   entry.unreadable.toUtf8(), QByteArray::number(entry.framePixels),
                                   QByteArray::number(entry.audioOnly), entry.temporary,
                                   QByteArray::number(entry.temporaryMade)})
        all += QByteArray::number(part.size()) + ':' + part;
    return all;
}

// The temporary file a converting entry of a dead run left: named as the
// batch names them, a plain file, and made by that entry. A name
// told but not known to be made may be another's file that was in the way:
// only an empty one goes (the entry made it, and died before saying so).
bool isLeftTemporary(const BatchEntry &entry)
{
    const QByteArray &path = entry.temporary;
    if (!OutputFile::isTemporaryName(path))
        return false;
    struct stat status;
    return ::lstat(path.constData(), &status) == 0 && S_ISREG(status.st_mode)
        && (entry.temporaryMade || status.st_size == 0);
}

} // namespace

struct QueueStore::Row {
    qint64 key;
    BatchEntry entry;
};

QString QueueStore::fileFor(const QString &settingsFile)
{
    return settingsFile + QStringLiteral(".queue");
}

QueueStore::QueueStore(BatchRun &batch, const QString &file, QObject *parent)
    : QObject(parent), m_batch(batch), m_file(file), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(GatherMs);
    connect(m_timer, &QTimer::timeout, this, &QueueStore::flush);
}

QueueStore::~QueueStore()
{
    flush();
}

void QueueStore::openFile()
{
    m_db = std::make_unique<TSqliteConnection>(m_file);
    TSqliteQuery query(*m_db);
    // A damaged file shows here, before anything is read from it.
    query.run(QStringLiteral("pragma quick_check"));
    if (query.text(0) != QLatin1String("ok"))
        throw ESQLiteError("the file is damaged: " + query.text(0).toStdString(), SqliteCorrupt);
    // Each transaction goes to the log first: a kill leaves the old or the new list.
    query.run(QStringLiteral("pragma journal_mode = wal"));
    query.run(QStringLiteral("pragma synchronous = normal"));
    query.run(QStringLiteral("pragma user_version"));
    const int version = query.integer(0);
    if (version > SchemaVersion)
        throw ESQLiteError("it was written by a newer Halvora", SqliteError);
    query.run(QString::fromLatin1(CreateTable));
    query.run(QStringLiteral("pragma user_version = %1").arg(SchemaVersion));
}

void QueueStore::setAside(const QString &why, QString &message)
{
    m_db.reset();
    const QString aside =
        m_file + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (!QFile::rename(m_file, aside)) {
        message = QStringLiteral("The list kept from the last run could not be read (%1), nor set aside; "
                                 "this run's list is not kept.")
                      .arg(why);
        return;
    }
    // The log belongs to the file set aside.
    for (const char *suffix : {"-wal", "-shm"})
        QFile::rename(m_file + QLatin1String(suffix), aside + QLatin1String(suffix));
    message = QStringLiteral("The list kept from the last run could not be read (%1); it was set aside as %2.")
                  .arg(why, aside);
    try {
        openFile();
    } catch (const ESQLiteError &error) {
        m_db.reset();
        message += QStringLiteral(" This run's list is not kept: %1").arg(QString::fromLocal8Bit(error.what()));
    }
}

QList<QueueStore::Row> QueueStore::readRows()
{
    TSqliteQuery query(*m_db);
    query.run(QStringLiteral("select key, path, state, type, size, time, output, reason, stream_note, unreadable, "
                             "frame_pixels, audio_only, temporary, temporary_made from queue_entry order by key"));
    QList<Row> rows;
    rows.reserve(query.recordCount());
    for (; !query.eof(); query.next()) {
        Row row{query.integer(0), BatchEntry()};
        BatchEntry &entry = row.entry;
        entry.path = unhex(query.text(1));
        const int state = query.integer(2);
        if (entry.path.isEmpty() || state < int(EntryState::Pending) || state > int(EntryState::Stopped))
            throw ESQLiteError("an entry is not one Halvora wrote", SqliteCorrupt);
        entry.state = EntryState(state);
        entry.type = unhex(query.text(3));
        entry.size = unhex(query.text(4));
        entry.time = unhex(query.text(5));
        entry.output = query.text(6);
        entry.reason = query.text(7);
        entry.streamNote = query.text(8);
        entry.unreadable = query.text(9);
        entry.framePixels = query.integer(10);
        entry.audioOnly = query.integer(11) != 0;
        entry.temporary = unhex(query.text(12));
        entry.temporaryMade = query.integer(13) != 0;
        rows << row;
    }
    return rows;
}

QueueStore::Opened QueueStore::open()
{
    Opened opened;
    QList<Row> rows;
    const bool existed = QFileInfo::exists(m_file);
    try {
        openFile();
        rows = readRows();
    } catch (const ESQLiteError &error) {
        const QString why = QString::fromLocal8Bit(error.what());
        const int code = error.errorCode();
        rows.clear();
        if (existed && (code == SqliteCorrupt || code == SqliteNotADatabase || code == SqliteError)) {
            setAside(why, opened.message);
        } else {
            // Not damaged, but not to be written (a read-only folder): the
            // list lives this run only.
            m_db.reset();
            opened.message = QStringLiteral("This run's list is not kept on disk: %1").arg(why);
        }
    }

    connect(&m_batch, &BatchRun::entryAdded, this, &QueueStore::added);
    connect(&m_batch, &BatchRun::entryChanged, this, &QueueStore::changed);
    connect(&m_batch, &BatchRun::entryRemoved, this, &QueueStore::removed);
    connect(&m_batch, &BatchRun::entriesCleared, this, &QueueStore::cleared);

    int toConvert = 0;
    for (const Row &row : rows)
        toConvert += row.entry.state == EntryState::Pending || row.entry.state == EntryState::Converting;
    if (toConvert == 0) {
        // The last run ended normally, or with nothing left to convert.
        if (!rows.isEmpty()) {
            m_clearAll = true;
            flush();
        }
        return opened;
    }
    for (Row &row : rows) {
        BatchEntry &entry = row.entry;
        if (entry.state == EntryState::Converting && !entry.output.isEmpty()
            && QFileInfo::exists(entry.output)) {
            // Its encoder had ended and its file was being read back: read
            // again, it is done or failed as it would have been.
            const QString shortfall = BatchRun::outputShortfall(-1, -1, entry.path, QFile::encodeName(entry.output));
            entry.state = shortfall.isEmpty() ? EntryState::Done : EntryState::Failed;
            entry.reason = shortfall.isEmpty() ? QStringLiteral("Written to %1").arg(entry.output)
                                               : QStringLiteral("%1; what was written is kept as %2")
                                                     .arg(shortfall, entry.output);
            --toConvert;
        } else if (entry.state == EntryState::Converting && isLeftTemporary(entry)) {
            // Its encoder died with the program: the partial file goes, the entry waits again.
            // By its bytes: a name need not be valid text.
            ::unlink(entry.temporary.constData());
        }
        m_batch.restore(std::move(entry));
    }
    write(true);
    opened.restored = int(rows.size());
    opened.toConvert = toConvert;
    opened.message = toConvert > 0 ? QStringLiteral("The last run was interrupted: %1 of %2 files are still to "
                                                    "convert. Press Convert to go on.")
                                         .arg(toConvert)
                                         .arg(rows.size())
                                   : QStringLiteral("The last run was interrupted as it ended: every file was "
                                                    "converted or failed.");
    return opened;
}

void QueueStore::forget()
{
    m_dirty.clear();
    m_gone.clear();
    m_clearAll = true;
    m_keys.clear();
    m_written.clear();
    flush();
    // Nothing more of this run is kept.
    disconnect(&m_batch, nullptr, this, nullptr);
}

void QueueStore::added(int index)
{
    const qint64 key = m_nextKey++;
    m_keys.insert(index, key);
    m_dirty.insert(key);
    schedule();
}

void QueueStore::changed(int index)
{
    if (index < 0 || index >= m_keys.size())
        return;
    const qint64 key = m_keys[index];
    const BatchEntry &entry = m_batch.entry(index);
    const QByteArray now = kept(entry);
    const auto last = m_written.constFind(key);
    if (last != m_written.cend() && *last == now)
        return;
    m_dirty.insert(key);
    // A new state, a temporary file made or an output written is kept at
    // once: the next start must know which files are this run's.
    flush();
}

void QueueStore::removed(int index)
{
    if (index < 0 || index >= m_keys.size())
        return;
    const qint64 key = m_keys.takeAt(index);
    m_dirty.remove(key);
    m_written.remove(key);
    m_gone.insert(key);
    schedule();
}

void QueueStore::cleared()
{
    m_keys.clear();
    m_written.clear();
    m_dirty.clear();
    m_gone.clear();
    m_clearAll = true;
    flush();
}

void QueueStore::schedule()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void QueueStore::flush()
{
    m_timer->stop();
    if (m_dirty.isEmpty() && m_gone.isEmpty() && !m_clearAll)
        return;
    write(false);
}

void QueueStore::write(bool replaceAll)
{
    if (!m_db) {
        m_dirty.clear();
        m_gone.clear();
        m_clearAll = false;
        return;
    }
    QElapsedTimer clock;
    clock.start();
    TSqliteQuery query(*m_db);
    QHash<qint64, QByteArray> written;
    try {
        query.run(QStringLiteral("begin immediate"));
        if (replaceAll || m_clearAll)
            query.run(QStringLiteral("delete from queue_entry"));
        for (const qint64 key : std::as_const(m_gone))
            query.run(QStringLiteral("delete from queue_entry where key = %1").arg(key));
        for (qsizetype index = 0; index < m_keys.size(); ++index) {
            const qint64 key = m_keys[index];
            if (!replaceAll && !m_dirty.contains(key))
                continue;
            const BatchEntry &entry = m_batch.entry(int(index));
            // Joined, not .arg()ed: a reason may hold "%1" itself.
            const QStringList values{QString::number(key),
                                     hex(entry.path),
                                     QString::number(int(entry.state)),
                                     hex(entry.type),
                                     hex(entry.size),
                                     hex(entry.time),
                                     sqlQuoted(entry.output),
                                     sqlQuoted(entry.reason),
                                     sqlQuoted(entry.streamNote),
                                     sqlQuoted(entry.unreadable),
                                     QString::number(entry.framePixels),
                                     QString::number(int(entry.audioOnly)),
                                     hex(entry.temporary),
                                     QString::number(int(entry.temporaryMade))};
            query.run(QStringLiteral("insert or replace into queue_entry values (")
                      + values.join(QLatin1String(", ")) + QLatin1Char(')'));
            written.insert(key, kept(entry));
        }
        query.run(QStringLiteral("commit"));
    } catch (const ESQLiteError &error) {
        // A full disk, say: the changes stay marked and go with the next write.
        try {
            query.run(QStringLiteral("rollback"));
        } catch (const ESQLiteError &) {
        }
        qWarning("The list could not be kept on disk: %s", error.what());
        m_writeNs += clock.nsecsElapsed();
        return;
    }
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        m_written.insert(it.key(), it.value());
    m_dirty.clear();
    m_gone.clear();
    m_clearAll = false;
    m_writeNs += clock.nsecsElapsed();
    m_longestWriteNs = std::max(m_longestWriteNs, clock.nsecsElapsed());
    ++m_writes;
}
