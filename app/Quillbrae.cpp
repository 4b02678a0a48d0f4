#include "app/Quillbrae.h"

#include "app/AlertBalloon.h"
#include "app/StartWithWindows.h"
#include "base/Clock.h"
#include "base/DpiScale.h"
#include "display/RateSpeech.h"
#include "http/HttpFailure.h"
#include "http/TrustedCertificate.h"
#include "update/RateSources.h"
#include "update/UpdateRates.h"
#include "window/PopupMenu.h"
#include "window/WindowDpi.h"

#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
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

// "Quillbrae - updated 12:34:56": what screen readers and other programs read.
std::string WindowText(const std::string& status) { return "Quillbrae - " + status; }

// A tip for the tray icon: `text`, cut to fit with "..." where it is longer.
std::string TrayTip(const std::string& text)
{
    if (text.size() <= TrayTipLength)
        return text;
    return text.substr(0, TrayTipLength - 3) + "...";
}

// Uniform in [0, 1), for the back-off's jitter; its own generator, as only
// the worker draws from it.
double JitterShare()
{
    static std::minstd_rand generator(ClockMilliseconds() ^ GetCurrentProcessId());
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

}  // namespace

Quillbrae::Quillbrae()
    : taskbarCreatedMessage(RegisterWindowMessageA("TaskbarCreated")),
      updateNowEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    ratePane.fontSize = 12;
    ratePane.textColor = 0x000000;
    chartPane.fontSize = 12;
    chartPane.rateList = &ratePane.rates;
    ratePane.announcer = &announcer;
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
    ReadRateFormat();
    ReadPairFilter();
    ReadAlerts();
    ReadTrustedCertificate();
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
    rateUrlSet = !value.empty() && length <= LongestRateUrl;
    rateUrl = rateUrlSet ? value : defaultRateUrl;
    RateSourceList list = ParseRateSources(rateUrl);
    sourceProblem.clear();
    if (list.urls.empty()) {
        // Nothing usable: asked as written, so that every cycle says why not.
        rateSources.assign(1, rateUrl);
        return;
    }
    rateSources = std::move(list.urls);
    if (!list.rejected.empty())
        sourceProblem = "ignored " + list.rejected.front() +
                        (list.rejected.size() > 1 ? " and " + std::to_string(list.rejected.size() - 1) + " more"
                                                  : std::string());
}

void Quillbrae::ReadRateFormat()
{
    char text[16] = {};
    GetPrivateProfileStringA(SettingsSection, names::kRateFormatKey, "", text, sizeof(text),
                             SettingsFilePath().c_str());
    // An unknown value reads as the default, which detects the format.
    rateFormat = RateFormat::Auto;
    ParseRateFormat(text, rateFormat);
}

void Quillbrae::ReadPairFilter()
{
    std::vector<char> text(LongestPairList + 1, '\0');
    DWORD length = GetPrivateProfileStringA(SettingsSection, names::kPairsKey, "", text.data(),
                                            static_cast<DWORD>(text.size()), SettingsFilePath().c_str());
    PairFilter filter = PairFilter::Parse(std::string_view(text.data(), length));
    pairList = filter.Text();
    ratePane.SetPairFilter(std::move(filter));
}

void Quillbrae::ReadAlerts()
{
    std::vector<char> block(AlertSectionSize, '\0');
    DWORD length = GetPrivateProfileSectionA(names::kAlertsSection, block.data(), AlertSectionSize,
                                             SettingsFilePath().c_str());
    std::string_view lines(block.data(), std::min<DWORD>(length, AlertSectionSize));
    // A section that did not fit ends in a cut line: leave that one out.
    if (length >= AlertSectionSize - 2) {
        size_t lastEnd = lines.find_last_of('\0', lines.size() >= 2 ? lines.size() - 2 : 0);
        lines = lastEnd == std::string_view::npos ? std::string_view() : lines.substr(0, lastEnd + 1);
    }
    alerts = PriceAlerts::ParseSection(lines);
}

