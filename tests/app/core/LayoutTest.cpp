#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/core/Layout.h"
#include "app/core/WindowThread.h"

namespace lw {
namespace {

bool Inside(const TRect& inner, const TRect& outer)
{
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

bool Overlap(const TRect& a, const TRect& b)
{
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TEST(WindowLayoutTable, EveryControlInsideTheWindowAndItsGroup)
{
    const auto rows = ControlRows();
    const TRect client{0, 0, kClientWidth, kClientHeight};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].Name);
        const TRect r = ClientRect(static_cast<int>(i));
        EXPECT_TRUE(Inside(r, client));
        if (rows[i].Parent >= 0) {
            const TRect group = ClientRect(rows[i].Parent);
            EXPECT_TRUE(Inside(r, group));
            // Below the group's caption line, which takes the top 13 pixels.
            EXPECT_GE(r.Top, group.Top + 13);
        }
    }
}

// Group boxes surround their items; nothing else may lie on top of another control.
TEST(WindowLayoutTable, NoControlsOverlapButGroupsAndTheirItems)
{
    const auto rows = ControlRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = i + 1; j < rows.size(); ++j) {
            if (rows[j].Parent == static_cast<int>(i) || rows[i].Parent == static_cast<int>(j))
                continue;
            SCOPED_TRACE(std::string(rows[i].Name) + " and " + rows[j].Name);
            EXPECT_FALSE(Overlap(ClientRect(static_cast<int>(i)), ClientRect(static_cast<int>(j))));
        }
    }
}

struct THintCase {
    const char* Over; // a control's centre, or "" for the point given
    int X, Y;
    const char* Hint;
};

const THintCase kHintCases[] = {
    {"compbox", 0, 0, "File options"}, // an item has none: its group box's
    {"copybox", 0, 0, "File options"},
    {"", 14, 310, "File options"}, // the group box's own frame
    {"label2", 0, 0, "Selected source file"},
    {"Label3", 0, 0, "Folder for destination file"},
    {"Edit1", 0, 0, "Use a phrase of up to 32 characters"},
    {"folders", 0, 0, "Saved destination folders"},
    {"Button2", 0, 0, "Securely delete selected file"},
    {"Button1", 0, 0, ""}, // no hint anywhere up the chain
    {"Serpent", 0, 0, ""},
    {"Label1", 0, 0, ""},
    {"Panel1", 0, 0, ""},
    {"", 2, 2, ""}, // the bare window
    {"", 320, 330, ""},
};

TEST(WindowLayoutTable, HintUnderAPoint)
{
    const auto rows = ControlRows();
    for (const THintCase& c : kHintCases) {
        SCOPED_TRACE(*c.Over ? c.Over : "point");
        int x = c.X, y = c.Y;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (std::string(rows[i].Name) == c.Over) {
                const TRect r = ClientRect(static_cast<int>(i));
                x = (r.Left + r.Right) / 2;
                y = (r.Top + r.Bottom) / 2;
            }
        }
        EXPECT_EQ(HintAt(x, y), c.Hint);
    }
}

TEST(WindowLayoutTable, RowsOfTheSharedWindowsControls)
{
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const auto control = static_cast<TControl>(i);
        const int row = RowOf(control);
        ASSERT_GE(row, 0);
        EXPECT_EQ(ControlRows()[static_cast<std::size_t>(row)].Control, control);
    }
}

// A face whose posted calls come up when the test pumps them.
class TPumpedThread final : public THoldableWindowThread {
public:
    void Post(std::function<void()> call) override { m_posted.push_back(std::move(call)); }
    void Pump()
    {
        while (!m_posted.empty()) {
            auto call = std::move(m_posted.front());
            m_posted.pop_front();
            Run(std::move(call));
        }
    }

private:
    std::deque<std::function<void()>> m_posted;
};

// A question of the window's own holds the job's calls, which then run in order.
TEST(WindowThread, HeldCallsWaitInOrderUntilReleased)
{
    TPumpedThread thread;
    std::vector<int> ran;
    thread.Post([&] { ran.push_back(1); }); // queued before the hold: waits too
    thread.Hold();
    thread.Post([&] { ran.push_back(2); });
    thread.Pump();
    EXPECT_TRUE(ran.empty());
    thread.Release();
    thread.Post([&] { ran.push_back(3); });
    thread.Pump();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

// The first accent that reads on the background (3 to 1 at least), else the text colour.
TEST(WindowLayoutTable, ReadableAccent)
{
    const TRgb light{0xef, 0xef, 0xef}, dark{0x35, 0x35, 0x35}, white{0xff, 0xff, 0xff}, black{0, 0, 0};
    const TRgb highlight{0x30, 0x8c, 0xc6}, navy{0x1d, 0x4f, 0x8c}, sky{0x8a, 0xb4, 0xf8}, pale{0x99, 0xb4, 0xd1};
    const struct {
        std::vector<TRgb> candidates;
        TRgb background, text, chosen;
    } rows[] = {
        {{highlight, sky}, light, black, highlight}, // a light scheme: as designed
        {{navy, sky}, dark, white, sky},             // dark blue on dark grey does not read
        {{pale, navy}, light, black, navy},          // a pale caption colour on a light face
        {{navy, navy}, dark, white, white},          // nothing reads: the text colour
        {{}, light, black, black},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ReadableAccent(row.candidates, row.background, row.text), row.chosen);
}

} // namespace
} // namespace lw
