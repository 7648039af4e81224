#pragma once

#include <exception>
#include <string>

namespace tlc {

// Every failure the operator can see carries one message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

#define TLC_EXCEPTION(Name)                                                                        \
    class Name : public Exception {                                                                \
    public:                                                                                        \
        using Exception::Exception;                                                                \
    }

// Ends an operation without a message.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
};

TLC_EXCEPTION(EInvalidGraphic);
TLC_EXCEPTION(EInvalidOperation);
TLC_EXCEPTION(EReadError);
TLC_EXCEPTION(EFOpenError);
TLC_EXCEPTION(EOSError);

class EOutOfResources : public Exception {
public:
    EOutOfResources() : Exception("Out of system resources") {}
    using Exception::Exception;
};

#undef TLC_EXCEPTION

} // namespace tlc
