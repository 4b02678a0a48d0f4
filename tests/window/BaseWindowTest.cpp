#include "window/BaseWindow.h"

#include "tests/support/MessageWait.h"
#include "tests/window/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Records what reaches each hook; the switches choose the hooks' answers.
class Probe : public BaseWindow {
public:
    bool OnCreate() override
    {
        windowAtCreate = window;
        ++creates;
        return true;
    }
    LRESULT OnSize(WPARAM sizeType, LPARAM lParam) override
    {
        sizes.push_back({sizeType, lParam});
        return 99;  // the procedure answers 0 whatever the hook says
    }
    void OnCommand(WPARAM wParam, LPARAM) override { commands.push_back(LOWORD(wParam)); }
    bool OnTimer(WPARAM timerId, LPARAM) override
    {
        timers.push_back(timerId);
        return handleTimers;
    }
    bool OnClose() override
    {
        ++closes;
        return allowClose ? BaseWindow::OnClose() : false;
    }
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        if (message == WM_DESTROY)
            windowAtDestroy = window;
        if (message == WM_NOTIFY) {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            notified.push_back(*header);
            return 1234;
        }
        return BaseWindow::DefaultProc(hwnd, message, wParam, lParam);
    }

    bool Saw(UINT message) const { return std::find(messages.begin(), messages.end(), message) != messages.end(); }

    HWND windowAtCreate = nullptr;
    HWND windowAtDestroy = nullptr;
    int creates = 0;
    int closes = 0;
    bool handleTimers = true;
    bool allowClose = true;
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    std::vector<WORD> commands;
    std::vector<WPARAM> timers;
    std::vector<UINT> messages;
    std::vector<NMHDR> notified;
};

// A Probe placed above the 4 GiB line, where a pointer cut to 32 bits can
// no longer find its object.
class HighProbe {
public:
    HighProbe()
        : memory(VirtualAlloc(nullptr, sizeof(Probe), MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE))
    {
        if (memory != nullptr)
            probe = new (memory) Probe();
    }
    ~HighProbe()
    {
        if (probe != nullptr)
            probe->~Probe();
        if (memory != nullptr)
            VirtualFree(memory, 0, MEM_RELEASE);
    }
    HighProbe(const HighProbe&) = delete;
    HighProbe& operator=(const HighProbe&) = delete;

    void* memory;
    Probe* probe = nullptr;
};

TEST(BaseWindowRouting, HooksSeeTheirMessagesWithTheWindowAlreadySet)
{
    HighProbe high;
    ASSERT_NE(high.probe, nullptr);
    Probe& probe = *high.probe;
    ASSERT_GT(reinterpret_cast<uintptr_t>(&probe), uintptr_t{0xFFFFFFFF}) << "the system gave no memory above 4 GiB";

    probe.RegisterWindowClass("QbRoutingProbe", nullptr, 0);
    ASSERT_TRUE(probe.Create());
    HWND hwnd = probe.window;
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(probe.creates, 1);
    EXPECT_EQ(probe.windowAtCreate, hwnd);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(static_cast<BaseWindow*>(&probe)));

    // The messages that precede WM_NCCREATE never reach the object.
    ASSERT_FALSE(probe.messages.empty());
    EXPECT_EQ(probe.messages.front(), static_cast<UINT>(WM_NCCREATE));

    probe.sizes.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 40)), 0);
    ASSERT_EQ(probe.sizes.size(), 1u);
    EXPECT_EQ(probe.sizes[0].first, WPARAM{SIZE_RESTORED});
    EXPECT_EQ(probe.sizes[0].second, MAKELPARAM(30, 40));

    EXPECT_EQ(SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(11, 0), 0), 0);
    EXPECT_EQ(probe.commands, std::vector<WORD>{11});
    EXPECT_FALSE(probe.Saw(WM_COMMAND));

    // A handled timer stops at the hook; an unhandled one goes on.
    EXPECT_EQ(SendMessageA(hwnd, WM_TIMER, 5, 0), 0);
    EXPECT_FALSE(probe.Saw(WM_TIMER));
    probe.handleTimers = false;
    SendMessageA(hwnd, WM_TIMER, 6, 0);
    EXPECT_TRUE(probe.Saw(WM_TIMER));
    EXPECT_EQ(probe.timers, (std::vector<WPARAM>{5, 6}));

    // A real timer arrives through the queue.
    probe.handleTimers = true;
    SetTimer(hwnd, 77, 10, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return std::count(probe.timers.begin(), probe.timers.end(), 77) > 0; }));
    KillTimer(hwnd, 77);

    // WM_PRINTCLIENT is left to the class's own procedure.
    HDC screen = GetDC(nullptr);
    SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(screen), PRF_CLIENT);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(probe.Saw(WM_PRINTCLIENT));

    // A refused close keeps the window and answers 0.
    probe.allowClose = false;
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(probe.closes, 1);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(probe.window, hwnd);
    EXPECT_FALSE(probe.Saw(WM_CLOSE));

    // An accepted one destroys it; `window` is still set while WM_DESTROY
    // is handled and null afterwards.
    probe.allowClose = true;
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(probe.closes, 2);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(probe.windowAtDestroy, hwnd);
    EXPECT_EQ(probe.window, nullptr);
    EXPECT_TRUE(probe.Saw(WM_NCDESTROY));
}

