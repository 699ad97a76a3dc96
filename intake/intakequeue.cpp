#include "intake/intakequeue.h"

#include "intake/fileintake.h"
#include "media/mediainfodll.h"
#include "widgets/errordisplay.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QWidget>

namespace {

const QString UriListType = QStringLiteral("text/uri-list");

QList<QByteArray> droppedPaths(const QMimeData *data)
{
    return data && data->hasFormat(UriListType) ? FileIntake::pathsFromUriList(data->data(UriListType))
                                                : QList<QByteArray>();
}

} // namespace

IntakeQueue::IntakeQueue(QWidget *window, QLineEdit *status, FileStep addFile, FileStep showFile)
    : QObject(window), m_window(window), m_status(status), m_addFile(std::move(addFile)), m_showFile(std::move(showFile)),
      m_cancelKey(new QShortcut(Qt::Key_Escape, window))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &IntakeQueue::addSlice);
    m_cancelKey->setEnabled(false);
    connect(m_cancelKey, &QShortcut::activated, this, &IntakeQueue::cancel);
    watch(window);
}

IntakeQueue::~IntakeQueue()
{
    if (m_mapper.joinable())
        m_mapper.join();
}

void IntakeQueue::watch(QWidget *widget)
{
    // Text boxes take drops of their own: the filter sees file drops first.
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>()) {
        if (child->acceptDrops() || child == widget)
            child->installEventFilter(this);
    }
}

bool IntakeQueue::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (droppedPaths(drag->mimeData()).isEmpty()) {
            // Not files: the widget's own handling (text into a box) or none.
            if (watched == m_window)
                drag->ignore();
            return watched == m_window;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QList<QByteArray> paths = droppedPaths(drop->mimeData());
        if (paths.isEmpty())
            return watched == m_window;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        ErrorDisplay::runHandler([this, &paths] { enqueue(paths); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void IntakeQueue::enqueue(const QList<QByteArray> &paths)
{
    if (paths.isEmpty())
        return;
    enqueueFiles(FileIntake::expand(paths));
}

void IntakeQueue::enqueueFiles(const QList<QByteArray> &files)
{
    if (files.isEmpty())
        return;
    m_files << files;
    m_cancelKey->setEnabled(true);
    if (!MediaInfoDll::MediaInfoModule && !m_mapper.joinable()) {
        m_mapper = std::thread([this, name = std::string(MediaInfoDll::libraryName())] {
            MediaInfoDll::MapLibrary(name.c_str());
            m_mapped = true;
        });
    }
    m_timer.start(0);
}

bool IntakeQueue::addNext()
{
    if (!isBusy())
        return false;
    addOne(true);
    if (!isBusy())
        finish(QString());
    return true;
}

void IntakeQueue::addOne(bool showPanel)
{
    const QByteArray file = m_files.at(m_next++);
    m_addFile(file);
    if (showPanel)
        m_showFile(file);
}

void IntakeQueue::addSlice()
{
    if (!isBusy())
        return;
    if (m_mapper.joinable()) {
        if (!m_mapped) {
            m_timer.start(5);
            return;
        }
        m_mapper.join();
    }
    QElapsedTimer slice;
    slice.start();
    try {
        do
            addOne(false);
        while (isBusy() && slice.elapsed() < SliceMs);
        // The panel follows now and then, and shows the last file at the end.
        if (!isBusy() || !m_panelShown.isValid() || m_panelShown.elapsed() >= PanelMs) {
            m_showFile(m_files.at(m_next - 1));
            m_panelShown.start();
        }
    } catch (const std::exception &error) {
        stopOnError(ErrorDisplay::messageOf(error));
        return;
    } catch (...) {
        stopOnError(QStringLiteral("Unknown error"));
        return;
    }
    if (!isBusy()) {
        finish(QString());
        return;
    }
    m_shown = QStringLiteral("Adding %1 of %2 files…").arg(m_next).arg(m_files.size());
    m_status->setText(m_shown);
    m_timer.start(0);
}

void IntakeQueue::stopOnError(const QString &message)
{
    // One box, not one per file: the files after it stay out. The failed
    // file was counted before it failed.
    const QString status = QStringLiteral("Adding stopped: %1 of %2 files added.").arg(m_next - 1).arg(m_files.size());
    finish(status);
    ErrorDisplay::showError(message);
}

void IntakeQueue::cancel()
{
    if (!isBusy())
        return;
    finish(QStringLiteral("Adding cancelled: %1 of %2 files added.").arg(m_next).arg(m_files.size()));
}

void IntakeQueue::finish(const QString &message)
{
    m_timer.stop();
    m_files.clear();
    m_next = 0;
    m_cancelKey->setEnabled(false);
    // The count goes; a progress line the encoder wrote meanwhile stays.
    if (!message.isEmpty())
        m_status->setText(message);
    else if (!m_shown.isEmpty() && m_status->text() == m_shown)
        m_status->clear();
    m_shown.clear();
    m_panelShown.invalidate();
    emit finished();
}
