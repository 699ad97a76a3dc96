// The file list and the information panel on the main window: adding through
// the Open dialog with the real media library, files it cannot read and
// names that are not valid text, selecting, deleting, clearing, and Play on a
// file that cannot be played.

#include "app/ffmpegexec.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "media/mediainfodll.h"
#include "media/mediaquery.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

#include <langinfo.h>
#include <unistd.h>

namespace {

// The panel's values, row by row (column 1).
QStringList panelValues(const QTreeWidget *panel)
{
    QStringList values;
    for (int row = 0; row < panel->topLevelItemCount(); ++row)
        values << panel->topLevelItem(row)->text(1);
    return values;
}

const QStringList EmptyPanel(16);

QStringList rowTexts(const QTreeWidgetItem *item)
{
    QStringList texts;
    for (int column = 0; column < 5; ++column)
        texts << item->text(column);
    return texts;
}

bool isUtf8CharacterType()
{
    return qstrcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

} // namespace

class FileListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void addWithoutLibraryAddsNothingUntilItIsFound();
    void panelHasSixteenPresetRows();
    void addShowsEntryAndPanel_data();
    void addShowsEntryAndPanel();
    void addThroughTheRealOpenDialog_data();
    void addThroughTheRealOpenDialog();
    void addKeepsSelection();
    void selectShowsClickedFile();
    void deleteRemovesSelectedRow();
    void clearEmptiesListPanelCursorAndStatus();
    void clearOnEmptyListChangesNothing();
    void nonAsciiNameUnderCLocale();
    void nameThatIsNotValidTextShowsItsFigures();
    void playSaysWhyAFileCannotBePlayed_data();
    void playSaysWhyAFileCannotBePlayed();

private:
    QString path(const QString &name) const { return m_settings->path(name); }
    void add(const QString &name);
    QStringList panel() const { return panelValues(ui().MsgListView); }
    QTreeWidget *list() const { return ui().FileListView; }

    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
    QString m_chosen;
    QString m_oddName;
};

void FileListTest::initTestCase()
{
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });
    TFFmpegFunc::setOpenDialogFunction([this](QFileDialog *) { return QStringList{m_chosen}; });

    const QString lavfi = QStringLiteral("lavfi");
    QVERIFY(TestSupport::makeH264Clip(path("clip.mp4"), 1));
    QVERIFY(TestSupport::makeClip(path("clip.avi"),
                                  {"-f", lavfi, "-i", "testsrc=size=320x240:rate=25:duration=2", "-f", lavfi, "-i",
                                   "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "mpeg4", "-c:a",
                                   "libmp3lame", "-shortest"}));
    QVERIFY(TestSupport::makeClip(path("video only.mp4"), {"-f", lavfi, "-i",
                                                           "testsrc=size=160x120:rate=25:duration=1", "-c:v",
                                                           "libx264", "-pix_fmt", "yuv420p"}));
    QVERIFY(TestSupport::makeClip(path("audio only.m4a"),
                                  {"-f", lavfi, "-i", "sine=frequency=440:sample_rate=44100:duration=1", "-c:a", "aac"}));
    QVERIFY(TestSupport::makeClip(path("short.mp4"),
                                  {"-f", lavfi, "-i", "testsrc=size=160x120:rate=25:duration=0.4", "-c:v", "libx264",
                                   "-pix_fmt", "yuv420p"}));
    QFile empty(path("empty.avi"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile text(path("text.avi"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("hello\n");
    text.close();
    m_oddName = QStringLiteral("it's a \"q\" $HOME (x) Ünïcödé ✓.mp4");
    QVERIFY(QFile::copy(path("clip.mp4"), path(m_oddName)));
    QVERIFY(QFile::copy(path("clip.mp4"), path("noext")));
}

void FileListTest::init()
{
    m_boxes.clear();
    m_chosen.clear();
    m_window = std::make_unique<TFFmpegFrm>();
}

void FileListTest::cleanup()
{
    m_window.reset();
    QCOMPARE(m_boxes, QStringList());
}

void FileListTest::cleanupTestCase()
{
    TFFmpegFunc::setOpenDialogFunction({});
    ErrorDisplay::setBoxFunction({});
    m_settings.reset();
}

void FileListTest::add(const QString &name)
{
    m_chosen = path(name);
    ui().AddFileBtn->click();
    // Picked files are added in slices once the click has returned.
    QTRY_VERIFY(!m_window->intake().isBusy());
}

void FileListTest::addWithoutLibraryAddsNothingUntilItIsFound()
{
    // Needs a process in which nothing has loaded the library yet.
    TESTSUPPORT_RUN_IN_FRESH_PROCESS(QStringList(), QString());
    QVERIFY2(!MediaInfoDll::MediaInfoModule, "the library was loaded before this test");
    QTemporaryDir libraryDir;
    const QString libraryPath = libraryDir.filePath(QStringLiteral("libmediainfo.so.0"));
    MediaInfoDll::setLibraryName(QFile::encodeName(libraryPath).constData());
    const auto restore = qScopeGuard([] { MediaInfoDll::setLibraryName("libmediainfo.so.0"); });

    ui().MsgListView->topLevelItem(1)->setText(1, QStringLiteral("shown before"));
    add("clip.mp4");
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), QStringLiteral("shown before"));

    // The library appears while the program runs: the next Add finds it.
    QVERIFY(QFile::link(TestSupport::systemLibraryPath(QStringLiteral("libmediainfo.so.0")), libraryPath));
    add("clip.mp4");
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), QStringLiteral("clip.mp4"));
}

