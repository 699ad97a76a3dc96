// The nine output-parameter selectors and the output folder, driven through
// the main window against real settings database files.

#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "settings/outputfolder.h"
#include "settings/selectors.h"
#include "settings/selectorstatements.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"
#include "widgets/tjvcombobox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <memory>
#include <stdexcept>

namespace {

struct Entry {
    QString name;
    QString fragment;
};

} // namespace

class OutputOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void statementsReadAndStoreEachSelectorsRows_data();
    void statementsReadAndStoreEachSelectorsRows();
    void unknownTagsAreRefused_data();
    void unknownTagsAreRefused();
    void folderStatementsQuoteThePath();

    void firstShowFillsSelectorsWithSavedChoices();
    void showAgainReloadsNothing();
    void pickingStoresOnlyThatSelector_data();
    void pickingStoresOnlyThatSelector();
    void choicesSurviveARestart();
    void typingStoresExactMatchOrMinusOne();
    void unusualCatalogues_data();
    void unusualCatalogues();
    void choiceWithoutSavedRowIsLostAtRestart();
    void savedMinusOneKeepsEarlierText();
    void failingStatementStopsFillAndFolderLoad();

    void loadShowsStoredFolderOrDefault_data();
    void loadShowsStoredFolderOrDefault();
    void chosenFolderIsShownAndStored_data();
    void chosenFolderIsShownAndStored();
    void cancellingTheBrowserChangesNothing();
    void openButtonOpensTheShownFolder();

    void readOnlyDatabaseKeepsChoicesOnScreen();

private:
    QString dbPath() const { return m_dir->filePath(QStringLiteral("LibFFmpeg.Dat")); }
    void prepare(const QStringList &statements);
    void create();
    void start();
    void restart();
    TJvComboBox *selector(int tag) const;
    QList<Entry> entries(int tag);
    QMap<int, int> storedIndexes();
    QStringList storedFolders();
    void pick(TJvComboBox *selector, int row);
    void chooseInBrowser(const QString &folder);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
    std::unique_ptr<TSqlDatMod> m_module;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
};

void OutputOptionsTest::initTestCase()
{
    m_oldDir = QDir::currentPath();
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });
}

void OutputOptionsTest::init()
{
    m_boxes.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QFile::copy(TestSupport::programDir() + "LibFFmpeg.Dat", dbPath()));
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void OutputOptionsTest::cleanup()
{
    m_window.reset();
    m_module.reset();
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
    // A test that expects error boxes takes them out of the list.
    QCOMPARE(m_boxes, QStringList());
}

void OutputOptionsTest::cleanupTestCase()
{
    ErrorDisplay::setBoxFunction({});
}

// Runs statements on the database file through a connection of its own.
void OutputOptionsTest::prepare(const QStringList &statements)
{
    TestSupport::runSql(dbPath(), statements);
}

void OutputOptionsTest::create()
{
    m_module = std::make_unique<TSqlDatMod>();
    m_window = std::make_unique<TFFmpegFrm>();
}