TEST(BaseWindowRouting, TwoObjectsOnOneClassEachReachTheirOwn)
{
    Probe first;
    Probe second;
    EXPECT_NE(first.RegisterWindowClass("QbSharedClass", nullptr, 0), 0);
    EXPECT_EQ(second.RegisterWindowClass("QbSharedClass", nullptr, CS_DBLCLKS), 0);  // exists already
    EXPECT_STREQ(second.className, "QbSharedClass");
    ASSERT_TRUE(first.Create());
    ASSERT_TRUE(second.Create());

    SendMessageA(first.window, WM_COMMAND, 1, 0);
    SendMessageA(second.window, WM_COMMAND, 2, 0);
    SendMessageA(second.window, WM_COMMAND, 3, 0);
    EXPECT_EQ(first.commands, std::vector<WORD>{1});
    EXPECT_EQ(second.commands, (std::vector<WORD>{2, 3}));
}

TEST(BaseWindowRouting, AWindowWithoutAnObjectIsLeftToTheDefaultProcedure)
{
    Probe owner;
    owner.RegisterWindowClass("QbOrphanClass", nullptr, 0);
    ASSERT_TRUE(owner.Create());
    size_t seen = owner.messages.size();

    HWND orphan = CreateWindowExA(0, "QbOrphanClass", "orphan", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(orphan, GWLP_USERDATA), 0);
    SendMessageA(orphan, WM_COMMAND, 9, 0);
    SendMessageA(orphan, WM_SIZE, 0, 0);
    EXPECT_TRUE(DestroyWindow(orphan));
    EXPECT_EQ(owner.messages.size(), seen);
    EXPECT_TRUE(owner.commands.empty());
}

TEST(BaseWindowRouting, ChildrenLoseTheirWindowWithTheParent)
{
    Probe parent;
    Probe child;
    parent.RegisterWindowClass("QbParentClass", nullptr, 0);
    ASSERT_TRUE(parent.Create());
    ASSERT_TRUE(child.CreateChild(parent.window, 5, 6, 70, 80));
    EXPECT_STREQ(child.className, "BaseWindowPane");
    EXPECT_EQ(child.windowAtCreate, child.window);
    EXPECT_EQ(GetParent(child.window), parent.window);
    EXPECT_EQ(child.GetStyle() & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);

    parent.Destroy();
    EXPECT_EQ(parent.window, nullptr);
    EXPECT_EQ(child.window, nullptr);
    EXPECT_TRUE(child.Saw(WM_DESTROY));
}

TEST(BaseWindowRouting, NotifyParentReachesTheParentAndReturnsItsAnswer)
{
    Probe parent;
    Probe child;
    parent.RegisterWindowClass("QbNotifyParent", nullptr, 0);
    ASSERT_TRUE(parent.Create());
    ASSERT_TRUE(child.CreateChild(parent.window, 0, 0, 10, 10));
    child.SetId(42);

    EXPECT_EQ(child.NotifyParent(-101), 1234);
    ASSERT_EQ(parent.notified.size(), 1u);
    EXPECT_EQ(parent.notified[0].hwndFrom, child.window);
    EXPECT_EQ(parent.notified[0].idFrom, 42u);
    EXPECT_EQ(static_cast<int>(parent.notified[0].code), -101);
}

TEST(BaseWindow, FirstRegisteredNameWins)
{
    Probe probe;
    EXPECT_NE(probe.RegisterWindowClass("QbFirstName", nullptr, 0), 0);
    EXPECT_EQ(probe.RegisterWindowClass("QbSecondName", nullptr, 0), 0);
    EXPECT_STREQ(probe.className, "QbFirstName");
    ASSERT_TRUE(probe.Create());
    char native[64] = {};
    GetClassNameA(probe.window, native, sizeof(native));
    EXPECT_STREQ(native, "QbFirstName");
}

