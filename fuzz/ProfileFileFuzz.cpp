// The settings reader on any file. Layout of an input: section, key and value, each a
// length byte and that many bytes, then the file's bytes. Reading never fails or runs
// long, numbers parse like the standard library's, and a plain value written through
// the writer reads back unchanged while the file's other settings keep theirs.
#include <algorithm>
#include <charconv>
#include <string>

#include "FuzzUtil.h"
#include "platform/ProfileFile.h"

namespace {

lwfuzz::Scratch* g_scratch = nullptr;

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

bool Plain(const std::string& s, std::string_view forbidden)
{
    return !s.empty() && !Blank(s.front()) && !Blank(s.back()) && s.find_first_of(forbidden) == std::string::npos;
}

// Decimal text alone, checked against the standard library.
void CheckDecimal(const std::string& text)
{
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-')
        ++i;
    const std::string digits = text.substr(i);
    if (digits.empty() || digits.size() > 30 || digits.find_first_not_of("0123456789") != std::string::npos)
        return;
    long long expected = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    int32_t value = 0;
    const bool parsed = lw::profile::ParseInteger(text, value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        FUZZ_CHECK(!parsed);
        return;
    }
    if (negative)
        expected = -expected;
    const bool fits = expected >= INT32_MIN && expected <= INT32_MAX;
    FUZZ_CHECK(parsed == fits);
    if (fits)
        FUZZ_CHECK(value == expected);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static lwfuzz::Scratch scratch;
    g_scratch = &scratch;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    namespace profile = lw::profile;
    lwfuzz::Reader in(data, size);
    // Each a length byte (below 24) and that many bytes.
    const std::string section = in.Text(in.Byte() % 24);
    const std::string key = in.Text(in.Byte() % 24);
    const std::string value = in.Text(in.Byte() % 24);
    const std::string body = in.Text(size);
    const std::string path = *g_scratch / "settings.ini";
    lwfuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(body.data()), body.size());

    const std::string unset = "\x01unset";
    const std::string got = profile::GetPrivateProfileString(section, key, unset, path);
    FUZZ_CHECK(got.size() <= profile::kMaxValueLength || got == unset);
    FUZZ_CHECK(got.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos || got == unset);
    int32_t number = 0;
    const int32_t read = profile::ReadInteger(section, key, -7, path);
    FUZZ_CHECK(profile::ParseInteger(got, number) ? read == number : read == -7);
    CheckDecimal(value);
    CheckDecimal(got);

    // What the writer can store faithfully: one line each, no "=" in the key, no "]" in
    // the section, no enclosing quotes on the value, nothing past a NUL in the old file.
    const bool storable =
        Plain(section, std::string_view("]\r\n\0", 4)) && Plain(key, std::string_view("=\r\n\0", 4)) &&
        key.front() != '[' && value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos &&
        (value.empty() || (!Blank(value.front()) && !Blank(value.back()))) &&
        !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) &&
        body.find('\0') == std::string::npos;
    if (!storable)
        return 0;
    // A second setting that the write must leave alone.
    const std::string otherSection = section + "x";
    const std::string before = profile::GetPrivateProfileString(otherSection, key, unset, path);
    FUZZ_CHECK(profile::WritePrivateProfileString(section, key, value, path));
    FUZZ_CHECK(profile::GetPrivateProfileString(section, key, unset, path) == value);
    FUZZ_CHECK(profile::GetPrivateProfileString(otherSection, key, unset, path) == before);
    return 0;
}
