#include "platform/Format.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(copy);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, copy);
    }
    va_end(copy);
    return out;
}

std::string OneLineMessage(const std::string& message) {
    std::string line;
    line.reserve(message.size());
    for (size_t i = 0; i < message.size(); i++) {
        char c = message[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        while (i + 1 < message.size() && (message[i + 1] == '\r' || message[i + 1] == '\n'))
            i++;
        if (line.empty() || i + 1 == message.size()) continue;
        line += line.back() == ':' ? " " : "; ";
    }
    return line;
}

std::string MessageBoxText(const std::string& message) {
    std::string text;
    text.reserve(message.size());
    for (size_t i = 0; i < message.size(); i++) {
        if (message[i] == '\r') {
            if (i + 1 < message.size() && message[i + 1] == '\n') i++;
            text += '\n';
        } else {
            text += message[i];
        }
    }
    return text;
}
