#pragma once
// The root of every error this program raises: an exception that carries the
// message shown to the user. Subsystems derive their own kinds from it.

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// Raised to end an operation quietly: the message loop shows nothing for it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// A text that is not a number, a date or whatever was asked of it.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};
