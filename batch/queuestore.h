#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class BatchRun;
class QTimer;
class TSqliteConnection;
struct BatchEntry;

// The batch's list kept in a small SQLite file of its own as it changes, so
// that a run cut short (killed, crashed, power lost, logged out) is taken up
// again on the next start. Every write is one transaction (write-ahead log),
// so a kill at any moment leaves the old or the new list. Changes are
// gathered for a moment and written together; those that name a file on
// disk (a temporary file made, an output written) are written at once.
// Progress alone is never written. GUI thread only.
class QueueStore : public QObject {
    Q_OBJECT
public:
    // Kept for a moment before written, so that a burst of changes is one write.
    static constexpr int GatherMs = 200;

    // The queue file that goes with a settings file: beside it.
    static QString fileFor(const QString &settingsFile);

    QueueStore(BatchRun &batch, const QString &file, QObject *parent = nullptr);
    ~QueueStore() override;

    struct Opened {
        // Entries taken up from the last run, and how many of them are still
        // to convert; 0 when it ended normally or kept nothing.
        int restored = 0;
        int toConvert = 0;
        // What the window tells the user about the kept list; empty when
        // there is nothing to say.
        QString message;
    };
    // Opens the file, and when the last run ended with entries still to
    // convert, appends them to the batch (before anything else is added):
    // converting ones are pending again and their temporary files are
    // removed. A file that cannot be read is set aside (renamed, never
    // deleted) and a new one begun. From here on the batch's changes are kept.
    Opened open();

    // The user ended Halvora: the next start begins with an empty list.
    void forget();
    // Writes what has changed now.
    void flush();

    // Milliseconds spent writing so far, the longest write, and how many
    // writes; for measuring.
    double writeMs() const { return m_writeNs / 1e6; }
    double longestWriteMs() const { return m_longestWriteNs / 1e6; }
    int writes() const { return m_writes; }

private:
    struct Row;
    void openFile();
    void setAside(const QString &why, QString &message);
    QList<Row> readRows();
    void added(int index);
    void changed(int index);
    void removed(int index);
    void cleared();
    void write(bool replaceAll);
    void schedule();

    BatchRun &m_batch;
    QString m_file;
    std::unique_ptr<TSqliteConnection> m_db;
    // The store's key of each entry of the batch, in the batch's order.
    QList<qint64> m_keys;
    qint64 m_nextKey = 1;
    // What was last written of each entry, to pass over changes of progress.
    QHash<qint64, QByteArray> m_written;
    QSet<qint64> m_dirty;
    QSet<qint64> m_gone;
    bool m_clearAll = false;
    QTimer *m_timer;
    qint64 m_writeNs = 0;
    qint64 m_longestWriteNs = 0;
    int m_writes = 0;
};
