#pragma once
// The exception classes of the system. Every failure that reaches a caller is one of these, carrying its
// message text (UTF-8). The hierarchy mirrors the one the program's message box and callers rely on:
// the file-stream errors are stream errors, and every class is an Exception.

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace pardova::platform {

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

// A file that could not be created, opened, read or written. Besides the message it carries what the
// message was made from, so that a caller never has to read it back out of the text: the file's full path,
// the platform's (Windows-numbered) error code, 0 when the refusal is the program's own, and the reason
// text that the message ends in.
class EFileStreamError : public EStreamError {
public:
    explicit EFileStreamError(std::string message, std::string path = {}, uint32_t errorCode = 0,
                              std::string reason = {})
        : EStreamError(std::move(message)), FPath(std::move(path)), FErrorCode(errorCode), FReason(std::move(reason)) {}
    const std::string& Path() const noexcept { return FPath; }
    uint32_t ErrorCode() const noexcept { return FErrorCode; }
    const std::string& Reason() const noexcept { return FReason; }

private:
    std::string FPath;
    uint32_t FErrorCode;
    std::string FReason;
};
class EFCreateError : public EFileStreamError {
    using EFileStreamError::EFileStreamError;
};
class EFOpenError : public EFileStreamError {
    using EFileStreamError::EFileStreamError;
};

} // namespace pardova::platform
