#pragma once
#include <exception>
#include <string>

namespace lw {

// Root of every failure the program raises; carries exactly one message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const noexcept { return m_message; }

private:
    std::string m_message;
};

// Stream failures: a short read/write on an "exactly" transfer, or an unopenable file.
class EStreamError : public Exception {
    using Exception::Exception;
};
class EReadError : public EStreamError {
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
class EFileError : public EStreamError {
    using EStreamError::EStreamError;
};

inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";
// For messages where memory ran out, after a colon.
inline constexpr const char* kNotEnoughMemory = "not enough memory";

} // namespace lw
