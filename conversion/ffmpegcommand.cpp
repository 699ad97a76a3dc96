#include "conversion/ffmpegcommand.h"

#include "process/commandline.h"

#include <QFile>
#include <QFileInfo>

namespace FFmpegCommand {

QByteArray commandLine(const QByteArray &encoder, const QByteArray &source, const QList<QByteArray> &streamArguments,
                       const QList<QByteArray> &fragments, const QByteArray &output)
{
    QByteArray line = quoteArgument(encoder) + " -y -i " + quoteArgument(source);
    for (const QByteArray &argument : streamArguments)
        line += ' ' + quoteArgument(argument);
    for (const QByteArray &fragment : fragments)
        line += ' ' + fragment;
    return line + ' ' + quoteArgument(output);
}

QByteArray probeProgram(const QByteArray &encoder)
{
    const QFileInfo encoderFile(QFile::decodeName(encoder));
    const QString linkedFolder = QFileInfo(encoderFile.canonicalFilePath()).absolutePath();
    for (const QString &folder : {encoderFile.absolutePath(), linkedFolder}) {
        const QFileInfo probe(folder + QStringLiteral("/ffprobe"));
        if (!folder.isEmpty() && probe.isFile() && probe.isExecutable())
            return QFile::encodeName(probe.absoluteFilePath());
    }
    return QByteArray();
}

} // namespace FFmpegCommand
