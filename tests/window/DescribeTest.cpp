#include "window/BaseWindow.h"

#include "tests/window/WindowTestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class DropTarget : public BaseWindow {
public:
    bool OnDropFiles(const std::vector<std::string>& paths) override
    {
        received = paths;
        // DragFinish has already released the handle's memory.
        handleFreedBeforeHook = GlobalSize(currentDrop) == 0;
        return accept;
    }
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DROPFILES)
            ++unhandledDrops;
        return BaseWindow::DefaultProc(hwnd, message, wParam, lParam);
    }

    HGLOBAL currentDrop = nullptr;
    bool accept = true;
    bool handleFreedBeforeHook = false;
    int unhandledDrops = 0;
    std::vector<std::string> received;
};

// A drop handle as the shell makes it: DROPFILES followed by the zero-ended
// ANSI paths and one more zero, in movable global memory.
HGLOBAL MakeDrop(const std::vector<std::string>& paths)
{
    std::string list;
    for (const std::string& path : paths)
        list += path + '\0';
    list += '\0';
    if (paths.empty())
        list += '\0';  // an empty list is still two zeros
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
    if (memory == nullptr)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size());
    GlobalUnlock(memory);
    return memory;
}

class Described : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.RegisterWindowClass("QbDescribeParent", nullptr, 0);
        ASSERT_TRUE(parent.Create());
        parent.SetBounds(200, 150, 400, 300);
        ASSERT_TRUE(child.CreateChild(parent.window, 10, 20, 120, 40));
        child.SetTextColor(0x00123456);
        child.SetBackColor(0x00FFFFFF);
    }

    // The child's place as the descriptions print it: against the parent's
    // window rectangle, which includes the frame.
    POINT ExpectedChildPlace()
    {
        POINT origin{0, 0};
        ClientToScreen(parent.window, &origin);
        RECT frame = WindowRect(parent.window);
        return POINT{origin.x - frame.left + 10, origin.y - frame.top + 20};
    }

    BaseWindow parent;
    BaseWindow child;
};

TEST_F(Described, LineListsClassStylePlaceSizeColoursAndText)
{
    child.SetText("Rate, list");
    POINT place = ExpectedChildPlace();
    std::string expected = "BaseWindowPane, " + std::to_string(static_cast<int>(GetWindowLongA(child.window, GWL_STYLE))) +
                           ", " + std::to_string(place.x) + ", " + std::to_string(place.y) + ", 120, 40, " +
                           std::to_string(0x123456) + ", 16777215, Rate, list";
    EXPECT_EQ(child.DescribeLine(), expected);
}

TEST_F(Described, XmlHasEveryAttributeInOrderAndTheTextVerbatim)
{
    child.SetText("say \"hi\" <now> & then");
    POINT place = ExpectedChildPlace();
    std::string expected = "<Component Class=\"BaseWindowPane\" X=\"" + std::to_string(place.x) + "\" Y=\"" +
                           std::to_string(place.y) + "\" Width=\"120\" Height=\"40\" TextColor=\"" +
                           std::to_string(0x123456) + "\" BackColor=\"16777215\" Text=\"say \"hi\" <now> & then\" />";
    EXPECT_EQ(child.DescribeXml(), expected);
}

TEST_F(Described, LongTextsAreCutAtTheFormatterLimit)
{
    std::string text(1023, 'x');
    child.SetText(text.c_str());
    std::string line = child.DescribeLine();
    std::string xml = child.DescribeXml();
    EXPECT_LE(line.size(), 1023u);
    EXPECT_LE(xml.size(), 1023u);
    EXPECT_EQ(line.rfind("BaseWindowPane, ", 0), 0u);
    EXPECT_EQ(xml.rfind("<Component Class=\"BaseWindowPane\"", 0), 0u);
}

TEST(Describe, NativeClassNameIsReadAndKeptWhenNoneWasRegistered)
{
    HWND button = CreateWindowExA(0, "BUTTON", "Press", WS_POPUP, 40, 50, 90, 30, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    BaseWindow described;
    described.window = button;  // the object now owns it and destroys it
    std::string line = described.DescribeLine();
    EXPECT_EQ(line.rfind("Button, ", 0), 0u) << line;
    EXPECT_STREQ(described.className, "Button");
    EXPECT_NE(line.find(", 40, 50, 90, 30, 16777215, "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 7), ", Press");
    EXPECT_EQ(described.DescribeXml().rfind("<Component Class=\"Button\" X=\"40\" Y=\"50\"", 0), 0u);
}

TEST(Describe, AnObjectWithoutWindowDescribesNothingButItsColours)
{
    BaseWindow empty;
    std::string back = std::to_string(static_cast<int>(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(empty.DescribeLine(), ", 0, 0, 0, 0, 0, 16777215, " + back + ", ");
    EXPECT_EQ(empty.DescribeXml(), "<Component Class=\"\" X=\"0\" Y=\"0\" Width=\"0\" Height=\"0\" TextColor=\"16777215\" "
                                   "BackColor=\"" + back + "\" Text=\"\" />");
    EXPECT_STREQ(empty.className, "");
}

class Dropped : public ::testing::Test {
protected:
    void SetUp() override
    {
        target.RegisterWindowClass("QbDropTarget", nullptr, 0);
        ASSERT_TRUE(target.Create());
    }

    LRESULT Drop(const std::vector<std::string>& paths)
    {
        target.currentDrop = MakeDrop(paths);
        return SendMessageA(target.window, WM_DROPFILES, reinterpret_cast<WPARAM>(target.currentDrop), 0);
    }

    DropTarget target;
};

TEST_F(Dropped, ThreeFilesArriveInOrderAfterTheHandleIsReleased)
{
    std::vector<std::string> paths = {"C:\\rates\\today.csv", "C:\\with space\\b.txt", "D:\\c"};
    EXPECT_EQ(Drop(paths), 0);
    EXPECT_EQ(target.received, paths);
    EXPECT_TRUE(target.handleFreedBeforeHook);
    EXPECT_EQ(target.unhandledDrops, 0);
}

TEST_F(Dropped, AnUnhandledDropGoesOnToTheDefaultProcedure)
{
    target.accept = false;
    Drop({"C:\\one"});
    EXPECT_EQ(target.received, std::vector<std::string>{"C:\\one"});
    EXPECT_EQ(target.unhandledDrops, 1);
}

TEST_F(Dropped, PathsLongerThanMaxPathArriveWhole)
{
    std::string deep = "C:\\" + std::string(300, 'd') + "\\file.txt";
    Drop({deep, "C:\\short"});
    ASSERT_EQ(target.received.size(), 2u);
    EXPECT_EQ(target.received[0], deep);
    EXPECT_EQ(target.received[1], "C:\\short");
}

}  // namespace