void FileListTest::panelHasSixteenPresetRows()
{
    const QStringList captions{"Video File",       "File Name",        "File Type",     "File Size",
                               "Playing Time",     "Video Parameters", "Video Codec",   "Video Bitrate",
                               "Video Size",       "Video Frame Rate", "Width Ratio",   "Audio Parameters",
                               "Audio Codec",      "Audio Bitrate",    "Audio Channel", "Sampling Frequency"};
    const int images[] = {Picture::Waiting, Picture::Detail, Picture::Detail, Picture::Detail, Picture::Detail, Picture::VideoHeading, Picture::Detail, Picture::Detail, Picture::Detail, Picture::Detail, Picture::Detail, Picture::AudioHeading, Picture::Detail, Picture::Detail, Picture::Detail, Picture::Detail};
    QTreeWidget *panel = ui().MsgListView;
    QCOMPARE(panel->topLevelItemCount(), 16);
    for (int row = 0; row < 16; ++row) {
        QCOMPARE(panel->topLevelItem(row)->text(0), captions[row]);
        QCOMPARE(TFFmpegFrm::itemImage(panel->topLevelItem(row)), images[row]);
    }
    QCOMPARE(this->panel(), EmptyPanel);
}

void FileListTest::addShowsEntryAndPanel_data()
{
    // Expected list row (type, size, time) and the panel's values as patterns;
    // an empty size means "the file's own size in MB", and the panel's size
    // row must equal the list's size text.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QStringList>("panel");
    QTest::addColumn<QString>("unreadable"); // the row's tooltip; empty for a readable file

    const QString rate = QStringLiteral("[0-9.]+ kb/s");
    const auto e = [](const QString &literal) { return QRegularExpression::escape(literal); };
    const QStringList noVideo{"", "", "", "", ""};
    const QStringList noAudio{"", "", "", ""};
    const auto rows = [](const QStringList &file, const QStringList &video, const QStringList &audio) {
        return QStringList{""} + file + QStringList{""} + video + QStringList{""} + audio;
    };
    const QStringList h264{"AVC", rate, "160x120", "25\\.000 FPS", "4:3"};
    const QStringList aac{"AAC LC", rate, "1 channel", "44\\.1 kHz"};

    QTest::newRow("mp4 H.264/AAC") << "clip.mp4" << "mp4" << "" << "00:00:01"
                                   << rows({"clip\\.mp4", "mp4", "", "00:00:01"}, h264, aac) << "";
    QTest::newRow("avi MPEG-4/MP3") << "clip.avi" << "avi" << "" << "00:00:02"
                                    << rows({"clip\\.avi", "avi", "", "00:00:02"},
                                            {"MPEG-4 Visual", rate, "320x240", "25\\.000 FPS", "4:3"},
                                            {"MPEG-1 Audio layer 3", rate, "1 channel", "44\\.1 kHz"})
                                    << "";
    QTest::newRow("video only") << "video only.mp4" << "mp4" << "" << "00:00:01"
                                << rows({"video only\\.mp4", "mp4", "", "00:00:01"}, h264, noAudio) << "";
    QTest::newRow("audio only") << "audio only.m4a" << "m4a" << "" << "00:00:01"
                                << rows({"audio only\\.m4a", "m4a", "", "00:00:01"}, noVideo, aac) << "";
    QTest::newRow("shorter than a second") << "short.mp4" << "mp4" << "" << "00:00:00"
                                           << rows({"short\\.mp4", "mp4", "", "00:00:00"}, h264, noAudio) << "";
    QTest::newRow("odd name") << m_oddName << "mp4" << "" << "00:00:01"
                              << rows({e(m_oddName), "mp4", "", "00:00:01"}, h264, aac) << "";
    QTest::newRow("no extension") << "noext" << "" << "" << "00:00:01"
                                  << rows({"noext\\.", "", "", "00:00:01"}, h264, aac) << "";
    // Nothing to convert inside: added all the same, saying so, with the
    // file's true size and no playing time.
    const QString notMedia = QStringLiteral("Not a video or audio file Halvora can read");
    QTest::newRow("empty file") << "empty.avi" << "avi" << "0.000 MB" << ""
                                << rows({"empty\\.avi", e(notMedia), "", ""}, noVideo, noAudio) << notMedia;
    QTest::newRow("text named .avi") << "text.avi" << "avi" << "0.000005722 MB" << ""
                                     << rows({"text\\.avi", e(notMedia), "", ""}, noVideo, noAudio) << notMedia;
    QTest::newRow("missing file") << "missing.mp4" << "mp4" << "-" << ""
                                  << rows({"missing\\.mp4", "The file is missing", "", ""}, noVideo, noAudio)
                                  << "The file is missing";
}

