#pragma once

#include <stdexcept>
#include <string>

// A text that should hold a decimal integer does not:
// "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string &text)
        : std::runtime_error("'" + text + "' is not a valid integer value") {}
};
