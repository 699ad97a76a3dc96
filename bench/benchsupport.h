#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace BenchSupport {

// Runs a program to its end, its output discarded; true when it exited with 0.
inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace BenchSupport
