// The one exception base of the engine: it carries a message and nothing else.
// Every error class (EStreamError, ETextureExeption, ...) derives from it.
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    // Puts what the error happened to in front of the message ("scene.y3d: ")
    // as it passes a layer that knows it; the error keeps its class.
    void AddContext(const std::string& context) { message_.insert(0, context); }

private:
    std::string message_;
};

// Declares an error class that only passes its message on to its base.
#define ZUMBRIX_EXCEPTION(Name, Base)                                                                        \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
    }

// Errors of the platform layer itself (missing resource, bad command line).
ZUMBRIX_EXCEPTION(EPlatformError, Exception);
