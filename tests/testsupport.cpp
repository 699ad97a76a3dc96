#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

namespace TestSupport {

QString programDir()
{
    return QStringLiteral(HALVORA_PROGRAM_DIR "/");
}

void execSql(const QString &databasePath, const QStringList &statements)
{
    // The sqlite3 shell would be one more package; makedat runs a script.
    QTemporaryFile script;
    QVERIFY(script.open());
    for (const QString &statement : statements)
        script.write(statement.toUtf8() + ";\n");
    script.close();
    const QString tool = QStringLiteral(HALVORA_MAKEDAT);
    QFile::remove(databasePath);
    QCOMPARE(runProgram(tool, {script.fileName(), databasePath}), 0);
}

int runProgram(const QString &program, const QStringList &arguments, const QString &workingDir,
               QByteArray *output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -1;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool makeClip(const QString &path, const QStringList &inputArgs)
{
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-y")};
    args << inputArgs << path;
    QByteArray output;
    const int code = runProgram(QStringLiteral("ffmpeg"), args, QString(), &output);
    if (code != 0)
        qWarning("ffmpeg failed making %s: %s", qPrintable(path), output.constData());
    return code == 0;
}

bool makeH264Clip(const QString &path, int seconds)
{
    const QString duration = QString::number(seconds);
    return makeClip(path, {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("testsrc=size=160x120:rate=25:duration=") + duration,
                           QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + duration,
                           QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                           QStringLiteral("yuv420p"), QStringLiteral("-c:a"), QStringLiteral("aac"),
                           QStringLiteral("-shortest")});
}

ImmutableFile::ImmutableFile(const QString &path)
    : m_path(path), m_set(runProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0)
{
}

ImmutableFile::~ImmutableFile()
{
    if (m_set)
        runProgram(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
}

} // namespace TestSupport