void FileListTest::addShowsEntryAndPanel()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, size);
    QFETCH(QString, time);
    QFETCH(QStringList, panel);
    QFETCH(QString, unreadable);

    add(name);
    QCOMPARE(list()->topLevelItemCount(), 1);
    QTreeWidgetItem *item = list()->topLevelItem(0);
    const QStringList row = rowTexts(item);
    if (size == QLatin1String("-")) {
        size.clear(); // no size at all
    } else if (size.isEmpty()) {
        // The library rounds to four digits: allow for it.
        QVERIFY2(row[2].endsWith(QLatin1String(" MB")), qPrintable(row[2]));
        const double megabytes = QFileInfo(path(name)).size() / 1048576.0;
        QVERIFY2(qAbs(row[2].chopped(3).toDouble() / megabytes - 1) < 0.005, qPrintable(row[2]));
        size = row[2];
    }
    QCOMPARE(row, (QStringList{path(name), type, size, time, "0%"}));
    QCOMPARE(TFFmpegFrm::itemImage(item), unreadable.isEmpty() ? Picture::Waiting : Picture::Unreadable);
    QCOMPARE(item->toolTip(0), unreadable);

    const QStringList shown = this->panel();
    QCOMPARE(shown[3], size);
    for (int r = 0; r < 16; ++r) {
        if (r == 3)
            continue;
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(panel[r]));
        QVERIFY2(pattern.match(shown[r]).hasMatch(),
                 qPrintable(QStringLiteral("row %1: \"%2\" does not match %3").arg(r).arg(shown[r], panel[r])));
    }
    // Selected, the reason the panel cuts short shows whole in the status line.
    list()->setCurrentItem(item);
    QCOMPARE(ui().JvEditCmdMsg->text(), unreadable.isEmpty() ? QString() : path(name) + ": " + unreadable + ".");
}

void FileListTest::addThroughTheRealOpenDialog_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("file chosen") << true;
    QTest::newRow("cancelled") << false;
}

void FileListTest::addThroughTheRealOpenDialog()
{
    QFETCH(bool, accept);
    const TFFmpegFunc::OpenDialogFunction seam = TFFmpegFunc::setOpenDialogFunction({});
    const auto restore = qScopeGuard([&seam] { TFFmpegFunc::setOpenDialogFunction(seam); });

    // The dialog reads a typed name with a double quote as a list of names,
    // so this name has none.
    const QString name = QStringLiteral("it's a $HOME (x) Ünïcödé ✓ clip.mp4");
    QVERIFY(QFile::exists(path(name)) || QFile::copy(path("clip.mp4"), path(name)));
    const QString file = path(name);
    QString title;
    QString unexpected;
    int ticks = 0;
    bool clicked = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            // A message box of the dialog's own: note it and close it.
            if (modal) {
                unexpected = modal->windowTitle();
                modal->close();
            }
            return;
        }
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        title = dialog->windowTitle();
        // Type the full path into the name box, as a user may.
        auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (accept && nameBox->text() != file)
            nameBox->setText(file);
        QPushButton *button = buttons->button(accept ? QDialogButtonBox::Open : QDialogButtonBox::Cancel);
        if (clicked || ++ticks > 500) {
            unexpected = QStringLiteral("the dialog did not take the choice");
            buttons->button(QDialogButtonBox::Cancel)->click();
        } else if (button->isEnabled()) {
            clicked = true;
            button->click();
        }
    });
    driver.start();
    ui().AddFileBtn->click();
    QTRY_VERIFY(!m_window->intake().isBusy());
    QCOMPARE(unexpected, QString());
    QCOMPARE(title, QStringLiteral("Add video files"));
    if (!accept) {
        QCOMPARE(list()->topLevelItemCount(), 0);
        QCOMPARE(panel(), EmptyPanel);
        return;
    }
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(list()->topLevelItem(0)->text(0), file);
    QCOMPARE(list()->topLevelItem(0)->text(1), QStringLiteral("mp4"));
    QCOMPARE(panel()[1], name);
}

