#include "window/BaseWindow.h"

#include <atomic>
#include <cstring>

namespace {

constexpr DWORD ChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr int TextLimit = 1024;           // window texts are read into this many bytes
constexpr int DescriptionLimit = 1024;    // wsprintfA never writes more
constexpr UINT LongestDroppedPath = 32767;

BaseWindow* ObjectOf(HWND hwnd)
{
    return reinterpret_cast<BaseWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

RECT WindowRectOf(HWND hwnd)
{
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

}  // namespace

BaseWindow::BaseWindow()
    : toolInfo(), className(), backColor(GetSysColor(COLOR_BTNFACE)), textColor(0xFFFFFF)
{
}

BaseWindow::~BaseWindow() { Destroy(); }

void BaseWindow::Destroy()
{
    if (toolTip != nullptr)
        DestroyWindow(toolTip);
    if (window != nullptr)
        DestroyWindow(window);
    toolTip = nullptr;
    window = nullptr;
}

bool BaseWindow::CreateTopLevelWindow()
{
    Destroy();
    HWND created = CreateWindowExA(0, className, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr),
                                   static_cast<BaseWindow*>(this));
    window = created;
    return created != nullptr;
}

bool BaseWindow::Create() { return CreateTopLevelWindow(); }

bool BaseWindow::CreateChild(HWND parent)
{
    return CreateChild(parent, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
}

bool BaseWindow::CreateChild(HWND parent, int x, int y, int width, int height)
{
    Destroy();
    if (className[0] == '\0')
        RegisterWindowClass("BaseWindowPane", nullptr, 0);
    HWND created = CreateWindowExA(0, className, "", ChildStyle, x, y, width, height, parent, nullptr,
                                   GetModuleHandleA(nullptr), static_cast<BaseWindow*>(this));
    window = created;
    return created != nullptr;
}

bool BaseWindow::HasFocus() { return GetFocus() == window; }
bool BaseWindow::IsVisible() { return IsWindowVisible(window) != FALSE; }
bool BaseWindow::IsEnabled() { return IsWindowEnabled(window) != FALSE; }

int BaseWindow::GetWidth()
{
    RECT rect = WindowRectOf(window);
    return rect.right - rect.left;
}

int BaseWindow::GetHeight()
{
    RECT rect = WindowRectOf(window);
    return rect.bottom - rect.top;
}

int BaseWindow::GetStyle() { return static_cast<int>(GetWindowLongA(window, GWL_STYLE)); }
int BaseWindow::GetExStyle() { return static_cast<int>(GetWindowLongA(window, GWL_EXSTYLE)); }

std::string BaseWindow::GetText() { return ReadText(); }

std::string BaseWindow::ReadText()
{
    // Asked about a handle that is no window, the system may answer with a
    // length and leave junk in the buffer: such a window has no text.
    if (!IsWindow(window))
        return std::string();
    char buffer[TextLimit] = {};
    int length = GetWindowTextA(window, buffer, TextLimit);
    if (length <= 0)
        return std::string();
    return std::string(buffer, strnlen(buffer, static_cast<size_t>(length < TextLimit ? length : TextLimit - 1)));
}

HWND BaseWindow::GetHandle(int itemId) { return itemId != 0 ? GetDlgItem(window, itemId) : window; }

int BaseWindow::GetX()
{
    RECT own = WindowRectOf(window);
    HWND parent = GetParent(window);
    return parent != nullptr ? own.left - WindowRectOf(parent).left : own.left;
}

int BaseWindow::GetY()
{
    RECT own = WindowRectOf(window);
    HWND parent = GetParent(window);
    return parent != nullptr ? own.top - WindowRectOf(parent).top : own.top;
}

void BaseWindow::SetText(const char* text) { SetWindowTextA(window, text); }
void BaseWindow::SetId(int id) { SetWindowLongA(window, GWL_ID, id); }
void BaseWindow::SetFocus() { ::SetFocus(window); }
void BaseWindow::SetCaption(const char* text) { SetText(text); }
void BaseWindow::SetExStyle(int exStyle) { SetWindowLongA(window, GWL_EXSTYLE, exStyle); }
void BaseWindow::SetStyle(int style) { SetWindowLongA(window, GWL_STYLE, style); }

void BaseWindow::SetFontSize(int size)
{
    fontSize = size;
    Invalidate(nullptr, false);
}

void BaseWindow::Enable(bool on) { EnableWindow(window, on ? TRUE : FALSE); }

void BaseWindow::SetBackColor(COLORREF colour)
{
    backColor = colour;
    Invalidate(nullptr, false);
}

void BaseWindow::SetTextColor(COLORREF colour)
{
    textColor = colour;
    Invalidate(nullptr, false);
}

void BaseWindow::SetPosition(int x, int y) { SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE); }

void BaseWindow::SetBounds(int x, int y, int width, int height)
{
    MoveWindow(window, x, y, width, height, TRUE);
    UpdateToolRect();
}

void BaseWindow::SetSize(int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    UpdateToolRect();
}

void BaseWindow::UpdateToolRect()
{
    if (toolTip == nullptr)
        return;
    GetClientRect(window, &toolInfo.rect);
    SendMessageA(toolTip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&toolInfo));
}

