#include "process/lineassembler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The bytes that are not simply copied: NUL, BEL, BS, TAB, LF, CR.
constexpr unsigned SpecialBytes = 1u << 0 | 1u << 7 | 1u << 8 | 1u << 9 | 1u << 10 | 1u << 13;

bool isSpecial(unsigned char c)
{
    return c <= '\r' && (SpecialBytes >> c & 1u);
}

// Whether any of the eight bytes at p is below 14, the range holding every
// special byte: a word without one is all ordinary bytes.
bool mayHoldSpecial(const char *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr std::uint64_t ones = 0x0101010101010101u;
    return ((word - ones * 14) & ~word & ones * 0x80) != 0;
}

} // namespace

void LineAssembler::reset()
{
    m_line.truncate(0);
    m_cursor = 0;
    m_startsOnNewLine = true;
    m_returned = false;
    m_rewritten = 0;
}

void LineAssembler::write(const char *bytes, qsizetype count, bool blankControls)
{
    if (count == 0)
        return;
    const qsizetype end = m_cursor + count;
    if (m_line.size() < end)
        m_line.resize(end);
    char *target = m_line.data() + m_cursor;
    std::memcpy(target, bytes, size_t(count));
    if (blankControls) {
        for (qsizetype i = 0; i < count; ++i) {
            if (target[i] == '\0' || target[i] == '\a')
                target[i] = ' ';
        }
    }
    m_cursor = end;
    m_rewritten = std::max(m_rewritten, end);
}

bool LineAssembler::reportLine(bool lineEnd, const Report &report)
{
    if (!report(m_line, m_startsOnNewLine))
        return false;
    if (lineEnd) {
        m_line.truncate(0);
        m_cursor = 0;
        m_returned = false;
        m_rewritten = 0;
    }
    m_startsOnNewLine = lineEnd;
    return true;
}

bool LineAssembler::assemble(const char *piece, qsizetype size, const Report &report)
{
    static const char tabBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    qsizetype runStart = 0;
    bool runHasControls = false; // the pending run holds NUL or BEL
    for (qsizetype i = 0; i < size; ++i) {
        while (i + 8 <= size && !mayHoldSpecial(piece + i))
            i += 8;
        if (i == size)
            break;
        const auto c = static_cast<unsigned char>(piece[i]);
        if (!isSpecial(c))
            continue;
        if (c == '\0' || c == '\a') {
            runHasControls = true;
            continue;
        }
        write(piece + runStart, i - runStart, runHasControls);
        runStart = i + 1;
        runHasControls = false;
        switch (c) {
        case '\b':
            if (m_cursor > 0)
                --m_cursor;
            break;
        case '\t':
            write(tabBlanks, sizeof tabBlanks, false);
            break;
        case '\n':
            if (!reportLine(true, report))
                return false;
            break;
        case '\r':
            m_cursor = 0;
            m_returned = true;
            m_rewritten = 0;
            break;
        }
    }
    write(piece + runStart, size - runStart, runHasControls);
    return reportLine(false, report);
}

bool LineAssembler::finish(const Report &report)
{
    if (m_line.isEmpty())
        return true;
    return reportLine(false, report);
}
