#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "TestUtil.h"
#include "platform/AbsolutePath.h"
#include "desktop/FileDrop.h"

using namespace lw;
using lwtest::Bytes;
using lwtest::ToHex;

namespace {

// The header as the platform declares it: offset, drop point x and y, non-client flag,
// wide flag; each 32 bits, little-endian.
const char* kReferenceBlock = R"(
import struct, sys
path = sys.stdin.buffer.read()
sys.stdout.buffer.write(struct.pack('<IiiII', 20, 0, 0, 0, 0) + path + b'\0\0')
)";

// One path per line, hex; prints the URL of each.
const char* kReferenceUrl = R"(
import sys, urllib.parse
for line in sys.stdin:
    print('file://' + urllib.parse.quote(bytes.fromhex(line.strip()), safe='/'))
)";

std::string Str(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(FileDrop, BlockLayout)
{
    LWTEST_NEEDS_REFERENCE();
    const std::vector<std::string> paths = {
        "",
        "/a",
        "/tmp/report.fez",
        "/tmp/semi;colon and space.fe2",
        "/t/\xC3\xA9\xFF\x01.x",
        "/" + std::string(300, 'p'),
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const auto block = BuildFileDropBlock(path);
        ASSERT_EQ(block.size(), path.size() + 22);
        EXPECT_EQ(ToHex(block.data(), 4), "14000000");
        EXPECT_EQ(ToHex(block.data() + 4, 16), std::string(32, '0'));
        EXPECT_EQ(std::string(block.begin() + 20, block.end() - 2), path);
        EXPECT_EQ(block[block.size() - 2], 0);
        EXPECT_EQ(block[block.size() - 1], 0);
        EXPECT_EQ(ToHex(block), ToHex(lwtest::RunPython(kReferenceBlock, Bytes(path.begin(), path.end()))));
    }
}

TEST(FileDrop, UrlEncodesEveryUnsafeByte)
{
    const struct {
        std::string path, url;
    } cases[] = {
        {"/tmp/plain-name_1.2~x", "file:///tmp/plain-name_1.2~x"},
        {"/tmp/my file \xC3\xA9.fe2", "file:///tmp/my%20file%20%C3%A9.fe2"},
        {"/a#b?c%d", "file:///a%23b%3Fc%25d"},
        {"/line\nbreak\r", "file:///line%0Abreak%0D"},
        {"/bad\xFF\x80utf8", "file:///bad%FF%80utf8"},
        {"/-lead/+plus;semi", "file:///-lead/%2Bplus%3Bsemi"},
        {"/quote'\"back\\", "file:///quote%27%22back%5C"},
        {"/", "file:///"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileUrlFromPath(c.path), c.url) << c.path;
}

TEST(FileDrop, UrlMatchesReferenceOnEveryByte)
{
    LWTEST_NEEDS_REFERENCE();
    // Every byte value but NUL appears, in random paths and each on its own.
    std::string input;
    std::vector<std::string> paths;
    for (int b = 1; b < 256; ++b)
        paths.push_back("/x" + std::string(1, static_cast<char>(b)) + "y");
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        auto bytes = lwtest::RandomBytes(40, seed);
        std::string p = "/";
        for (auto b : bytes)
            p += static_cast<char>(b == 0 ? '0' : b);
        paths.push_back(p);
    }
    for (const auto& p : paths)
        input += ToHex(reinterpret_cast<const uint8_t*>(p.data()), p.size()) + "\n";
    std::istringstream expected(Str(lwtest::RunPython(kReferenceUrl, Bytes(input.begin(), input.end()))));
    for (const auto& p : paths) {
        std::string line;
        ASSERT_TRUE(std::getline(expected, line));
        EXPECT_EQ(FileUrlFromPath(p), line) << ToHex(reinterpret_cast<const uint8_t*>(p.data()), p.size());
    }
}

TEST(FileDrop, PastePayloads)
{
    const std::string path = "/tmp/lw/my file.fe2";
    EXPECT_EQ(UriListPayload(path), "file:///tmp/lw/my%20file.fe2\r\n");
    EXPECT_EQ(CopiedFilesPayload(path), "copy\nfile:///tmp/lw/my%20file.fe2");
    // A line feed in the name is encoded, so the payload keeps exactly one line break.
    const std::string odd = CopiedFilesPayload("/a\nb");
    EXPECT_EQ(std::count(odd.begin(), odd.end(), '\n'), 1);
    EXPECT_NE(odd.back(), '\n');
}

TEST(AbsolutePath, JoinsAndTidies)
{
#ifdef _WIN32
    GTEST_SKIP() << "the Linux path rules; WindowsAbsolutePath has the Windows ones";
#endif
    const struct {
        std::string path, folder, expected;
    } cases[] = {
        {"x.fe2", "/home/u", "/home/u/x.fe2"},
        {"./x.fe2", "/home/u", "/home/u/x.fe2"},
        {"a//b/./c", "/h/", "/h/a/b/c"},
        {"../x", "/h/u", "/h/u/../x"},
        {"-x.fe2", "/h", "/h/-x.fe2"},
        {"./--help", "/h", "/h/--help"},
        {"/abs//x", "/ignored", "/abs/x"},
        {"x", "/", "/x"},
        {"dir/", "/h", "/h/dir/"},
        {".", "/", "/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(path::AbsolutePath(c.path, c.folder), c.expected) << c.path << " in " << c.folder;

    EXPECT_EQ(path::AbsolutePath("rel.fe2"), std::filesystem::current_path().string() + "/rel.fe2");
    EXPECT_EQ(path::AbsolutePath("/a/./b"), "/a/b");
}
