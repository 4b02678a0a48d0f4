#include "window/BaseWindow.h"
#include "window/PopupMenu.h"

#include "tests/support/MessageWait.h"

#include <gtest/gtest.h>

#include <string>

namespace {

UINT TypeAt(HMENU menu, int position)
{
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
    return info.fType;
}

std::string TextAt(HMENU menu, int position)
{
    char text[64] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

TEST(PopupMenu, TheItemsHangUnderTheRootAsSubmenuZero)
{
    PopupMenu popup;
    ASSERT_NE(popup.menu, nullptr);
    ASSERT_NE(popup.root, nullptr);
    EXPECT_EQ(GetMenuItemCount(popup.root), 1);
    EXPECT_EQ(TextAt(popup.root, 0), "Null");
    EXPECT_EQ(GetSubMenu(popup.root, 0), popup.menu);
    EXPECT_EQ(popup.itemInfo.cbSize, sizeof(MENUITEMINFOA));
}

TEST(PopupMenu, AnEmptyTextGivesASeparator)
{
    PopupMenu popup;
    popup.AppendItem("&Use Voxlume", 10);
    popup.AppendItem("", 0);
    popup.AppendItem("&Exit", 11);
    popup.AppendSeparator();

    ASSERT_EQ(GetMenuItemCount(popup.menu), 4);
    struct Expected {
        UINT type;
        UINT id;
        const char* text;
    };
    const Expected expected[] = {
        {MFT_STRING, 10, "&Use Voxlume"},
        {MFT_SEPARATOR, 0, ""},
        {MFT_STRING, 11, "&Exit"},
        {MFT_SEPARATOR, 0, ""},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(TypeAt(popup.menu, i) & MFT_SEPARATOR, expected[i].type);
        if (expected[i].type == MFT_STRING) {
            EXPECT_EQ(GetMenuItemID(popup.menu, i), expected[i].id);
            EXPECT_EQ(TextAt(popup.menu, i), expected[i].text);
        }
    }
}

TEST(PopupMenu, CheckSetsAndClearsTheMark)
{
    PopupMenu popup;
    popup.AppendItem("&Use Voxlume", 10);
    popup.AppendItem("&Exit", 11);
    popup.Check(10, true);
    EXPECT_TRUE(GetMenuState(popup.menu, 10, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(popup.menu, 11, MF_BYCOMMAND) & MF_CHECKED);
    popup.Check(10, false);
    EXPECT_FALSE(GetMenuState(popup.menu, 10, MF_BYCOMMAND) & MF_CHECKED);
}

TEST(PopupMenu, BothNativeMenusAreFreed)
{
    HMENU items = nullptr;
    HMENU root = nullptr;
    {
        PopupMenu popup;
        popup.AppendItem("&Exit", 11);
        items = popup.menu;
        root = popup.root;
        ASSERT_TRUE(IsMenu(items));
        ASSERT_TRUE(IsMenu(root));
    }
    EXPECT_FALSE(IsMenu(items));
    EXPECT_FALSE(IsMenu(root));
}

TEST(Menu, APlainMenuOwnsWhatItIsGiven)
{
    HMENU native = CreatePopupMenu();
    {
        Menu menu;
        EXPECT_EQ(menu.menu, nullptr);
        menu.menu = native;
        menu.AppendItem("one", 1);
        menu.AppendItem(nullptr, 2);
        EXPECT_EQ(GetMenuItemCount(native), 2);
        EXPECT_EQ(TypeAt(native, 1) & MFT_SEPARATOR, UINT{MFT_SEPARATOR});
    }
    EXPECT_FALSE(IsMenu(native));
}

// Track runs its own modal loop, which reads the keys already queued.
class Tracked : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.RegisterWindowClass("QbMenuOwner", nullptr, 0);
        ASSERT_TRUE(owner.Create());
        owner.SetBounds(100, 100, 300, 200);
        ShowWindow(owner.window, SW_SHOW);
        SetForegroundWindow(owner.window);
        PumpPending();
        popup.AppendItem("&Use Voxlume", 10);
        popup.AppendItem("", 0);
        popup.AppendItem("&Exit", 11);
    }

    void Press(UINT key)
    {
        PostMessageA(owner.window, WM_KEYDOWN, key, 1);
        PostMessageA(owner.window, WM_KEYUP, key, 0xC0000001);
    }

    BaseWindow owner;
    PopupMenu popup;
};

TEST_F(Tracked, EscapeDismissesWithZero)
{
    Press(VK_ESCAPE);
    EXPECT_EQ(popup.Track(150, 150, owner.window), 0u);
}

TEST_F(Tracked, AChosenItemReturnsItsIdAndSkipsTheSeparator)
{
    Press(VK_DOWN);
    Press(VK_DOWN);
    Press(VK_RETURN);
    EXPECT_EQ(popup.Track(150, 150, owner.window), 11u);
}

}  // namespace
