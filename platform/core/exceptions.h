#pragma once
// The exception family of the window class library. Every failure the library reports
// by raising is one of these; the message loop shows what escapes a handler.
#include <stdexcept>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string m) { message_ = std::move(m); }
    int HelpContext() const noexcept { return helpContext_; }

private:
    std::string message_;
    int helpContext_;
};

#define PLATFORM_EXCEPTION(Name, Base) \
    class Name : public Base {          \
    public:                             \
        using Base::Base;               \
    }

PLATFORM_EXCEPTION(EConvertError, Exception);
PLATFORM_EXCEPTION(EListError, Exception);
PLATFORM_EXCEPTION(EStringListError, EListError);
PLATFORM_EXCEPTION(EOutOfResources, Exception);
PLATFORM_EXCEPTION(EInvalidOperation, Exception);
PLATFORM_EXCEPTION(EInvalidGraphic, Exception);
PLATFORM_EXCEPTION(EInvalidGraphicOperation, Exception);
PLATFORM_EXCEPTION(EOSError, Exception);
PLATFORM_EXCEPTION(EAssertionFailed, Exception);
PLATFORM_EXCEPTION(EStreamError, Exception);
PLATFORM_EXCEPTION(EFCreateError, EStreamError);
PLATFORM_EXCEPTION(EFOpenError, EStreamError);
PLATFORM_EXCEPTION(EReadError, EStreamError);
PLATFORM_EXCEPTION(EWriteError, EStreamError);
PLATFORM_EXCEPTION(ERegistryException, Exception);
PLATFORM_EXCEPTION(EComponentError, Exception);
PLATFORM_EXCEPTION(EThread, Exception);

#undef PLATFORM_EXCEPTION

}  // namespace platform
