#include "app/Quillbrae.h"

#include "app/StartWithWindows.h"
#include "base/Clock.h"
#include "base/DpiScale.h"
#include "http/HttpFailure.h"
#include "http/TrustedCertificate.h"
#include "update/RateSources.h"
#include "update/UpdateRates.h"
#include "window/PopupMenu.h"
#include "window/WindowDpi.h"

#include <algorithm>
#include <cstring>
#include <vector>

Quillbrae::Quillbrae()
    : settingsDialog([this](const SettingsValues& values) { ApplySettings(values); },
                     [this] { return OfferedPairs(); }),
      updateNowEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
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
    // The worker reads the panes; it must be gone before they are. Tasks
    // still waiting would find the members gone.
    Stop();
    ui.Close();
}

bool Quillbrae::Create()
{
    RegisterWindowClass(names::kMainWindowClass, nullptr, CS_DBLCLKS);
    // The worker starts inside OnCreate and reads the address at once, so it
    // has to be known before the window exists; a worker from an earlier
    // window must not be reading it while it changes.
    Stop();
    settings.Load(SettingsFilePath());
    TakeSettings();
    LoadSavedHistories();
    return CreateTopLevelWindow();
}

bool Quillbrae::OnCreate()
{
    SetExStyle(WS_EX_TOOLWINDOW);
    SetStyle(GetStyle() & ~(WS_CAPTION | WS_SYSMENU));
    ui.Attach(window);
    tray.SetTip(ProgramName());
    tray.Add(window, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IconResource)));
    ratePane.CreateChild(window);
    chartPane.CreateChild(window);
    // Saved prices show at once, marked stale, with a note if none could be read.
    ShowStatus();
    chartPane.ShowSelectedRate(ratePane);
    announcer.Voice().OnProblem(
        [this] { ui.Post([this] { ShowSpeechProblem(announcer.Voice().Problem()); }); });
    Start();
    LoadPlacement();
    return true;
}

void Quillbrae::TakeSettings()
{
    {
        std::lock_guard<std::mutex> guard(sourceMutex);
        rateUrl = settings.RateAddress(defaultRateUrl);
        wantedPairs = settings.Pairs().Codes();
        historyUrl = settings.Current().historyUrl;
    }
    sourceProblem = IgnoredSourcesText(ParseRateSources(rateUrl));
    rateFormat = settings.Current().rateFormat;
    historySaveMs = settings.Current().historySaveMs;
    ratePane.SetPairFilter(settings.Pairs());
    {
        std::lock_guard<std::mutex> guard(alertsMutex);
        alerts = settings.Alerts();
    }
    ReadTrustedCertificate();
    // A "Proxy" value that is none of the three forms leaves the system's
    // settings in charge, as no value would.
    ProxyConfig proxy;
    proxy.Parse(settings.Current().proxy);
    updater.SetProxy(std::move(proxy));
}

void Quillbrae::ReadTrustedCertificate()
{
    const std::string& path = settings.Current().trustedCertificate;
    updater.SetTrustedCertificate(std::string());
    updater.SetTrustFailure(HttpFailure::kOk);
    if (path.empty())
        return;
    // A file that cannot be read leaves the private feed untrusted, and
    // says so at every cycle rather than falling back to the system's roots
    // alone.
    std::string der;
    bool absolute = (path.size() >= 2 && path[1] == ':') || path[0] == '\\' || path[0] == '/';
    if (::ReadTrustedCertificate(absolute ? path : ProgramDirectory() + path, der) != HttpFailure::kOk)
        updater.SetTrustFailure(HttpFailure::kCertUnreadable);
    else
        updater.SetTrustedCertificate(std::move(der));
}

void Quillbrae::LoadPlacement()
{
    const Settings::Values& values = settings.Current();
    ApplyPlacement(values.placement);
    updateInterval = values.updateInterval;

    ShowWindowLook();
}

void Quillbrae::SavePlacement()
{
    Settings::Values values = settings.Current();
    CurrentPlacement(values.placement);  // as loaded when there is no window
    values.updateInterval = updateInterval.load();
    // A save that fails leaves the old file whole; at close there is no one
    // left to tell.
    settings.Change(values);
    settings.Save();
}

bool Quillbrae::OnClose()
{
    settingsDialog.Close();
    // The worker first: nothing it does may land after the settings are
    // written, and once it is gone nothing new is announced.
    Stop();
    SaveHistoriesNow();
    SavePlacement();
    tray.Remove();
    // Silence the voice and let its thread go.
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
    case StartWithWindowsCommand: {
        StartupEntry entry = WidgetStartupEntry();
        entry.Set(!entry.IsSet());
        break;
    }
    case UpdateNowCommand:
        if (updateNowEvent)
            SetEvent(updateNowEvent.Get());
        break;
    case SettingsCommand:
        OpenSettings();
        break;
    default:
        break;
    }
}

LRESULT Quillbrae::OnSize(WPARAM, LPARAM lParam)
{
    int width = LOWORD(lParam);
    int height = HIWORD(lParam);
    int listWidth = dpi::Scale(rateListWidth, WindowDpi(window));
    ratePane.SetBounds(0, 0, listWidth, height);
    chartPane.SetBounds(listWidth, 0, width - listWidth, height);
    return 0;
}

void Quillbrae::OnDpiChanged(const RECT* suggested)
{
    // The panes read the new DPI as they paint; the list's width and every
    // row follow from it. The suggested rectangle keeps the window's size
    // in inches on the new monitor.
    if (suggested != nullptr)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window, &client);
    OnSize(SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    ratePane.Invalidate(nullptr, false);
    chartPane.Invalidate(nullptr, false);
}

void Quillbrae::OnResume()
{
    // Every wake brings PBT_APMRESUMEAUTOMATIC, and PBT_APMRESUMESUSPEND too
    // when someone is at the machine: one update for both.
    const uint32_t now = ClockMilliseconds();
    if (resumedBefore && now - lastResume < OneWakeMs)
        return;
    resumedBefore = true;
    lastResume = now;
    resumed = true;
    if (updateNowEvent)
        SetEvent(updateNowEvent.Get());
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
    if (ui.Handle(message))
        return 0;
    switch (message) {
    case WM_DESTROY:
        ui.Close();  // nothing handed over runs once the window is gone
        break;
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
    case WM_DPICHANGED:
        OnDpiChanged(reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
            OnResume();
        return TRUE;
    case WM_MOUSEWHEEL:
        // Over either pane or the frame, the wheel moves the list.
        return SendMessageA(ratePane.window, message, wParam, lParam);
    default:
        break;
    }
    if (tray.OnMessage(message))
        return 0;
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
    menu.AppendItem("&Update now", UpdateNowCommand);
    menu.AppendItem("&Use Voxlume", UseSpeechCommand);
    menu.AppendItem("Start with &Windows", StartWithWindowsCommand);
    // The ellipsis is one character, as Windows menus write it.
    AppendMenuW(menu.menu, MF_STRING, SettingsCommand, L"&Settings\u2026");
    menu.AppendSeparator();
    menu.AppendItem("&Exit", ExitCommand);
    menu.Check(UseSpeechCommand, ratePane.speechEnabled);
    menu.Check(StartWithWindowsCommand, WidgetStartupEntry().IsSet());
    POINT at{};
    GetCursorPos(&at);
    UINT chosen = menu.Track(at.x, at.y, window);
    OnCommand(chosen, 0);
}