void FileListTest::addKeepsSelection()
{
    add("clip.mp4");
    QVERIFY(list()->selectedItems().isEmpty());
    add("clip.avi");
    QVERIFY(list()->selectedItems().isEmpty());

    list()->topLevelItem(0)->setSelected(true);
    add("clip.avi");
    QCOMPARE(list()->topLevelItemCount(), 3);
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *>{list()->topLevelItem(0)});
    // The panel shows the file just added, not the selected one.
    QCOMPARE(panel()[1], QStringLiteral("clip.avi"));
    // The same file twice gives two identical rows.
    QCOMPARE(rowTexts(list()->topLevelItem(2)), rowTexts(list()->topLevelItem(1)));
}

void FileListTest::selectShowsClickedFile()
{
    QVERIFY(QFile::copy(path("clip.mp4"), path("deleted later.mp4")));
    add("clip.avi");
    add("deleted later.mp4");
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const auto click = [this](int row) {
        const QRect rect = list()->visualItemRect(list()->topLevelItem(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    };

    click(0);
    QCOMPARE(panel()[1], QStringLiteral("clip.avi"));
    QCOMPARE(panel()[8], QStringLiteral("320x240"));

    // A file gone from the disk since it was added says so, and nothing more.
    QVERIFY(QFile::remove(path("deleted later.mp4")));
    click(1);
    QCOMPARE(panel(), (QStringList{"", "deleted later.mp4", "The file is missing", "", "", "", "", "", "", "", "", "",
                                   "", "", "", ""}));

    // With nothing selected the panel stays as it is.
    list()->clearSelection();
    add("clip.avi");
    m_window->FileListViewClick();
    QCOMPARE(panel()[1], QStringLiteral("clip.avi"));
}

void FileListTest::deleteRemovesSelectedRow()
{
    // On an empty list, Delete empties the panel's values.
    ui().MsgListView->topLevelItem(2)->setText(1, QStringLiteral("stale"));
    ui().DelFileBtn->click();
    QCOMPARE(panel(), EmptyPanel);

    add("clip.mp4");
    add("clip.avi");
    const QStringList showing = panel();

    // Without a selection nothing changes.
    ui().DelFileBtn->click();
    QCOMPARE(list()->topLevelItemCount(), 2);

    // The deleted file stays in the panel while other rows remain.
    list()->topLevelItem(1)->setSelected(true);
    ui().DelFileBtn->click();
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(list()->topLevelItem(0)->text(0), path("clip.mp4"));
    QCOMPARE(panel(), showing);

    list()->topLevelItem(0)->setSelected(true);
    ui().DelFileBtn->click();
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(panel(), EmptyPanel);
}

void FileListTest::clearEmptiesListPanelCursorAndStatus()
{
    add("clip.mp4");
    add("clip.avi");
    ui().JvEditCmdMsg->setText(QStringLiteral("frame=  25 fps=0.0"));
    ui().ClearFileBtn->click();
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(panel(), EmptyPanel);
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("-1"));
    QCOMPARE(ui().JvEditCmdMsg->text(), QString());
}

void FileListTest::clearOnEmptyListChangesNothing()
{
    {
        const QSignalBlocker quiet(ui().JvEditNumb);
        ui().JvEditNumb->setText(QStringLiteral("2"));
    }
    ui().JvEditCmdMsg->setText(QStringLiteral("last line"));
    ui().MsgListView->topLevelItem(1)->setText(1, QStringLiteral("kept"));
    ui().ClearFileBtn->click();
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("2"));
    QCOMPARE(ui().JvEditCmdMsg->text(), QStringLiteral("last line"));
    QCOMPARE(ui().MsgListView->topLevelItem(1)->text(1), QStringLiteral("kept"));
}