void OutputOptionsTest::start()
{
    create();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// Ends the session and starts a new one on the same file.
void OutputOptionsTest::restart()
{
    m_window.reset();
    m_module.reset();
    start();
}

TJvComboBox *OutputOptionsTest::selector(int tag) const
{
    return m_window->findChild<TJvComboBox *>(QLatin1String(Selectors::byTag(tag).controlName));
}

QList<Entry> OutputOptionsTest::entries(int tag)
{
    QList<Entry> result;
    const QString select = QStringLiteral("select cmbex_name, cmbex_cmd from %1 order by cmbex_index");
    for (const QStringList &row : TestSupport::sqlRows(dbPath(), select.arg(SelectorStatements::optionTable(tag)), 2))
        result.append({row[0], row[1]});
    return result;
}

// The stored position of each selector by Tag; a missing row reads as -99.
QMap<int, int> OutputOptionsTest::storedIndexes()
{
    QMap<int, int> result;
    for (const Selectors::Selector &row : Selectors::All) {
        const QString index = TestSupport::storedIndex(dbPath(), row.tag);
        result[row.tag] = index.isEmpty() ? -99 : index.toInt();
    }
    return result;
}

// Every row of the folder table, as "key=folder".
QStringList OutputOptionsTest::storedFolders()
{
    QStringList result;
    const QString select = QStringLiteral("select dir_numb, dir_name from savedir_videofile order by dir_numb");
    for (const QStringList &row : TestSupport::sqlRows(dbPath(), select, 2))
        result << row.join(QLatin1Char('='));
    return result;
}

// Picks an entry the way the user does: open the list, move to it, press Return.
void OutputOptionsTest::pick(TJvComboBox *selector, int row)
{
    selector->showPopup();
    QAbstractItemView *view = selector->view();
    QTRY_VERIFY(view->isVisible());
    view->setCurrentIndex(view->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!view->isVisible());
}

// Clicks the choose button and answers the folder browser: with the folder,
// or cancels when it is empty. Checks the browser on the way.
void OutputOptionsTest::chooseInBrowser(const QString &folder)
{
    bool seen = false;
    QTimer timer;
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer.stop();
        seen = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Please select the folder"));
        QCOMPARE(dialog->parentWidget(), m_window.get());
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        // It opens in the current output folder, where that exists.
        const QDir current(ui().JvEditDir->text());
        if (current.exists())
            QCOMPARE(dialog->directory().canonicalPath(), current.canonicalPath());
        if (folder.isEmpty()) {
            dialog->reject();
        } else {
            // As when the user opens the folder and presses the accept button.
            dialog->setDirectory(folder);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    timer.start();
    // Should the browser not be answered, close whatever modal window is up.
    QTimer deadline;
    connect(&deadline, &QTimer::timeout, this, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    deadline.start(10000);
    QTest::mouseClick(ui().JvBtnSltDir, Qt::LeftButton);
    QVERIFY2(seen, "the folder browser did not open");
}

void OutputOptionsTest::statementsReadAndStoreEachSelectorsRows_data()
{
    QTest::addColumn<int>("tag");
    for (const Selectors::Selector &row : Selectors::All)
        QTest::newRow(row.controlName) << row.tag;
}

void OutputOptionsTest::statementsReadAndStoreEachSelectorsRows()
{
    QFETCH(int, tag);
    const QList<QStringList> rows = TestSupport::sqlRows(dbPath(), SelectorStatements::optionRowsSql(tag), 3);
    QVERIFY(rows.size() >= 2);
    QCOMPARE(SelectorStatements::optionTable(tag), QLatin1String(Selectors::byTag(tag).optionTable));

    // The listing gives each entry's position and text, in list order.
    const QList<QStringList> listed = TestSupport::sqlRows(dbPath(), SelectorStatements::listingSql(tag), 2);
    QCOMPARE(listed.size(), rows.size());
    for (qsizetype k = 0; k < rows.size(); ++k)
        QCOMPARE(listed[k], rows[k].mid(0, 2));

    // A position finds its own entry's fragment; -1 finds none.
    const QStringList &last = rows.last();
    QCOMPARE(TestSupport::sqlRows(dbPath(), SelectorStatements::lookupSql(tag, last[0].toInt())),
             QList<QStringList>{{last[2]}});
    QCOMPARE(TestSupport::sqlRows(dbPath(), SelectorStatements::lookupSql(tag, -1)).size(), 0);

    // Storing a position changes that selector's saved position only.
    QMap<int, int> expected = storedIndexes();
    prepare({SelectorStatements::storeIndexSql(tag, last[0].toInt())});
    expected[tag] = last[0].toInt();
    QCOMPARE(storedIndexes(), expected);
    QCOMPARE(TestSupport::sqlValue(dbPath(), SelectorStatements::savedIndexSql(tag)), last[0]);
}

void OutputOptionsTest::unknownTagsAreRefused_data()
{
    QTest::addColumn<int>("tag");
    QTest::newRow("0") << 0;
    QTest::newRow("one past the table") << Selectors::Count + 1;
    QTest::newRow("negative") << -1;
}

void OutputOptionsTest::unknownTagsAreRefused()
{
    QFETCH(int, tag);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SelectorStatements::listingSql(tag));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SelectorStatements::optionRowsSql(tag));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SelectorStatements::lookupSql(tag, 0));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SelectorStatements::savedIndexSql(tag));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SelectorStatements::storeIndexSql(tag, 0));
}

