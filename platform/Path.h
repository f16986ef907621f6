#pragma once
#include <string>

// Path rules. Linux: "/" is the only separator and there is no drive part. Windows: "\"
// and the drive colon both end a folder part, and the searches step over the second byte
// of a double-byte character of the system's code page. One set of functions serves both.
namespace lw::path {

struct TPathRules {
    char separator;
    char drive;                             // '\0': no drive part
    bool (*isLeadByte)(unsigned char byte); // null: one byte per character
    char alternative = '\0';                // another byte the system takes as a separator
};

inline constexpr TPathRules kPosixRules{'/', '\0', nullptr};
// Windows rules for single-byte code pages; the native ones ask the system.
inline constexpr TPathRules kWindowsRules{'\\', ':', nullptr};

#ifdef _WIN32
// Whether the byte starts a double-byte character: never, since the program's text is
// UTF-8 whatever the system's code page.
bool IsSystemLeadByte(unsigned char byte);
// Windows itself takes "/" as well, so a path typed that way still splits where it should.
inline constexpr TPathRules kNativeRules{'\\', ':', &IsSystemLeadByte, '/'};
#else
inline constexpr TPathRules kNativeRules = kPosixRules;
#endif

inline constexpr char kSeparator = kNativeRules.separator;

// From the last "." after the last separator, dot included; empty if none.
std::string ExtractFileExt(const std::string& path, const TPathRules& rules = kNativeRules);
// The path with that extension cut off.
std::string PathWithoutExt(const std::string& path, const TPathRules& rules = kNativeRules);
// What follows the last separator.
std::string ExtractFileName(const std::string& path, const TPathRules& rules = kNativeRules);
// Up to and including the last separator; empty if none.
std::string ExtractFilePath(const std::string& path, const TPathRules& rules = kNativeRules);
// folder + separator + name; the separator is added even when the folder ends in one.
std::string JoinDestination(const std::string& folder, const std::string& name, const TPathRules& rules = kNativeRules);
// Only the letters A to Z change.
std::string LowerAscii(std::string text);

// Where the first or last character for which `match` holds sits, or npos; bytes that
// continue a double-byte character are never looked at.
template <typename TMatch>
std::string::size_type FindFirst(const std::string& text, const TPathRules& rules, TMatch match)
{
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (match(text[i]))
            return i;
        if (rules.isLeadByte && rules.isLeadByte(static_cast<unsigned char>(text[i])))
            ++i;
    }
    return std::string::npos;
}

template <typename TMatch>
std::string::size_type FindLast(const std::string& text, const TPathRules& rules, TMatch match)
{
    if (!rules.isLeadByte) {
        for (auto i = text.size(); i-- > 0;)
            if (match(text[i]))
                return i;
        return std::string::npos;
    }
    std::string::size_type last = std::string::npos;
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        if (match(text[i]))
            last = i;
        if (rules.isLeadByte(static_cast<unsigned char>(text[i])))
            ++i;
    }
    return last;
}

// A separator or, where there is one, the drive colon.
inline bool EndsFolder(char c, const TPathRules& rules)
{
    return c == rules.separator || (rules.alternative != '\0' && c == rules.alternative) ||
           (rules.drive != '\0' && c == rules.drive);
}

} // namespace lw::path
