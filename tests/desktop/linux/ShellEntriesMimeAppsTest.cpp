#include <gtest/gtest.h>

#include "desktop/linux/MimeAppsList.h"

using lw::RemoveApplication;
using lw::SetDefaultApplication;

namespace {

const std::string kType = "application/x-lockwell-encrypted";
const std::string kId = "lockwell.desktop";

struct TSetRow {
    const char* name;
    const char* before;
    const char* after;
};

TEST(ShellEntriesMimeApps, SetDefaultEditsOnlyOurKey)
{
    const TSetRow rows[] = {
        {"empty file", "", "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n"},
        {"other group only", "[Added Associations]\ntext/plain=a.desktop;\n",
         "[Added Associations]\ntext/plain=a.desktop;\n[Default "
         "Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n"},
        {"no final newline", "[Added Associations]\ntext/plain=a.desktop;",
         "[Added Associations]\ntext/plain=a.desktop;\n[Default "
         "Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n"},
        {"after the group's last key",
         "[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\nx/y=b.desktop;\n",
         "[Default Applications]\ntext/plain=a.desktop\napplication/x-lockwell-encrypted=lockwell.desktop\n\n"
         "[Added Associations]\nx/y=b.desktop;\n"},
        {"foreign default replaced",
         "[Default Applications]\napplication/x-lockwell-encrypted = other.desktop\nz/z=c.desktop\n",
         "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\nz/z=c.desktop\n"},
        {"CRLF kept", "[Default Applications]\r\ntext/plain=a.desktop\r\n",
         "[Default Applications]\r\ntext/plain=a.desktop\r\napplication/x-lockwell-encrypted=lockwell.desktop\r\n"},
        {"similar key untouched", "[Default Applications]\napplication/x-lockwell-encrypted-old=x.desktop\n",
         "[Default "
         "Applications]\napplication/x-lockwell-encrypted-old=x.desktop\napplication/"
         "x-lockwell-encrypted=lockwell.desktop\n"},
        {"key in another group untouched",
         "[Removed Associations]\napplication/x-lockwell-encrypted=lockwell.desktop;\n",
         "[Removed Associations]\napplication/x-lockwell-encrypted=lockwell.desktop;\n"
         "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SetDefaultApplication(row.before, kType, kId), row.after) << row.name;
}

TEST(ShellEntriesMimeApps, RemoveTakesOnlyOurIdOut)
{
    const TSetRow rows[] = {
        {"only ours", "[Default Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n", ""},
        {"list keeps the others",
         "[Added Associations]\napplication/x-lockwell-encrypted=a.desktop;lockwell.desktop;b.desktop;\n",
         "[Added Associations]\napplication/x-lockwell-encrypted=a.desktop;b.desktop;\n"},
        {"no trailing semicolon",
         "[Added Associations]\napplication/x-lockwell-encrypted = lockwell.desktop;a.desktop\n",
         "[Added Associations]\napplication/x-lockwell-encrypted = a.desktop\n"},
        {"foreign default kept", "[Default Applications]\napplication/x-lockwell-encrypted=other.desktop\n",
         "[Default Applications]\napplication/x-lockwell-encrypted=other.desktop\n"},
        {"group with other keys keeps its header",
         "[Default Applications]\r\ntext/plain=a.desktop\r\napplication/x-lockwell-encrypted=lockwell.desktop\r\n",
         "[Default Applications]\r\ntext/plain=a.desktop\r\n"},
        {"emptied group goes, neighbours stay",
         "# c\n[Added Associations]\nx/y=b.desktop;\n[Default "
         "Applications]\napplication/x-lockwell-encrypted=lockwell.desktop\n\n"
         "[Other]\nk=v\n",
         "# c\n[Added Associations]\nx/y=b.desktop;\n[Other]\nk=v\n"},
        {"removed associations untouched",
         "[Removed Associations]\napplication/x-lockwell-encrypted=lockwell.desktop;\n",
         "[Removed Associations]\napplication/x-lockwell-encrypted=lockwell.desktop;\n"},
        {"name that merely contains ours",
         "[Default Applications]\napplication/x-lockwell-encrypted=mylockwell.desktop\n",
         "[Default Applications]\napplication/x-lockwell-encrypted=mylockwell.desktop\n"},
        {"comment that looks like ours", "[Default Applications]\n#application/x-lockwell-encrypted=lockwell.desktop\n",
         "[Default Applications]\n#application/x-lockwell-encrypted=lockwell.desktop\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RemoveApplication(row.before, kType, kId), row.after) << row.name;
}

TEST(ShellEntriesMimeApps, SetThenRemoveGivesTheFileBack)
{
    const char* files[] = {
        "",
        "[Added Associations]\ntext/plain=a.desktop;\n",
        "# only a comment\n",
        "[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\nx/y=b.desktop;\n\n",
        "[Default Applications]\r\nimage/png = eog.desktop\r\n\r\n",
        "[Default Applications]\n[Added Associations]\nx/y=b.desktop;\n",
    };
    for (const char* file : files) {
        const std::string set = SetDefaultApplication(file, kType, kId);
        EXPECT_NE(set, file);
        EXPECT_EQ(SetDefaultApplication(set, kType, kId), set) << "twice: " << file;
        const std::string removed = RemoveApplication(set, kType, kId);
        // An empty group that was there before is the one thing removal may also take.
        if (std::string(file).find("[Default Applications]\n[") == std::string::npos)
            EXPECT_EQ(removed, file);
        else
            EXPECT_EQ(removed, "[Added Associations]\nx/y=b.desktop;\n");
    }
}

TEST(ShellEntriesMimeApps, BlankText)
{
    EXPECT_TRUE(lw::IsBlankText(""));
    EXPECT_TRUE(lw::IsBlankText("\n \r\n\t"));
    EXPECT_FALSE(lw::IsBlankText("#\n"));
}

} // namespace
