#pragma once

#include <QByteArray>
#include <QtGlobal>

// A file opened by its exact name for one query of the media library, with
// what the system says of it. The library converts the name it is given
// through the locale's character set; a name that is not valid there does
// not survive, and the library is given the descriptor's entry under
// /proc/self/fd instead. Other names go as they are: the library picks its
// parser by the name's extension, and without one tries them in turn, which
// takes about twice as long. The open never blocks (a FIFO would wait for a
// writer) and never takes a terminal as the controlling one. Owns its
// descriptor, closed with the object; throws nothing. GUI thread (reads the
// locale's character type).
class SourceFile {
public:
    enum class Kind { NotOpen, Regular, Directory, Other };

    explicit SourceFile(const QByteArray &path);
    ~SourceFile();
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;

    Kind kind() const { return m_kind; }
    // The error number of the open; 0 when the file is open.
    int error() const { return m_error; }
    // The size in bytes of a regular file; 0 otherwise.
    qint64 size() const { return m_size; }
    // The name the library opens this file by: the path, or /proc/self/fd/N
    // when the path is not valid text in the locale (and /proc is mounted).
    // Empty when the file is not open.
    QByteArray libraryName() const { return m_libraryName; }

private:
    int m_fd = -1;
    int m_error = 0;
    Kind m_kind = Kind::NotOpen;
    qint64 m_size = 0;
    QByteArray m_libraryName;
};
