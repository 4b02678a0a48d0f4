#include "app/Quillbrae.h"

#include "update/UpdateRates.h"
#include "window/PopupMenu.h"

#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* const SettingsSection = names::kWidgetSection;

// Tray icon record size: the first-generation layout, whose tip holds 63
// characters, is all the widget needs and every shell accepts it.
constexpr DWORD TrayRecordSize = NOTIFYICONDATAA_V1_SIZE;
constexpr size_t TrayTipLength = 63;

// Shell time-outs tolerated while adding the tray icon at start-up: about
// ten seconds, then the widget runs on and waits for "TaskbarCreated".
constexpr int TrayTimeoutRetries = 8;

}  // namespace

Quillbrae::Quillbrae() : taskbarCreatedMessage(RegisterWindowMessageA("TaskbarCreated"))
{
    ratePane.fontSize = 12;
    ratePane.textColor = 0x000000;
    chartPane.fontSize = 12;
    chartPane.rateList = &ratePane.rates;
    ratePane.announcer = &announcer;
    rateUrl = names::kDefaultRateUrl;
}

Quillbrae::~Quillbrae()
{
    // The worker reads the panes; it must be gone before they are.
    Stop();
    if (trayRemoval.joinable())
        trayRemoval.join();
}

bool Quillbrae::Create()
{
    RegisterWindowClass(names::kMainWindowClass, nullptr, CS_DBLCLKS);
    // The worker starts inside OnCreate and reads the address at once, so it
    // has to be known before the window exists; a worker from an earlier
    // window must not be reading it while it changes.
    Stop();
    ReadRateUrl();
    return CreateTopLevelWindow();
}

bool Quillbrae::OnCreate()
{
    SetExStyle(WS_EX_TOOLWINDOW);
    SetStyle(GetStyle() & ~(WS_CAPTION | WS_SYSMENU));
    AddTrayIcon(IconResource);
    ratePane.CreateChild(window);
    chartPane.CreateChild(window);
    announcer.Voice().OnProblem([target = window] { PostMessageA(target, SpeechProblemMessage, 0, 0); });
    Start();
    LoadPlacement();
    return true;
}

void Quillbrae::ReadRateUrl()
{
    std::vector<char> text(LongestRateUrl + 2, '\0');
    DWORD length = GetPrivateProfileStringA(SettingsSection, names::kRateUrlKey, "", text.data(),
                                            static_cast<DWORD>(text.size()), SettingsFilePath().c_str());
    std::string value(text.data(), length);
    // An empty value or one cut at the buffer's end is no usable address.
    if (value.empty() || length > LongestRateUrl)
        rateUrl = names::kDefaultRateUrl;
    else
        rateUrl = value;
}

void Quillbrae::LoadPlacement()
{
    App::LoadPlacement();

    char text[32] = {};
    DWORD length = GetPrivateProfileStringA(SettingsSection, names::kUpdateTimerKey, "", text, sizeof(text),
                                            SettingsFilePath().c_str());
    uint32_t interval = DefaultUpdateInterval;
    if (length > 0) {
        // Reads like the profile's own integer reader: leading digits, with
        // a sign; text without digits reads as 0 and so as the shortest.
        errno = 0;
        long long value = std::strtoll(text, nullptr, 10);
        if (value < static_cast<long long>(DefaultUpdateInterval))
            interval = ShortestUpdateInterval;
        else if (errno == ERANGE || value > static_cast<long long>(LongestUpdateInterval))
            interval = LongestUpdateInterval;
        else
            interval = static_cast<uint32_t>(value);
    }
    updateInterval = interval;

    HWND ancestor = window;
    for (int i = 0; i < 5; ++i) {
        HWND parent = GetParent(ancestor);
        if (parent == nullptr)
            break;
        ancestor = parent;
    }
    SetWindowPos(ancestor, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Quillbrae::SavePlacement()
{
    App::SavePlacement();
    Stop();

    char text[16];
    std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(updateInterval.load()));
    WritePrivateProfileStringA(SettingsSection, names::kUpdateTimerKey, text, SettingsFilePath().c_str());
    WritePrivateProfileStringA(SettingsSection, names::kRateUrlKey, rateUrl.c_str(), SettingsFilePath().c_str());

    RemoveTrayIcon();
}

void Quillbrae::RemoveTrayIcon()
{
    if (trayIcon.hWnd == nullptr || trayRemoval.joinable())
        return;
    NOTIFYICONDATAA record = trayIcon;
    trayIcon.hWnd = nullptr;  // App::OnClose must not remove it a second time
    trayRemoval = std::thread([record]() mutable { Shell_NotifyIconA(NIM_DELETE, &record); });
}

bool Quillbrae::OnClose()
{
    SavePlacement();
    // The worker is gone, so nothing new is announced: silence the voice
    // and let its thread go.
    announcer.Close();
    return true;
}

void Quillbrae::OnCommand(WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case UseSpeechCommand:
        ratePane.speechEnabled = !ratePane.speechEnabled;
        if (ratePane.speechEnabled) {
            ShowSpeechProblem("");
            announcer.SpeechSwitchedOn();
        } else {
            announcer.SpeechSwitchedOff();
        }
        break;
    case ExitCommand:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

LRESULT Quillbrae::OnSize(WPARAM, LPARAM lParam)
{
    int width = LOWORD(lParam);
    int height = HIWORD(lParam);
    ratePane.SetBounds(0, 0, rateListWidth, height);
    chartPane.SetBounds(rateListWidth, 0, width - rateListWidth, height);
    return 0;
}

void Quillbrae::BeginDrag()
{
    // The move loop wants the press in screen coordinates: the cursor where
    // the button went down, not the pane-relative point of the mouse message.
    DWORD where = GetMessagePos();
    PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, static_cast<LPARAM>(where));
}

LRESULT Quillbrae::DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        HandlePaneNotify(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        BeginDrag();
        return 0;
    case WM_LBUTTONDBLCLK:
        if (GetStyle() & (WS_MAXIMIZE | WS_MINIMIZE))
            ShowWindow(window, SW_SHOWNORMAL);
        else
            ShowWindow(window, SW_SHOWMAXIMIZED);
        return 0;
    case WM_RBUTTONUP:
        ShowPopupMenu();
        return 0;
    case SpeechProblemMessage:
        ShowSpeechProblem(announcer.Voice().Problem());
        return 0;
    default:
        break;
    }
    if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0) {
        // The shell restarted and forgot every icon.
        trayIcon.hWnd = nullptr;
        AddTrayIcon(IconResource);
        return 0;
    }
    return App::DefaultProc(hwnd, message, wParam, lParam);
}