void OutputOptionsTest::folderStatementsQuoteThePath()
{
    QCOMPARE(OutputFolder::loadStatement(),
             QStringLiteral("select dir_name from savedir_videofile where dir_numb = '001'"));
    QCOMPARE(OutputFolder::storeStatement(QStringLiteral("/v/Bob's 'x'")),
             QStringLiteral("update savedir_videofile set dir_name = '/v/Bob''s ''x''' where dir_numb = '001'"));
    QCOMPARE(OutputFolder::defaultFolder(), QCoreApplication::applicationDirPath() + QStringLiteral("/FFOutput"));
}

void OutputOptionsTest::firstShowFillsSelectorsWithSavedChoices()
{
    const QMap<int, int> saved = storedIndexes();
    start();
    QCOMPARE(m_boxes, QStringList());
    for (const Selectors::Selector &row : Selectors::All) {
        const int tag = row.tag;
        TJvComboBox *s = selector(tag);
        const QList<Entry> list = entries(tag);
        QStringList names;
        for (const Entry &e : list)
            names << e.name;
        QStringList items;
        for (int i = 0; i < s->count(); ++i)
            items << s->itemText(i);
        QCOMPARE(items, names);
        QCOMPARE(s->ItemIndex(), saved[tag]);
        QCOMPARE(s->currentText(), names[saved[tag]]);
        QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(s), list[saved[tag]].fragment);
    }
    QCOMPARE(ui().JvEditDir->text(), OutputFolder::defaultFolder());
    // Filling stores nothing.
    QCOMPARE(storedIndexes(), saved);
    QCOMPARE(storedFolders(), QStringList{"001="});
}

void OutputOptionsTest::showAgainReloadsNothing()
{
    start();
    const int codec = selector(1)->ItemIndex();
    prepare({QStringLiteral("update cmbex_itemindex set cmbex_index = 3 where cmbex_tag = 1"),
             QStringLiteral("update savedir_videofile set dir_name = '/elsewhere' where dir_numb = '001'")});
    m_window->showMinimized();
    m_window->hide();
    m_window->showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(selector(1)->ItemIndex(), codec);
    QCOMPARE(ui().JvEditDir->text(), OutputFolder::defaultFolder());
}

void OutputOptionsTest::pickingStoresOnlyThatSelector_data()
{
    QTest::addColumn<int>("tag");
    for (const Selectors::Selector &row : Selectors::All)
        QTest::newRow(row.controlName) << row.tag;
}

void OutputOptionsTest::pickingStoresOnlyThatSelector()
{
    QFETCH(int, tag);
    start();
    QMap<int, int> expected = storedIndexes();
    const QList<Entry> list = entries(tag);
    const int row = (expected[tag] + 1) % int(list.size());

    pick(selector(tag), row);
    expected[tag] = row;
    QCOMPARE(storedIndexes(), expected);
    QCOMPARE(selector(tag)->currentText(), list[row].name);
    QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(selector(tag)), list[row].fragment);
}

