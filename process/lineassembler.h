#pragma once

#include <QByteArray>

#include <functional>

// Builds the lines of a child's output the way a terminal shows them, piece
// by piece: carriage return moves back to the start of the line (the line
// keeps its text, so a shorter rewrite leaves the older tail), line feed ends
// the line, tab writes eight blanks at the cursor, backspace moves the cursor
// back (not below 0, erasing nothing), NUL and BEL are written as blanks;
// every other byte is written unchanged. Each line feed reports the line as a
// line end, and each piece ends with one report of the line as it stands.
// A plain class: no threads, no allocation per byte.
class LineAssembler {
public:
    // Receives the whole line and whether this is the first report of a line
    // begun after a line feed (or the first of the output). Returning false
    // drops the rest of the piece (its owner stopped or is gone): the
    // assembler returns at once, touching none of its state. An exception
    // leaves the same way. Either way the line stays as it was at that report.
    using Report = std::function<bool(const QByteArray &line, bool startsOnNewLine)>;

    // Empty line, cursor 0, next report starts a new line.
    void reset();
    // Assembles one piece; false when a report returned false.
    bool assemble(const char *piece, qsizetype size, const Report &report);
    // End of the output: a line that is not empty is reported once more, not
    // as a line end. False when that report returned false.
    bool finish(const Report &report);

    const QByteArray &line() const { return m_line; }
    // What the line got after its last carriage return: the whole line when
    // it had none. A message written over an older, longer line (a progress
    // line ended by a carriage return) without clearing it, without that
    // line's tail.
    QByteArray sinceReturn() const { return m_returned ? m_line.left(m_rewritten) : m_line; }
    qsizetype cursor() const { return m_cursor; }
    bool startsOnNewLine() const { return m_startsOnNewLine; }

private:
    void write(const char *bytes, qsizetype count, bool blankControls);
    bool reportLine(bool lineEnd, const Report &report);

    QByteArray m_line;
    qsizetype m_cursor = 0;
    bool m_startsOnNewLine = true;
    bool m_returned = false;   // the line had a carriage return
    qsizetype m_rewritten = 0; // how far the text since then reaches
};
