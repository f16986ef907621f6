#include <gtest/gtest.h>

#include "desktop/linux/ThunarActions.h"

using lw::MergeThunarAction;
using lw::RemoveThunarAction;

namespace {

const std::string kId = "lockwell-run-lockwell";
const std::string kOurs =
    "<action>\n\t<name>Run Lockwell</name>\n\t<unique-id>lockwell-run-lockwell</unique-id>\n"
    "\t<command>'/opt/lw' %f</command>\n</action>";
const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kForeign =
    "<action>\n\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
    "\t<name xml:lang=\"fr\">Ouvrir un terminal ici \xc3\xa9</name>\n"
    "\t<unique-id>1-1</unique-id>\n\t<command>exo-open %f &amp;&amp; true</command>\n"
    "\t<patterns><![CDATA[*]]></patterns>\n\t<directories/>\n</action>";

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(ShellEntriesThunar, AppendsBeforeTheEndAndRemovesToTheSameBytes)
{
    const std::string files[] = {
        kHead + "<actions>\n" + kForeign + "\n</actions>\n",
        kHead + "<!-- <action><unique-id>lockwell-run-lockwell</unique-id></action> -->\n<actions>\n" + kForeign +
            "\n  </actions>",
        kHead + "<actions>" + kForeign + "</actions>",
        kHead + "<actions>\n</actions>\n",
        "<actions>\r\n" + kForeign + "\r\n</actions>\r\n",
    };
    for (const std::string& file : files) {
        const auto merged = MergeThunarAction(file, kId, kOurs);
        ASSERT_TRUE(merged) << file;
        EXPECT_EQ(Count(*merged, kOurs), 1u) << *merged;
        EXPECT_EQ(Count(*merged, "Open Terminal Here"), Count(file, "Open Terminal Here"));
        // Foreign text before the insertion point (and a line break we may add) is untouched.
        const size_t at = merged->find(kOurs) - 1;
        EXPECT_EQ(merged->substr(0, at), file.substr(0, at));
        EXPECT_EQ(MergeThunarAction(*merged, kId, kOurs), merged) << "second merge";
        EXPECT_EQ(RemoveThunarAction(*merged, kId), file);
    }
}

TEST(ShellEntriesThunar, ReplacesOursInPlaceAndDropsCopies)
{
    const std::string old = "<action><unique-id> lockwell-run-lockwell </unique-id><command>/old %f</command></action>";
    const std::string file = kHead + "<actions>\n" + old + "\n" + kForeign + "\n" + old + "\n</actions>\n";
    const auto merged = MergeThunarAction(file, kId, kOurs);
    ASSERT_TRUE(merged);
    EXPECT_EQ(*merged, kHead + "<actions>\n" + kOurs + "\n" + kForeign + "\n</actions>\n");
    EXPECT_EQ(RemoveThunarAction(file, kId), kHead + "<actions>\n" + kForeign + "\n</actions>\n");
}

TEST(ShellEntriesThunar, EmptyRootElement)
{
    const auto merged = MergeThunarAction(kHead + "<actions/>\n", kId, kOurs);
    ASSERT_TRUE(merged);
    EXPECT_EQ(*merged, kHead + "<actions>\n" + kOurs + "\n</actions>\n");
    EXPECT_TRUE(lw::IsEmptyThunarActions(*RemoveThunarAction(*merged, kId)));
}

TEST(ShellEntriesThunar, RefusesWhatItCannotEditSafely)
{
    const std::string bad[] = {
        "",
        kHead + "<actions>\n<action><name>x</action>\n</actions>\n", // mismatched tags
        kHead + "<actions>\n" + kForeign + "\n",                     // cut short
        kHead + "<menu>\n</menu>\n",                                 // not an action list
        kHead + "<actions><name>&nbsp;</name></actions>",            // undefined entity
        kHead + "<actions><name>\xff</name></actions>",              // not UTF-8
        kHead + "<actions/><actions/>",
    };
    for (const std::string& file : bad) {
        EXPECT_FALSE(MergeThunarAction(file, kId, kOurs)) << file;
        EXPECT_FALSE(RemoveThunarAction(file, kId)) << file;
    }
}

TEST(ShellEntriesThunar, NewFileAndEmptyList)
{
    const std::string file = lw::NewThunarActions(kOurs);
    EXPECT_EQ(file, kHead + "<actions>\n" + kOurs + "\n</actions>\n");
    EXPECT_FALSE(lw::IsEmptyThunarActions(file));
    const auto removed = RemoveThunarAction(file, kId);
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, kHead + "<actions>\n</actions>\n");
    EXPECT_TRUE(lw::IsEmptyThunarActions(*removed));
    EXPECT_FALSE(lw::IsEmptyThunarActions(kHead + "<actions>\n<foo/>\n</actions>\n"));
    EXPECT_FALSE(lw::IsEmptyThunarActions("<actions>"));
}

} // namespace
