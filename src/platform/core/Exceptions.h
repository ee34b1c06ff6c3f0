#pragma once
// The exception classes of the system. Every failure that reaches a caller is one of these, carrying its
// message text (UTF-8). The hierarchy mirrors the one the program's message box and callers rely on:
// the file-stream errors are stream errors, and every class is an Exception.

#include <exception>
#include <string>
#include <utility>

namespace pardova {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// A failed folder creation; ErrorCode is the platform's (Windows-numbered) error code.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

class EStreamError : public Exception {
    using Exception::Exception;
};
class EFileStreamError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFCreateError : public EFileStreamError {
    using EFileStreamError::EFileStreamError;
};
class EFOpenError : public EFileStreamError {
    using EFileStreamError::EFileStreamError;
};

} // namespace pardova
