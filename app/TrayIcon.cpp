#include "app/TrayIcon.h"

#include "app/AlertBalloon.h"

#include <algorithm>
#include <cstring>

TrayIcon::Shell TrayIcon::DefaultShell()
{
    return [](DWORD action, NOTIFYICONDATAA* data) { return Shell_NotifyIconA(action, data); };
}

TrayIcon::TrayIcon(UINT id, UINT callbackMessage, Shell shellCall)
    : shell(std::move(shellCall)), taskbarCreated(RegisterWindowMessageA("TaskbarCreated"))
{
    // The first-generation layout, whose tip holds 63 characters, is all
    // the widget needs and every shell accepts it.
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = callbackMessage;
}

TrayIcon::~TrayIcon()
{
    if (removal.joinable())
        removal.join();
}

bool TrayIcon::Add(HWND window, HICON icon)
{
    if (shown)
        shell(NIM_DELETE, &record);
    shown = false;
    record.hWnd = window;
    record.hIcon = icon;
    retriesLeft = MostRetries;
    KillTimer(window, RetryTimerId);
    TryAdd();
    if (!shown && record.hWnd != nullptr)
        SetTimer(window, RetryTimerId, FirstRetryMs, nullptr);
    return shown;
}

void TrayIcon::TryAdd()
{
    if (shell(NIM_ADD, &record)) {
        shown = true;
    } else {
        // An add that timed out may have got through all the same.
        shown = GetLastError() == ERROR_TIMEOUT && shell(NIM_MODIFY, &record);
    }
}

bool TrayIcon::OnTimer(UINT_PTR timerId)
{
    if (timerId != RetryTimerId)
        return false;
    KillTimer(record.hWnd, RetryTimerId);
    if (shown || record.hWnd == nullptr || retriesLeft <= 0)
        return true;
    --retriesLeft;
    TryAdd();
    if (!shown && retriesLeft > 0)
        SetTimer(record.hWnd, RetryTimerId, RetryMs, nullptr);
    return true;
}

bool TrayIcon::OnMessage(UINT message)
{
    if (message != taskbarCreated || taskbarCreated == 0)
        return false;
    if (record.hWnd == nullptr)
        return true;  // never added, or taken down for good
    shown = false;    // the shell restarted and forgot the icon
    Add(record.hWnd, record.hIcon);
    return true;
}

void TrayIcon::SetTip(const std::string& text)
{
    std::string tip = text.size() <= TipLength ? text : text.substr(0, TipLength - 3) + "...";
    std::memset(record.szTip, 0, sizeof record.szTip);
    std::memcpy(record.szTip, tip.data(), std::min(tip.size(), TipLength));
    if (!shown)
        return;
    NOTIFYICONDATAA change = record;
    change.uFlags = NIF_TIP;
    shell(NIM_MODIFY, &change);
}

void TrayIcon::ShowBalloon(const std::string& text, const std::string& title)
{
    if (!shown || text.empty())
        return;
    NOTIFYICONDATAA balloon = AlertBalloon(record, text, title);
    shell(NIM_MODIFY, &balloon);
}

void TrayIcon::Remove()
{
    if (record.hWnd != nullptr)
        KillTimer(record.hWnd, RetryTimerId);
    retriesLeft = 0;
    NOTIFYICONDATAA gone = record;
    record.hWnd = nullptr;  // nothing brings it back now
    if (!shown || removal.joinable())
        return;
    shown = false;
    removal = std::thread([call = shell, gone]() mutable { call(NIM_DELETE, &gone); });
}