void BaseWindow::SetToolTip(const char* text)
{
    if (text == nullptr || text[0] == '\0')
        return;
    if (toolTip != nullptr) {
        DestroyWindow(toolTip);
        toolTip = nullptr;
    }
    DWORD exStyle = IsNtPlatform() ? WS_EX_TOPMOST : 0;
    toolTip = CreateWindowExA(exStyle, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_NOANIMATE | TTS_BALLOON,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (toolTip == nullptr)
        return;

    toolInfo = TOOLINFOA();
    toolInfo.cbSize = sizeof(toolInfo);
    toolInfo.uFlags = TTF_SUBCLASS;
    toolInfo.hwnd = window;
    toolInfo.uId = 0;
    GetClientRect(window, &toolInfo.rect);
    // The control copies the text when the tool is added.
    toolInfo.lpszText = const_cast<char*>(text);
    SendMessageA(toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&toolInfo));
    toolInfo.lpszText = nullptr;
    SendMessageA(toolTip, TTM_SETMAXTIPWIDTH, 0, 320);
    SendMessageA(toolTip, TTM_SETDELAYTIME, TTDT_RESHOW, 10);
    SendMessageA(toolTip, TTM_SETDELAYTIME, TTDT_INITIAL, 360);
}

void BaseWindow::OnCommand(WPARAM wParam, LPARAM lParam) { DefaultProc(window, WM_COMMAND, wParam, lParam); }

void BaseWindow::Refresh()
{
    if (window != nullptr)
        UpdateWindow(window);
}

void BaseWindow::Invalidate(const RECT* rect, bool erase)
{
    if (window != nullptr)
        InvalidateRect(window, rect, erase ? TRUE : FALSE);
}