void Quillbrae::CheckAlerts()
{
    if (alerts.Empty())
        return;
    std::vector<std::pair<std::string, std::string>> prices;
    {
        auto records = ratePane.rates.Lock();
        for (const FXRate& rate : *records) {
            if (alerts.Watches(rate.code))
                prices.emplace_back(rate.code, rate.priceText);
        }
    }
    // Spoken and queued with the lock let go: the speech program may take its time.
    bool queued = false;
    for (const auto& price : prices) {
        for (const std::string& message : alerts.Check(price.first, price.second)) {
            if (ratePane.speechEnabled.load())
                announcer.Announce(message);
            std::lock_guard<std::mutex> guard(balloonLock);
            AppendBalloonLine(balloonText, message);
            queued = true;
        }
    }
    if (queued)
        PostMessageA(window, AlertMessage, 0, 0);
}

void Quillbrae::ShowAlertBalloon()
{
    std::string text;
    {
        std::lock_guard<std::mutex> guard(balloonLock);
        text.swap(balloonText);
    }
    if (text.empty() || trayIcon.hWnd == nullptr)
        return;
    NOTIFYICONDATAA balloon = AlertBalloon(trayIcon, text, ProgramName());
    Shell_NotifyIconA(NIM_MODIFY, &balloon);
}

void Quillbrae::ReadTrustedCertificate()
{
    std::vector<char> text(MAX_PATH * 4 + 2, '\0');
    DWORD length = GetPrivateProfileStringA(SettingsSection, names::kTrustedCertificateKey, "", text.data(),
                                            static_cast<DWORD>(text.size()), SettingsFilePath().c_str());
    trustedCertificate.assign(text.data(), length);
    updater.SetTrustedCertificate(std::string());
    updater.SetTrustFailure(HttpFailure::kOk);
    if (trustedCertificate.empty())
        return;
    // A value cut at the buffer's end names no file; a file that cannot be
    // read leaves the private feed untrusted, and says so at every cycle
    // rather than falling back to the system's roots alone.
    std::string der;
    const std::string& path = trustedCertificate;
    bool absolute = (path.size() >= 2 && path[1] == ':') || path[0] == '\\' || path[0] == '/';
    if (length >= text.size() - 2 ||
        ::ReadTrustedCertificate(absolute ? path : ProgramDirectory() + path, der) != HttpFailure::kOk)
        updater.SetTrustFailure(HttpFailure::kCertUnreadable);
    else
        updater.SetTrustedCertificate(std::move(der));
}

