#pragma once

#include <stdexcept>
#include <string>

// An error of the settings store: SQLite's own text for the connection, or one
// of the store's fixed messages. The result code is 0 where SQLite gave none.
class ESQLiteError : public std::runtime_error {
public:
    explicit ESQLiteError(const std::string &message, int code = 0)
        : std::runtime_error(message), m_code(code) {}
    int errorCode() const noexcept { return m_code; }

private:
    int m_code;
};