TEST(BaseWindow, SecondCreateReplacesTheFirstWindow)
{
    Probe probe;
    probe.RegisterWindowClass("QbRecreate", nullptr, 0);
    ASSERT_TRUE(probe.Create());
    HWND first = probe.window;
    ASSERT_TRUE(probe.Create());
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(probe.window));
    EXPECT_NE(probe.window, first);
}

TEST(BaseWindow, WrappersReadAndWriteTheNativeWindow)
{
    Probe probe;
    probe.RegisterWindowClass("QbWrappers", nullptr, 0);
    ASSERT_TRUE(probe.Create());

    std::string longText(2000, 'q');
    probe.SetText(longText.c_str());
    EXPECT_EQ(probe.ReadText(), std::string(1023, 'q'));
    probe.SetCaption("caption");
    EXPECT_EQ(probe.GetText(), "caption");

    // A top-level window reports screen coordinates.
    probe.SetBounds(123, 45, 300, 200);
    EXPECT_EQ(probe.GetX(), 123);
    EXPECT_EQ(probe.GetY(), 45);
    EXPECT_EQ(probe.GetWidth(), 300);
    EXPECT_EQ(probe.GetHeight(), 200);
    probe.SetPosition(130, 50);
    probe.SetSize(310, 210);
    RECT rect = WindowRect(probe.window);
    EXPECT_EQ(rect.left, 130);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 310);
    EXPECT_EQ(rect.bottom - rect.top, 210);

    // A child reports its place against the parent's window rectangle.
    Probe child;
    ASSERT_TRUE(child.CreateChild(probe.window, 10, 20, 50, 30));
    POINT client{0, 0};
    ClientToScreen(probe.window, &client);
    EXPECT_EQ(child.GetX(), client.x - rect.left + 10);
    EXPECT_EQ(child.GetY(), client.y - rect.top + 20);
    EXPECT_EQ(child.GetHandle(0), child.window);
    child.SetId(7);
    EXPECT_EQ(probe.GetHandle(7), child.window);
}

TEST(BaseWindow, ToolTipFollowsTheClientArea)
{
    Probe probe;
    probe.RegisterWindowClass("QbToolTip", nullptr, 0);
    ASSERT_TRUE(probe.Create());
    probe.SetToolTip("");
    EXPECT_EQ(probe.toolTip, nullptr);

    probe.SetToolTip("first");
    HWND tip = probe.toolTip;
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(probe.toolInfo.cbSize, sizeof(TOOLINFOA));

    probe.SetToolTip("");  // an empty text leaves the tooltip as it is
    EXPECT_EQ(probe.toolTip, tip);
    EXPECT_TRUE(IsWindow(tip));

    probe.SetBounds(0, 0, 333, 222);
    TOOLINFOA info{};
    info.cbSize = sizeof(info);
    info.hwnd = probe.window;
    info.uId = 0;
    ASSERT_TRUE(SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
    RECT client{};
    GetClientRect(probe.window, &client);
    EXPECT_TRUE(EqualRect(&info.rect, &client));

    probe.SetToolTip("second");  // a new text replaces the control
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_TRUE(IsWindow(probe.toolTip));

    // The control dies with its window; the object forgets it.
    HWND second = probe.toolTip;
    DestroyWindow(probe.window);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(probe.toolTip, nullptr);
}

TEST(BaseWindow, CenterOnParentCentresInTheParentWhereverItIs)
{
    Probe parent;
    parent.RegisterWindowClass("QbCentreParent", nullptr, 0);
    ASSERT_TRUE(parent.Create());
    parent.SetBounds(300, 200, 400, 300);
    Probe child;
    ASSERT_TRUE(child.CreateChild(parent.window, 0, 0, 100, 50));
    child.CenterOnParent();

    RECT client{};
    GetClientRect(parent.window, &client);
    RECT placed = WindowRect(child.window);
    MapWindowPoints(nullptr, parent.window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, (client.right - 100) / 2);
    EXPECT_EQ(placed.top, (client.bottom - 50) / 2);
    EXPECT_EQ(placed.right - placed.left, 100);

    // A top-level window is centred on the screen and shown.
    parent.CenterOnParent();
    RECT screen = WindowRect(GetDesktopWindow());
    RECT frame = WindowRect(parent.window);
    EXPECT_EQ(frame.left, (screen.right - 400) / 2);
    EXPECT_EQ(frame.top, (screen.bottom - 300) / 2);
    EXPECT_TRUE(parent.IsVisible());
}

}  // namespace
