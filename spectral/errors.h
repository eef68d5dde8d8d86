#pragma once
// Error types of the engine. Each carries its message by id (see
// spectral/messages.h); what() is the message's German text, word for word
// what the user sees in the German window. The window renders the message in
// the interface language, the command-line tool in its own English.

#include "spectral/messages.h"

#include <new>
#include <stdexcept>
#include <string>

// Base of every error the program raises on purpose.
class Exception : public std::runtime_error {
public:
    explicit Exception(TMessage message)
        : std::runtime_error(GermanText(message)), message_(std::move(message)) {}
    // A text that is the same in every language: the tool's own English, a
    // programming error, or a text already in the interface language.
    explicit Exception(const std::string& text) : Exception(PlainMessage(text)) {}
    const TMessage& Message() const { return message_; }

private:
    TMessage message_;
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

// The message of any error: an Exception's own, a want of memory, else the
// error's text as it stands.
inline TMessage MessageOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const Exception*>(&error)) return own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return TMessage{TMessageId::OutOfMemory, {}, {}};
    return PlainMessage(error.what());
}
