#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

// A failed operation on a named file. what() is the user's message; the name and the
// system's error code (empty where the system reported none) stay for the caller to decide
// by.
class EFileError : public std::runtime_error {
public:
    EFileError(const std::string& message, std::string path, std::error_code code = {})
        : std::runtime_error(message), path_(std::move(path)), code_(code) {}

    const std::string& Path() const noexcept { return path_; }
    const std::error_code& code() const noexcept { return code_; }

private:
    std::string path_;
    std::error_code code_;
};

// A failed open, read, write or close of a text file ("File not found", "I/O error 28", ...).
class EInOutError : public EFileError {
public:
    using EFileError::EFileError;
};

// Memory ran out while a file was read or taken in; what() names the file and its size.
class EOutOfMemory : public EFileError {
public:
    EOutOfMemory(const std::string& message, std::string path, std::uintmax_t size)
        : EFileError(message, std::move(path), std::make_error_code(std::errc::not_enough_memory)),
          size_(size) {}
    std::uintmax_t Size() const noexcept { return size_; }

private:
    std::uintmax_t size_;
};
