#pragma once

#include <stdexcept>
#include <string>

// A failed operating-system call: "System Error.  Code: <errno>.\r\n<text>",
// or "A call to an OS function failed" when there is no error number.
class EOSError : public std::runtime_error {
public:
    explicit EOSError(int code);
    EOSError(int code, const std::string &systemText);

    int errorCode() const noexcept { return m_code; }

private:
    int m_code;
};
