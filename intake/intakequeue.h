#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

class QLineEdit;
class QShortcut;
class QWidget;

// Adds many files to a list without freezing the window: the files are
// handed to a callback in short slices between events, the status line counts them
// ("Adding 120 of 500 files…"), and Esc cancels the rest. It also takes file
// drops (text/uri-list with file: URLs) anywhere on the window it watches.
class IntakeQueue : public QObject {
    Q_OBJECT
public:
    // Adds one file to the list, and shows a file as the one just added
    // (now and then while adding, and the last one). Either may throw:
    // adding then stops with the error's message.
    using FileStep = std::function<void(const QByteArray &file)>;

    // `window` receives drops and the Esc key; `status` shows the count.
    IntakeQueue(QWidget *window, QLineEdit *status, FileStep addFile, FileStep showFile);

    // Expands `paths` (files and folders) and queues the files behind those
    // already waiting. Adding starts at the next turn of the event loop.
    void enqueue(const QList<QByteArray> &paths);
    // Queues files the user named one by one (in the Add dialog) as they
    // are, whatever their names.
    void enqueueFiles(const QList<QByteArray> &files);

    bool isBusy() const { return m_next < m_files.size(); }

    // Adds the next waiting file at once; false when none waits.
    bool addNext();

    // Drops the files not yet added.
    void cancel();

    ~IntakeQueue() override;

    // How long one slice keeps adding before the window gets its events back.
    static constexpr int SliceMs = 15;
    // How often the panel follows the files being added; it always shows the last.
    static constexpr int PanelMs = 300;

signals:
    // Every queued file was added, or the rest was cancelled.
    void finished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void addSlice();
    void addOne(bool showPanel);
    void finish(const QString &message);
    void stopOnError(const QString &message);
    void watch(QWidget *widget);

    QWidget *m_window;
    QLineEdit *m_status;
    FileStep m_addFile;
    FileStep m_showFile;
    QShortcut *m_cancelKey;
    QTimer m_timer;
    QList<QByteArray> m_files;
    qsizetype m_next = 0;
    QString m_shown;
    QElapsedTimer m_panelShown;
    // Reads the media library in while the first files wait.
    std::thread m_mapper;
    std::atomic<bool> m_mapped{false};
};
