// Splitting and quoting command lines: any list of arguments, quoted and
// joined, splits back into itself; any command line, split, joined and split
// again, gives the same arguments.

#include "process/commandline.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    // The input as a list of arguments, separated by NUL (which no argument
    // of a real child can hold).
    const QList<QByteArray> arguments = input.split('\0');
    if (splitCommandLine(joinCommandLine(arguments)) != arguments)
        std::abort();
    for (const QByteArray &argument : arguments) {
        const QByteArray quoted = quoteArgument(argument);
        if (splitCommandLine(quoted) != QList<QByteArray>{argument})
            std::abort();
    }

    // The input as a command line.
    const QList<QByteArray> split = splitCommandLine(input);
    for (const QByteArray &argument : split) {
        if (argument.contains('\0') && !input.contains('\0'))
            std::abort();
    }
    if (splitCommandLine(joinCommandLine(split)) != split)
        std::abort();
    return 0;
}