void OutputOptionsTest::choicesSurviveARestart()
{
    start();
    pick(selector(3), 2);
    // Typed text that equals an entry chooses it; other text chooses none.
    QTest::keyClick(selector(7)->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(selector(7)->lineEdit(), entries(7)[4].name);
    QTest::keyClick(selector(2)->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(selector(2)->lineEdit(), QStringLiteral("900 kbit/s"));

    restart();
    QCOMPARE(selector(3)->ItemIndex(), 2);
    QCOMPARE(selector(3)->currentText(), entries(3)[2].name);
    QCOMPARE(selector(7)->ItemIndex(), 4);
    QCOMPARE(selector(7)->currentText(), entries(7)[4].name);
    QCOMPARE(selector(2)->ItemIndex(), -1);
    QCOMPARE(selector(2)->currentText(), QString());
    QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(selector(2)), QString());
}

void OutputOptionsTest::typingStoresExactMatchOrMinusOne()
{
    prepare({QStringLiteral("delete from cmbex_vdofps"),
             QStringLiteral("insert into cmbex_vdofps values (0, 'Keep', ''), (1, '24', '-r 24'), (2, '240', '-r 240')"),
             QStringLiteral("update cmbex_itemindex set cmbex_index = 0 where cmbex_tag = 4")});
    start();
    TJvComboBox *fps = selector(4);
    QLineEdit *edit = fps->lineEdit();
    QCOMPARE(fps->currentText(), QStringLiteral("Keep"));

    struct Step {
        QString keys; // a leading '<' is one backspace
        QString text;
        int index;
        QString fragment;
    };
    const Step steps[] = {
        {"2", "2", -1, ""},       {"4", "24", 1, "-r 24"}, {"0", "240", 2, "-r 240"},
        {"0", "2400", -1, ""},    {"<", "240", 2, "-r 240"}, {"<", "24", 1, "-r 24"},
        {"<", "2", -1, ""},       {"<", "", -1, ""},        {"keep", "keep", -1, ""},
    };
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const Step &step : steps) {
        if (step.keys == QLatin1String("<"))
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, step.keys);
        QCOMPARE(edit->text(), step.text);
        QCOMPARE(edit->cursorPosition(), int(step.text.size()));
        QCOMPARE(fps->ItemIndex(), step.index);
        QCOMPARE(storedIndexes()[4], step.index);
        QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(fps), step.fragment);
    }
    // Return and leaving the field neither add the text to the list nor choose an entry.
    QTest::keyClick(edit, Qt::Key_Return);
    ui().JvEditDir->setFocus();
    QCOMPARE(fps->count(), 3);
    QCOMPARE(edit->text(), QStringLiteral("keep"));
    QCOMPARE(fps->ItemIndex(), -1);
    QCOMPARE(storedIndexes()[4], -1);
    // The combo box still holds "24" as current; picking it chooses it again.
    QCOMPARE(fps->currentIndex(), 1);
    pick(fps, 1);
    QCOMPARE(edit->text(), QStringLiteral("24"));
    QCOMPARE(fps->ItemIndex(), 1);
    QCOMPARE(storedIndexes()[4], 1);
}

void OutputOptionsTest::unusualCatalogues_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("empty option table") << QStringList{"delete from cmbex_vdosize"} << 3 << 0 << -1 << "" << "";
    QTest::newRow("no saved row selects the first")
        << QStringList{"delete from cmbex_itemindex where cmbex_tag = 2"} << 2 << 7 << 0 << "Automatic" << "";
    QTest::newRow("saved position is the count")
        << QStringList{"update cmbex_itemindex set cmbex_index = 5 where cmbex_tag = 5"} << 5 << 5 << -1 << "" << "";
    QTest::newRow("saved position far beyond")
        << QStringList{"update cmbex_itemindex set cmbex_index = 1000 where cmbex_tag = 9"} << 9 << 5 << -1 << ""
        << "";
    // The position is the only link: the fragment is the row whose index
    // equals the position, whatever text stands there.
    const QStringList gapped{"delete from cmbex_vdocodec",
                             "insert into cmbex_vdocodec values (0, 'A', '-a'), (2, 'C', '-c'), (5, 'F', '-f')"};
    QTest::newRow("gapped indexes, no row at position")
        << (gapped + QStringList{"update cmbex_itemindex set cmbex_index = 1 where cmbex_tag = 1"}) << 1 << 3 << 1
        << "C" << "";
    QTest::newRow("gapped indexes, another row at position")
        << (gapped + QStringList{"update cmbex_itemindex set cmbex_index = 2 where cmbex_tag = 1"}) << 1 << 3 << 2
        << "F" << "-c";
}

