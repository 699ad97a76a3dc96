#include "process/eoserror.h"

#include <cstring>

namespace {

std::string messageFor(int code, const std::string &systemText)
{
    if (code == 0)
        return "A call to an OS function failed";
    return "System Error.  Code: " + std::to_string(code) + ".\r\n" + systemText;
}

std::string systemTextOf(int code)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in buffer.
    return ::strerror_r(code, buffer, sizeof buffer);
}

} // namespace

EOSError::EOSError(int code) : EOSError(code, code ? systemTextOf(code) : std::string()) {}

EOSError::EOSError(int code, const std::string &systemText)
    : std::runtime_error(messageFor(code, systemText)), m_code(code)
{
}
