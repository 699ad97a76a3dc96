// The line assembler against a plain model of a terminal line that handles
// one byte at a time: both must give the same reports, also when reports fail
// (by exception or by asking to stop), and end in the same state.

#include "process/lineassembler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Report {
    std::string line;
    bool startsOnNewLine;
    bool operator==(const Report &) const = default;
};

// Decides which reports fail: the k-th report fails when bit k is set.
struct Failures {
    std::uint64_t mask;
    bool byException;
    bool fails(std::size_t index) const { return index < 64 && (mask >> index & 1u); }
};

struct HandlerFailed {};

// The model: a line, a cursor, a flag; one byte at a time.
struct Model {
    std::string line;
    std::size_t cursor = 0;
    bool startsOnNewLine = true;
    std::vector<Report> reports;

    void put(char c)
    {
        if (cursor < line.size())
            line[cursor] = c;
        else
            line.push_back(c);
        ++cursor;
    }

    // False when the report failed: the state stays as it was.
    bool report(bool lineEnd, const Failures &failures)
    {
        reports.push_back({line, startsOnNewLine});
        if (failures.fails(reports.size() - 1))
            return false;
        if (lineEnd) {
            line.clear();
            cursor = 0;
        }
        startsOnNewLine = lineEnd;
        return true;
    }

    void piece(const std::string &bytes, const Failures &failures)
    {
        for (const char c : bytes) {
            switch (c) {
            case '\0':
            case '\a': put(' '); break;
            case '\b':
                if (cursor > 0)
                    --cursor;
                break;
            case '\t':
                for (int i = 0; i < 8; ++i)
                    put(' ');
                break;
            case '\n':
                if (!report(true, failures))
                    return;
                break;
            case '\r': cursor = 0; break;
            default: put(c); break;
            }
        }
        report(false, failures);
    }

    void finish(const Failures &failures)
    {
        if (!line.empty())
            report(false, failures);
    }
};

// Bytes drawn mostly from the ones that matter, so that runs, rewrites and
// line ends mix; now and then any byte.
std::string pieceBytes(FuzzedDataProvider &input)
{
    static const char alphabet[] = {'a', 'b', 'c', 'x', '\r', '\n', '\t', '\b', '\0', '\a', '\x1b', '\xc3'};
    const std::size_t size = input.ConsumeIntegralInRange<std::size_t>(1, 1024);
    const bool raw = input.ConsumeBool();
    std::string bytes;
    for (std::size_t i = 0; i < size && input.remaining_bytes() > 0; ++i) {
        const auto b = input.ConsumeIntegral<std::uint8_t>();
        bytes += raw ? char(b) : alphabet[b % sizeof alphabet];
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const Failures failures{input.ConsumeIntegral<std::uint64_t>() & input.ConsumeIntegral<std::uint64_t>(),
                            input.ConsumeBool()};
    std::vector<std::string> pieces;
    while (input.remaining_bytes() > 0)
        pieces.push_back(pieceBytes(input));

    Model model;
    for (const std::string &piece : pieces)
        model.piece(piece, failures);
    model.finish(failures);

    LineAssembler assembler;
    std::vector<Report> reports;
    const LineAssembler::Report record = [&](const QByteArray &line, bool startsOnNewLine) {
        reports.push_back({line.toStdString(), startsOnNewLine});
        if (!failures.fails(reports.size() - 1))
            return true;
        if (failures.byException)
            throw HandlerFailed();
        return false;
    };
    for (const std::string &piece : pieces) {
        try {
            assembler.assemble(piece.data(), qsizetype(piece.size()), record);
        } catch (const HandlerFailed &) {
        }
    }
    try {
        assembler.finish(record);
    } catch (const HandlerFailed &) {
    }

    if (reports != model.reports || assembler.line().toStdString() != model.line
        || std::size_t(assembler.cursor()) != model.cursor || assembler.startsOnNewLine() != model.startsOnNewLine)
        std::abort();
    return 0;
}
