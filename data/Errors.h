#pragma once

#include <stdexcept>
#include <string>

// A text that is not a number ("'%s' is not a valid floating point value" and its kin).
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed open, read, write or close of a text file. what() is the user's message
// ("File not found", "I/O error 28", ...); the path and errno are kept for context.
class EInOutError : public std::runtime_error {
public:
    EInOutError(const std::string& message, std::string path, int errorCode)
        : std::runtime_error(message), path_(std::move(path)), errorCode_(errorCode) {}

    const std::string& Path() const noexcept { return path_; }
    int ErrorCode() const noexcept { return errorCode_; }

private:
    std::string path_;
    int errorCode_;
};