void FileListTest::nonAsciiNameUnderCLocale()
{
    TESTSUPPORT_RUN_IN_FRESH_PROCESS(QStringList{QStringLiteral("LC_ALL=C")}, QString());
    QCOMPARE(qgetenv("LC_ALL"), QByteArray("C"));
    if (!isUtf8CharacterType()) {
        // The library, which cannot convert the name under this character
        // type, reads the file all the same: it is not given the name.
        const auto entry = MediaQuery::fileEntry(QFile::encodeName(path(m_oddName)));
        QVERIFY(entry);
        QCOMPARE(entry->type, QByteArray("mp4"));
        QCOMPARE(entry->time, QByteArray("00:00:01"));
    }
    setLocaleFromEnvironment();
    QVERIFY(isUtf8CharacterType());
    add(m_oddName);
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(rowTexts(list()->topLevelItem(0)).mid(1, 1), QStringList{"mp4"});
    QCOMPARE(list()->topLevelItem(0)->text(3), QStringLiteral("00:00:01"));
    QCOMPARE(panel()[1], m_oddName);
}

void FileListTest::nameThatIsNotValidTextShowsItsFigures()
{
    // Such a name comes as bytes from a drop or the command line.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray file = QFile::encodeName(dir.path()) + "/bad\xffname.mkv";
    QVERIFY(QFile::copy(path("clip.mp4"), dir.filePath("copy")));
    QCOMPARE(::rename(QFile::encodeName(dir.filePath("copy")).constData(), file.constData()), 0);
    // QTemporaryDir removes by text names, which miss this one.
    const auto remove = qScopeGuard([&file] { ::unlink(file.constData()); });
    const auto clip = MediaQuery::fileEntry(QFile::encodeName(path("clip.mp4")));
    QVERIFY(clip);

    TFFmpegFunc(*m_window).AddVideoFiles({file});
    QTRY_COMPARE(list()->topLevelItemCount(), 1);
    QTreeWidgetItem *item = list()->topLevelItem(0);
    QCOMPARE(TFFmpegFrm::itemPath(item), file);
    QCOMPARE(rowTexts(item), (QStringList{QFile::decodeName(file), "mkv", QString::fromLatin1(clip->size),
                                          "00:00:01", "0%"}));
    QCOMPARE(TFFmpegFrm::itemImage(item), Picture::Waiting);
    QTRY_COMPARE(panel()[4], QStringLiteral("00:00:01"));
    const QStringList shown = panel();
    // The name as the list decodes it, not the library's name for what it read.
    QCOMPARE(shown[1], QFile::decodeName("bad\xffname.mkv"));
    QCOMPARE(shown[2], QStringLiteral("mkv"));
    QCOMPARE(shown[3], QString::fromLatin1(clip->size));
    QCOMPARE(shown[6], QStringLiteral("AVC"));
    QCOMPARE(shown[8], QStringLiteral("160x120"));
    QCOMPARE(shown[12], QStringLiteral("AAC LC"));
}

void FileListTest::playSaysWhyAFileCannotBePlayed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removeAfterAdding");
    QTest::addColumn<QString>("message");
    QTest::newRow("text named .avi") << "text.avi" << false
                                     << "This file cannot be played.\nNot a video or audio file Halvora can read.";
    QTest::newRow("missing when added") << "missing.mp4" << false << "This file cannot be played.\nThe file is missing.";
    QTest::newRow("gone since it was added") << "gone later.mp4" << true
                                             << "This file cannot be played.\nThe file is missing.";
}

void FileListTest::playSaysWhyAFileCannotBePlayed()
{
    QFETCH(QString, name);
    QFETCH(bool, removeAfterAdding);
    QFETCH(QString, message);

    if (removeAfterAdding)
        QVERIFY(QFile::copy(path("clip.mp4"), path(name)));
    add(name);
    QTRY_COMPARE(list()->topLevelItemCount(), 1);
    if (removeAfterAdding) {
        QCOMPARE(list()->topLevelItem(0)->text(3), QStringLiteral("00:00:01"));
        QVERIFY(QFile::remove(path(name)));
    }
    list()->topLevelItem(0)->setSelected(true);
    ui().PlayBtn->click();
    // Said before anything else (offscreen, the player would say it needs X11).
    QCOMPARE(m_boxes, QStringList{message});
    m_boxes.clear();
}

QTEST_MAIN(FileListTest)
#include "tst_filelist.moc"