void BaseWindow::BringToTop()
{
    if (window != nullptr)
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void BaseWindow::CenterOnParent()
{
    if (window == nullptr)
        return;
    RECT own = WindowRectOf(window);
    int width = own.right - own.left;
    int height = own.bottom - own.top;

    // Centre within the area the window's coordinates refer to: a child is
    // placed in its parent's client area, a top-level window on the screen
    // over its owner (or over the desktop). Halving the parent's right edge
    // alone would throw a child out of any parent away from the origin.
    HWND parent = GetParent(window);
    bool child = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT area{};
    if (child && parent != nullptr)
        GetClientRect(parent, &area);
    else
        area = WindowRectOf(parent != nullptr ? parent : GetDesktopWindow());

    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
}

std::string BaseWindow::DescribedClassName()
{
    if (className[0] == '\0' && window != nullptr)
        GetClassNameA(window, className, sizeof(className));
    return className;
}

std::string BaseWindow::DescribeLine()
{
    std::string name = DescribedClassName();
    std::string text = GetText();
    char buffer[DescriptionLimit] = {};
    wsprintfA(buffer, "%s, %d, %d, %d, %d, %d, %d, %d, %s", name.c_str(), GetStyle(), GetX(), GetY(), GetWidth(),
              GetHeight(), static_cast<int>(textColor), static_cast<int>(backColor), text.c_str());
    return buffer;
}

std::string BaseWindow::DescribeXml()
{
    std::string name = DescribedClassName();
    std::string text = GetText();
    char buffer[DescriptionLimit] = {};
    wsprintfA(buffer,
              "<Component Class=\"%s\" X=\"%d\" Y=\"%d\" Width=\"%d\" Height=\"%d\" TextColor=\"%d\" "
              "BackColor=\"%d\" Text=\"%s\" />",
              name.c_str(), GetX(), GetY(), GetWidth(), GetHeight(), static_cast<int>(textColor),
              static_cast<int>(backColor), text.c_str());
    return buffer;
}

LRESULT BaseWindow::NotifyParent(int code)
{
    NMHDR header{};
    header.hwndFrom = window;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window));
    header.code = static_cast<UINT>(code);
    return SendMessageA(GetParent(window), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

bool BaseWindow::OnClose()
{
    Destroy();
    return true;
}

bool BaseWindow::OnCreate() { return false; }

LRESULT BaseWindow::OnCreateDefault(LPARAM lParam) { return DefaultProc(window, WM_CREATE, 0, lParam); }

LRESULT BaseWindow::OnNotify(WPARAM wParam, LPARAM lParam) { return DefaultProc(window, WM_NOTIFY, wParam, lParam); }

LRESULT BaseWindow::OnSize(WPARAM sizeType, LPARAM lParam) { return DefaultProc(window, WM_SIZE, sizeType, lParam); }

bool BaseWindow::OnTimer(WPARAM, LPARAM) { return false; }

bool BaseWindow::ReservedHook() { return false; }

bool BaseWindow::OnDropFiles(const std::vector<std::string>&) { return false; }

bool BaseWindow::HandleDropFiles(HDROP drop)
{
    std::vector<std::string> paths;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        // Ask for the length first, so that a long path arrives whole.
        UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length > LongestDroppedPath)
            length = LongestDroppedPath;
        std::string path(length + 1, '\0');
        UINT copied = DragQueryFileA(drop, i, &path[0], length + 1);
        path.resize(copied <= length ? copied : length);
        paths.push_back(std::move(path));
    }
    DragFinish(drop);
    return OnDropFiles(paths);
}

ATOM BaseWindow::RegisterWindowClass(const char* name, const char* menuName, UINT classStyle)
{
    if (className[0] != '\0' || name == nullptr)
        return 0;

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = BaseWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = menuName;

    // The first name wins, even when the class exists already (registered
    // by another object): creation by name works all the same.
    lstrcpynA(className, name, sizeof(className));
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass);
}

LRESULT BaseWindow::DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK BaseWindow::BaseWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    BaseWindow* object = ObjectOf(hwnd);
    if (object == nullptr && (message == WM_NCCREATE || message == WM_CREATE)) {
        auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        object = create != nullptr ? static_cast<BaseWindow*>(create->lpCreateParams) : nullptr;
        if (object != nullptr) {
            // `window` first: every hook from here on, OnCreate included, sees it.
            object->window = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        }
    }
    if (object == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return object->OnCreate() ? 0 : object->OnCreateDefault(lParam);
    case WM_SIZE:
        object->OnSize(wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (!object->OnClose())
            return 0;
        if (object->window != nullptr)
            object->Destroy();
        break;
    case WM_COMMAND:
        object->OnCommand(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (object->OnTimer(wParam, lParam))
            return 0;
        break;
    case WM_DROPFILES:
        if (object->HandleDropFiles(reinterpret_cast<HDROP>(wParam)))
            return 0;
        break;
    default:
        break;
    }

    LRESULT result = object->DefaultProc(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY && object->window == hwnd) {
        object->window = nullptr;
        // The tooltip is owned by this window and goes with it; forget it so
        // that a later Destroy() cannot hit a dead (or reused) handle.
        object->toolTip = nullptr;
    } else if (message == WM_NCDESTROY) {
        // Nothing may reach the object through this window any more.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    }
    return result;
}

bool IsNtPlatform()
{
    // 0: not yet known, 1: false, 2: true.
    static std::atomic<int> known{0};
    int state = known.load();
    if (state == 0) {
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
            info = OSVERSIONINFOEXA();
            info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
            GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
        }
        state = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 2;
        known.store(state);
    }
    return state == 2;
}