void OutputOptionsTest::unusualCatalogues()
{
    QFETCH(QStringList, statements);
    QFETCH(int, tag);
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(QString, fragment);
    prepare(statements);
    start();
    QCOMPARE(selector(tag)->count(), count);
    QCOMPARE(selector(tag)->ItemIndex(), index);
    QCOMPARE(selector(tag)->currentText(), text);
    QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(selector(tag)), fragment);
}

void OutputOptionsTest::choiceWithoutSavedRowIsLostAtRestart()
{
    prepare({QStringLiteral("delete from cmbex_itemindex where cmbex_tag = 2")});
    start();
    pick(selector(2), 3);
    QCOMPARE(selector(2)->ItemIndex(), 3);
    QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(selector(2)), entries(2)[3].fragment);
    QCOMPARE(storedIndexes()[2], -99);
    restart();
    QCOMPARE(selector(2)->ItemIndex(), 0);
}

void OutputOptionsTest::savedMinusOneKeepsEarlierText()
{
    start();
    TJvComboBox *channels = selector(8);
    channels->lineEdit()->setText(QStringLiteral("shown before"));
    prepare({QStringLiteral("update cmbex_itemindex set cmbex_index = -1 where cmbex_tag = 8")});
    TFFmpegFunc(*m_window).FillSelector(channels);
    QCOMPARE(channels->count(), int(entries(8).size()));
    QCOMPARE(channels->ItemIndex(), -1);
    QCOMPARE(channels->currentText(), QStringLiteral("shown before"));
    QCOMPARE(TFFmpegFunc(*m_window).LookupFragment(channels), QString());
    QCOMPARE(storedIndexes()[8], -1);
}

void OutputOptionsTest::failingStatementStopsFillAndFolderLoad()
{
    const QMap<int, int> saved = storedIndexes();
    prepare({QStringLiteral("drop table cmbex_vdofps")});
    create();
    for (int tag = 4; tag <= 9; ++tag)
        selector(tag)->addItem(QStringLiteral("before"));

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_boxes, QStringList{"no such table: cmbex_vdofps."});
    m_boxes.clear();
    for (int tag = 1; tag <= 3; ++tag) {
        QCOMPARE(selector(tag)->count(), int(entries(tag).size()));
        QCOMPARE(selector(tag)->ItemIndex(), saved[tag]);
    }
    QCOMPARE(selector(4)->count(), 0);
    for (int tag = 5; tag <= 9; ++tag) {
        QCOMPARE(selector(tag)->count(), 1);
        QCOMPARE(selector(tag)->itemText(0), QStringLiteral("before"));
    }
    QCOMPARE(ui().JvEditDir->text(), QString());
    QCOMPARE(storedIndexes(), saved);
}

void OutputOptionsTest::loadShowsStoredFolderOrDefault_data()
{
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QString>("shown"); // empty: the default folder

    QTest::newRow("stored folder")
        << QStringList{"update savedir_videofile set dir_name = '/srv/vid\u00e9os/Bob''s $x' where dir_numb = '001'"}
        << QStringLiteral("/srv/vid\u00e9os/Bob's $x");
    QTest::newRow("empty stored folder") << QStringList{} << QString();
    QTest::newRow("no row 001") << QStringList{"delete from savedir_videofile"} << QString();
    QTest::newRow("only another row")
        << QStringList{"delete from savedir_videofile", "insert into savedir_videofile values ('002', '/other')"}
        << QString();
}

void OutputOptionsTest::loadShowsStoredFolderOrDefault()
{
    QFETCH(QStringList, statements);
    QFETCH(QString, shown);
    prepare(statements);
    const QStringList before = storedFolders();
    start();
    QCOMPARE(ui().JvEditDir->text(), shown.isEmpty() ? OutputFolder::defaultFolder() : shown);
    QCOMPARE(storedFolders(), before);
}