void Quillbrae::HandlePaneNotify(LPARAM header)
{
    const NMHDR* notice = reinterpret_cast<const NMHDR*>(header);
    if (notice == nullptr)
        return;
    switch (notice->code) {
    case static_cast<UINT>(FXRatePane::selectionChanged):
        chartPane.ShowSelectedRate(ratePane);
        chartPane.Invalidate(nullptr, false);
        break;
    case static_cast<UINT>(FXRatePane::selectedRowClicked):
        BeginDrag();
        break;
    default:
        break;
    }
}

bool Quillbrae::OnTrayNotify(LPARAM mouseMessage)
{
    switch (LOWORD(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
        ShowWindow(window, SW_SHOW);
        break;
    case WM_RBUTTONUP:
        // Without the foreground the menu would not close on a click elsewhere.
        SetForegroundWindow(window);
        ShowPopupMenu();
        PostMessageA(window, WM_NULL, 0, 0);
        break;
    default:
        break;
    }
    return true;
}

void Quillbrae::ShowPopupMenu()
{
    PopupMenu menu;
    menu.AppendItem("&Use Voxlume", UseSpeechCommand);
    menu.AppendSeparator();
    menu.AppendItem("&Exit", ExitCommand);
    menu.Check(UseSpeechCommand, ratePane.speechEnabled);
    POINT at{};
    GetCursorPos(&at);
    UINT chosen = menu.Track(at.x, at.y, window);
    OnCommand(chosen, 0);
}

bool Quillbrae::AddTrayIcon(int iconId)
{
    if (trayIcon.hWnd != nullptr)
        Shell_NotifyIconA(NIM_DELETE, &trayIcon);

    std::memset(&trayIcon, 0, sizeof(trayIcon));
    trayIcon.cbSize = TrayRecordSize;
    trayIcon.hWnd = window;
    trayIcon.uID = TrayIconId;
    trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon.uCallbackMessage = TrayCallbackMessage;
    trayIcon.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
    const std::string& tip = ProgramName();
    std::memcpy(trayIcon.szTip, tip.data(), std::min(tip.size(), TrayTipLength));

    if (Shell_NotifyIconA(NIM_ADD, &trayIcon)) {
        Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
        return true;
    }
    // The shell may still be starting (just after log-on): it answers with
    // time-outs for a while. Anything else means there is no tray.
    Sleep(2000);
    for (int attempt = 0; attempt < TrayTimeoutRetries; ++attempt) {
        if (Shell_NotifyIconA(NIM_ADD, &trayIcon))
            return true;
        if (GetLastError() != ERROR_TIMEOUT)
            break;
        if (Shell_NotifyIconA(NIM_MODIFY, &trayIcon))
            return true;
        Sleep(1000);
    }
    trayIcon.hWnd = nullptr;  // no icon shown: nothing to remove at close
    return false;
}

uint32_t Quillbrae::Run()
{
    while (!stopRequested) {
        UpdateRates(ratePane.rates, rateUrl, StopFlag());
        if (stopRequested)
            break;
        ratePane.Refresh();
        chartPane.ShowSelectedRate(ratePane);
        chartPane.Refresh();
        if (WaitForStop(updateInterval))
            break;
    }
    return 0;
}
