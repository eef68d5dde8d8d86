#pragma once
// Error types of the engine. Each carries the exact text the user sees; the
// window program shows it in an error box, the command-line tool prints it.

#include <stdexcept>
#include <string>

// Base of every error the program raises on purpose.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Arithmetic that cannot be carried out (a transform length with too large a
// prime factor, a division by zero on an empty store).
class EMathError : public Exception {
public:
    using Exception::Exception;
};

// A text that should have been a number and is not.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened, created, read or written.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// A file whose contents are not a valid picture of its kind.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};