void OutputOptionsTest::chosenFolderIsShownAndStored_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rowExists");
    QTest::newRow("plain") << "out" << true;
    QTest::newRow("single quote") << "Bob's clips" << true;
    QTest::newRow("quotes, dollar, non-ASCII") << "a \"b\" $HOME 'c' \u00e9t\u00e9 \u6620\u50cf" << true;
    QTest::newRow("no row 001") << "out" << false;
}

void OutputOptionsTest::chosenFolderIsShownAndStored()
{
    QFETCH(QString, name);
    QFETCH(bool, rowExists);
    if (!rowExists)
        prepare({QStringLiteral("delete from savedir_videofile")});
    const QString folder = m_dir->filePath(name);
    QVERIFY(QDir().mkpath(folder));
    start();

    chooseInBrowser(folder);
    QCOMPARE(ui().JvEditDir->text(), folder);
    QCOMPARE(storedFolders(), rowExists ? QStringList{"001=" + folder} : QStringList());
    // Opened again, the browser starts in the folder just chosen.
    chooseInBrowser(folder);
    QCOMPARE(ui().JvEditDir->text(), folder);

    restart();
    QCOMPARE(ui().JvEditDir->text(), rowExists ? folder : OutputFolder::defaultFolder());
}

void OutputOptionsTest::cancellingTheBrowserChangesNothing()
{
    prepare({QStringLiteral("update savedir_videofile set dir_name = '/stored' where dir_numb = '001'")});
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("unused"))));
    start();
    chooseInBrowser(QString());
    QCOMPARE(ui().JvEditDir->text(), QStringLiteral("/stored"));
    QCOMPARE(storedFolders(), QStringList{"001=/stored"});
}

void OutputOptionsTest::openButtonOpensTheShownFolder()
{
    const QString folder = m_dir->filePath(QStringLiteral("a \"b\" $HOME 'c' #1 %20 \u00e9t\u00e9"));
    QVERIFY(QDir().mkpath(folder));
    prepare({OutputFolder::storeStatement(folder)});
    start();
    TestSupport::UrlSink sink(QStringLiteral("file"));
    QTest::mouseClick(ui().JvBtnOpenDir, Qt::LeftButton);
    QCOMPARE(sink.urls.size(), 1);
    QCOMPARE(sink.urls[0].toLocalFile(), folder);
}

void OutputOptionsTest::readOnlyDatabaseKeepsChoicesOnScreen()
{
    const QString folder = m_dir->filePath(QStringLiteral("chosen"));
    QVERIFY(QDir().mkpath(folder));
    const QMap<int, int> saved = storedIndexes();
    TestSupport::ImmutableFile immutable(dbPath());
    if (immutable.unsupported())
        QSKIP("cannot make a file read-only for this user here");

    start();
    QCOMPARE(m_boxes, QStringList());
    QCOMPARE(selector(1)->ItemIndex(), saved[1]);

    // Each box says that the choice was not saved, and why.
    const QString readOnly =
        QStringLiteral("Your choice was not saved and will be lost when Halvora ends: attempt to write a readonly database.");
    pick(selector(3), 4);
    QCOMPARE(m_boxes, QStringList{readOnly});
    QCOMPARE(selector(3)->ItemIndex(), 4);
    QCOMPARE(selector(3)->currentText(), entries(3)[4].name);

    QTest::keyClicks(selector(6)->lineEdit(), QStringLiteral("x"));
    QCOMPARE(m_boxes, (QStringList{readOnly, readOnly}));
    QVERIFY(selector(6)->currentText().endsWith(QLatin1Char('x')));
    QCOMPARE(selector(6)->ItemIndex(), -1);

    chooseInBrowser(folder);
    QCOMPARE(m_boxes, (QStringList{readOnly, readOnly,
                                   "The output folder is used but was not saved and will be lost when Halvora ends: "
                                   "attempt to write a readonly database."}));
    QCOMPARE(ui().JvEditDir->text(), folder);
    m_boxes.clear();

    QCOMPARE(storedIndexes(), saved);
    QCOMPARE(storedFolders(), QStringList{"001="});
}

QTEST_MAIN(OutputOptionsTest)
#include "tst_outputoptions.moc"
