// The toolkit signals failures with exceptions whose message is the text the
// user will see; dispatch catches what leaves a handler and shows it.
#pragma once

#include <stdexcept>
#include <string>

namespace toolkit {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message)
    {
    }
    std::string Message() const { return what(); }
};

// A file could not be opened or read.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// A stored declaration or a binary property in it could not be read.
class EReadError : public Exception {
public:
    using Exception::Exception;
};

// No picture kind is registered for a class name or extension.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// Replaces the first "%s" or "%d" in a message pattern.
std::string FormatMessage(const std::string& pattern, const std::string& argument);

}
