#include "process/commandline.h"

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t';
}

bool needsQuoting(const QByteArray &argument)
{
    if (argument.isEmpty())
        return true;
    for (const char c : argument) {
        if (isSeparator(c) || c == '"' || c == '\\')
            return true;
    }
    return false;
}

} // namespace

QList<QByteArray> splitCommandLine(const QByteArray &commandLine)
{
    QList<QByteArray> arguments;
    QByteArray current;
    bool inArgument = false; // an argument has begun, possibly with an empty quoted section
    bool quoted = false;
    const qsizetype size = commandLine.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = commandLine[i];
        if (c == '\\' && i + 1 < size && (commandLine[i + 1] == '"' || commandLine[i + 1] == '\\')) {
            current += commandLine[++i];
            inArgument = true;
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (isSeparator(c) && !quoted) {
            if (inArgument)
                arguments.append(std::exchange(current, QByteArray()));
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QByteArray quoteArgument(const QByteArray &argument)
{
    if (!needsQuoting(argument))
        return argument;
    QByteArray quoted;
    quoted.reserve(argument.size() + 2);
    quoted += '"';
    for (const char c : argument) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

QByteArray joinCommandLine(const QList<QByteArray> &arguments)
{
    QByteArray line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += quoteArgument(arguments[i]);
    }
    return line;
}
