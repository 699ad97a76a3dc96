// Output file naming: the base name, the temporary file and the move to the
// first free final name, on real files.

#include "conversion/outputfile.h"
#include "process/eoserror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class OutputFileTest : public QObject {
    Q_OBJECT

private slots:
    void baseNameComesFromThePath_data();
    void baseNameComesFromThePath();
    void temporaryNamesNeverTakeAnExistingFile();
    void moveTakesTheFirstFreeNameAndReplacesNothing();
    void missingFolderIsReported();
    void longNamesGetAShortTemporaryName_data();
    void longNamesGetAShortTemporaryName();
    void onlyMadeNamesAreTemporary_data();
    void onlyMadeNamesAreTemporary();

private:
    static void write(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

void OutputFileTest::baseNameComesFromThePath_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("base");
    QTest::newRow("extension") << QByteArray("/v/holiday.avi") << QByteArray("holiday");
    QTest::newRow("last extension only") << QByteArray("/v/a.b.c.mp4") << QByteArray("a.b.c");
    QTest::newRow("no extension") << QByteArray("/v.d/clip") << QByteArray("clip");
    QTest::newRow("leading dot kept") << QByteArray("/v/.hidden") << QByteArray(".hidden");
    QTest::newRow("newline in name") << QByteArray("/v/new\nline.avi") << QByteArray("new\nline");
    QTest::newRow("bytes that are no UTF-8") << QByteArray("/v/\xe9t\xe9.mov") << QByteArray("\xe9t\xe9");
    QTest::newRow("relative") << QByteArray("clip.mkv") << QByteArray("clip");
}

void OutputFileTest::baseNameComesFromThePath()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, base);
    QCOMPARE(OutputFile::baseName(path), base);
}

void OutputFileTest::temporaryNamesNeverTakeAnExistingFile()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    write(dir.filePath("clip.part.mp4"), "someone's");
    const QByteArray first = OutputFile::createTemporary(folder, "clip");
    const QByteArray second = OutputFile::createTemporary(folder, "clip");
    QCOMPARE(first, folder + "/clip.part (2).mp4");
    QCOMPARE(second, folder + "/clip.part (3).mp4");
    QVERIFY(OutputFile::isTemporaryName(first) && OutputFile::isTemporaryName(second));
    QCOMPARE(read(dir.filePath("clip.part.mp4")), QByteArray("someone's"));
    QVERIFY(!OutputFile::hasContent(first));
    OutputFile::remove(first);
    QVERIFY(!QFile::exists(QFile::decodeName(first)));
}

void OutputFileTest::moveTakesTheFirstFreeNameAndReplacesNothing()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    write(dir.filePath("clip.mp4"), "one");
    write(dir.filePath("clip (3).mp4"), "three");
    QStringList written;
    for (const QByteArray content : {"a", "b", "c"}) {
        const QByteArray temporary = OutputFile::createTemporary(folder, "clip");
        write(QFile::decodeName(temporary), content);
        const QByteArray path = OutputFile::moveToFreeName(temporary, folder, "clip");
        QCOMPARE(read(QFile::decodeName(path)), content);
        QVERIFY(!QFile::exists(QFile::decodeName(temporary)));
        written << QFileInfo(QFile::decodeName(path)).fileName();
    }
    QCOMPARE(written, (QStringList{"clip (2).mp4", "clip (4).mp4", "clip (5).mp4"}));
    QCOMPARE(read(dir.filePath("clip.mp4")), QByteArray("one"));
    QCOMPARE(read(dir.filePath("clip (3).mp4")), QByteArray("three"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 5);
}

void OutputFileTest::missingFolderIsReported()
{
    QTemporaryDir dir;
    try {
        OutputFile::createTemporary(QFile::encodeName(dir.filePath("gone")), "clip");
        QFAIL("a temporary file was made in a missing folder");
    } catch (const EOSError &error) {
        QCOMPARE(error.errorCode(), ENOENT);
    }
}

void OutputFileTest::longNamesGetAShortTemporaryName_data()
{
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("firstTemporary");
    // 250 bytes: "base.mp4" fits the usual 255, "base.part.mp4" does not.
    const QByteArray ascii(250, 'a');
    QTest::newRow("fits as it is") << QByteArray(240, 'b') << QByteArray(240, 'b') + ".part.mp4";
    QTest::newRow("too long for .part") << ascii << "." + QByteArray(235, 'a') + ".halvora-part-1.mp4";
    // Two-byte characters: the cut never splits one.
    QByteArray wide;
    for (int i = 0; i < 125; ++i)
        wide += "\xc3\xa9";
    QTest::newRow("cut moves back to a character's start") << wide << "." + wide.left(234) + ".halvora-part-1.mp4";
    QTest::newRow("cut at a character's start") << "x" + wide.left(248) << ".x" + wide.left(234) + ".halvora-part-1.mp4";
}

void OutputFileTest::longNamesGetAShortTemporaryName()
{
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, firstTemporary);
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray first = OutputFile::createTemporary(folder, base);
    QCOMPARE(first, folder + '/' + firstTemporary);
    // The next one is numbered and fits too; the final name is the base's own.
    const QByteArray second = OutputFile::createTemporary(folder, base);
    QVERIFY(second != first && OutputFile::exists(second));
    QVERIFY(OutputFile::isTemporaryName(first) && OutputFile::isTemporaryName(second));
    write(QFile::decodeName(first), "converted");
    QCOMPARE(OutputFile::moveToFreeName(first, folder, base), folder + '/' + base + ".mp4");
}

void OutputFileTest::onlyMadeNamesAreTemporary_data()
{
    // Names of files a user may have beside Halvora's own; the made ones are
    // checked with the names above.
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("a final name") << QByteArray("/out/clip.mp4");
    QTest::newRow("a word with 'part' in it") << QByteArray("/out/my.party.mp4");
    QTest::newRow("another container") << QByteArray("/out/clip.part.mkv");
    QTest::newRow("no base") << QByteArray("/out/.part.mp4.bak");
    QTest::newRow("not hidden") << QByteArray("/out/clip.halvora-part-1.mp4");
    QTest::newRow("a folder named like one") << QByteArray("/out/clip.part.mp4/notes.txt");
}

void OutputFileTest::onlyMadeNamesAreTemporary()
{
    QFETCH(QByteArray, path);
    QVERIFY(!OutputFile::isTemporaryName(path));
}

QTEST_GUILESS_MAIN(OutputFileTest)
#include "tst_outputfile.moc"
