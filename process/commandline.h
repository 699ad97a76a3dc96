#pragma once

#include <QByteArray>
#include <QList>

// The one-string command line of a child process and its argument vector.
//
// Splitting: blanks and tabs separate arguments; a double-quoted section
// keeps blanks and tabs; inside and outside quotes a backslash before a
// quote or a backslash stands for that character alone; every other
// backslash is literal. A quote left open runs to the end.
// quoteArgument() is the matching quoting: splitting the joined, quoted
// arguments gives them back exactly, whatever bytes they hold.

// Splits a command line into its arguments; the first names the program.
QList<QByteArray> splitCommandLine(const QByteArray &commandLine);

// The argument as it must appear in a command line: unchanged when it needs
// no quoting, otherwise in double quotes with " and \ escaped. An argument
// needs quoting when it is empty or holds a blank, tab, quote or backslash.
QByteArray quoteArgument(const QByteArray &argument);

// The arguments, each quoted where needed, joined by single blanks.
QByteArray joinCommandLine(const QList<QByteArray> &arguments);
