#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct magic_set;

namespace lw {

// What the system's file-type database makes of a file's first bytes. Text is left to the
// callers, who judge it with rules stricter than the database's on short input; checks
// that fire on random bytes more often than on real files are off.
class TFileKinds {
public:
    // A database that cannot be opened or loaded leaves the object recognising nothing.
    TFileKinds();
    ~TFileKinds();
    TFileKinds(const TFileKinds&) = delete;
    TFileKinds& operator=(const TFileKinds&) = delete;

    // The description ("PNG image data, 32 x 32, ...") of a recognised kind; nothing for
    // generic results ("data", "empty", ...) or when the database fails.
    std::optional<std::string> Describe(std::span<const uint8_t> head);
    // The media type ("image/png") of a recognised kind; nothing for
    // application/octet-stream, plain text, empty input or a failure.
    std::optional<std::string> MediaType(std::span<const uint8_t> head);

private:
    std::optional<std::string> Ask(std::span<const uint8_t> head, int flags);

    // One handle per object: the library keeps per-handle state, so threads each need one.
    magic_set* m_cookie = nullptr;
};

// Describe with a handle of its own, so any thread may call it.
std::optional<std::string> RecognisedFileKind(std::span<const uint8_t> head);

} // namespace lw