void Quillbrae::LoadPlacement()
{
    App::LoadPlacement();

    char text[32] = {};
    DWORD length = GetPrivateProfileStringA(SettingsSection, names::kUpdateTimerKey, "", text, sizeof(text),
                                            SettingsFilePath().c_str());
    // The public sources change once a working day: asking them every few
    // seconds would only cost them.
    uint32_t interval = rateUrlSet ? DefaultUpdateInterval : PublicUpdateInterval;
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
    // Unset, the defaults stay the program's: a later version may move them.
    if (rateUrlSet)
        WritePrivateProfileStringA(SettingsSection, names::kRateUrlKey, rateUrl.c_str(),
                                   SettingsFilePath().c_str());
    WritePrivateProfileStringA(SettingsSection, names::kRateFormatKey, RateFormatName(rateFormat),
                               SettingsFilePath().c_str());
    if (!pairList.empty())
        WritePrivateProfileStringA(SettingsSection, names::kPairsKey, pairList.c_str(),
                                   SettingsFilePath().c_str());
    if (!trustedCertificate.empty())
        WritePrivateProfileStringA(SettingsSection, names::kTrustedCertificateKey, trustedCertificate.c_str(),
                                   SettingsFilePath().c_str());

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
    case StartWithWindowsCommand: {
        StartupEntry entry = WidgetStartupEntry();
        entry.Set(!entry.IsSet());
        break;
    }
    case UpdateNowCommand:
        if (updateNowEvent)
            SetEvent(updateNowEvent.Get());
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
    case AlertMessage:
        ShowAlertBalloon();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_MOUSEWHEEL:
        // Over either pane or the frame, the wheel moves the list.
        return SendMessageA(ratePane.window, message, wParam, lParam);
    case StatusChangedMessage:
        ShowStatus();
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
    menu.AppendItem("&Update now", UpdateNowCommand);
    menu.AppendItem("&Use Voxlume", UseSpeechCommand);
    menu.AppendItem("Start with &Windows", StartWithWindowsCommand);
    menu.AppendSeparator();
    menu.AppendItem("&Exit", ExitCommand);
    menu.Check(UseSpeechCommand, ratePane.speechEnabled);
    menu.Check(StartWithWindowsCommand, WidgetStartupEntry().IsSet());
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
    const std::string tip = TrayTip(shownStatus.empty() ? ProgramName() : WindowText(shownStatus));
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
    RateSources sources(rateSources, ClockMilliseconds, JitterShare);
    const RateSources::Ask ask = [this](RateSource& source) {
        return updater.Update(ratePane.rates, source.url, source.validators, StopFlag(), rateFormat);
    };
    while (!stopRequested) {
        std::optional<UpdateOutcome> outcome = sources.Cycle(ask, updateInterval, StopFlag());
        if (stopRequested)
            break;
        if (outcome) {
            RecordOutcome(*outcome);
            if (outcome->kind == UpdateOutcome::Kind::Updated)
                CheckAlerts();
            ratePane.Refresh();
            chartPane.ShowSelectedRate(ratePane);
            chartPane.Refresh();
        }
        // The next cycle comes when a source is due or when "&Update now"
        // asks, which asks every source anyway.
        for (uint32_t remaining; (remaining = sources.RemainingMs()) > 0;) {
            Wake woken = WaitForStopOr(updateNowEvent.Get(), remaining);
            if (woken == Wake::Stop)
                return 0;
            if (woken == Wake::Other) {
                sources.Clear();
                break;
            }
        }
    }
    return 0;
}

void Quillbrae::RecordOutcome(const UpdateOutcome& outcome)
{
    {
        std::lock_guard<std::mutex> guard(statusMutex);
        status.Record(outcome, ClockMilliseconds());
    }
    PostMessageA(window, StatusChangedMessage, 0, 0);
}

void Quillbrae::ShowStatus()
{
    UpdateStatus current;
    {
        std::lock_guard<std::mutex> guard(statusMutex);
        current = status;
    }
    const uint32_t now = ClockMilliseconds();
    const uint32_t interval = updateInterval;
    std::string text = current.Text();
    for (const std::string* problem : {&sourceProblem, &speechProblem}) {
        if (!problem->empty())
            text += (text.empty() ? "" : "; ") + *problem;
    }
    bool stale = current.Stale(now, interval);
    if (text != shownStatus) {
        shownStatus = text;
        SetText(WindowText(text).c_str());
        SetTrayTip(WindowText(text));
    }
    ratePane.SetStatus(text, current.Warning() || !speechProblem.empty() || !sourceProblem.empty(), stale);
    chartPane.SetStale(stale);
    // Staleness comes with time alone: look again when it is due.
    if (std::optional<uint32_t> until = current.UntilStale(now, interval))
        SetTimer(window, StaleTimerId, *until + 1, nullptr);
    else
        KillTimer(window, StaleTimerId);
}

bool Quillbrae::OnTimer(WPARAM timerId, LPARAM)
{
    if (timerId != StaleTimerId)
        return false;
    KillTimer(window, StaleTimerId);
    ShowStatus();
    return true;
}

void Quillbrae::SetTrayTip(const std::string& text)
{
    if (trayIcon.hWnd == nullptr)
        return;
    NOTIFYICONDATAA change = trayIcon;
    change.uFlags = NIF_TIP;
    std::memset(change.szTip, 0, sizeof(change.szTip));
    const std::string tip = TrayTip(text);
    std::memcpy(change.szTip, tip.data(), std::min(tip.size(), TrayTipLength));
    std::memcpy(trayIcon.szTip, change.szTip, sizeof(trayIcon.szTip));
    Shell_NotifyIconA(NIM_MODIFY, &change);
}
