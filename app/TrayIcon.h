#pragma once
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <functional>
#include <string>
#include <thread>

// The widget's icon in the notification area: added at start-up, its tip
// kept in step with the status, alert balloons, and taken down at close.
//
// Start-up never waits for the shell. Just after log-on the shell may not
// take icons yet; the window shows at once and the icon is tried again on a
// timer of the window, for a bounded while. A shell that comes up (or back)
// later announces itself with "TaskbarCreated", and the icon is added again
// then. Window thread only, except where said.
class TrayIcon {
public:
    // The shell's entry point; tests hand in one of their own.
    using Shell = std::function<BOOL(DWORD action, NOTIFYICONDATAA* record)>;

    static constexpr UINT_PTR RetryTimerId = 3;
    static constexpr UINT FirstRetryMs = 2000;
    static constexpr UINT RetryMs = 1000;
    // About ten seconds of retries, then only "TaskbarCreated" brings it.
    static constexpr int MostRetries = 9;
    // The tip of the first-generation record, which every shell accepts.
    static constexpr size_t TipLength = 63;

    TrayIcon(UINT id, UINT callbackMessage, Shell shell = DefaultShell());
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows `icon` for `window`; true when the shell took it at once.
    // Otherwise the retry timer runs on `window`, which hands its WM_TIMER
    // to OnTimer.
    bool Add(HWND window, HICON icon);
    // True when `timerId` was the retry timer's.
    bool OnTimer(UINT_PTR timerId);
    // True when `message` was "TaskbarCreated": the shell forgot every icon.
    bool OnMessage(UINT message);

    // The tip, cut to fit with "..." where it is longer; kept for an icon
    // added later.
    void SetTip(const std::string& text);
    // A balloon of `text` under `title`; nothing while no icon is shown.
    void ShowBalloon(const std::string& text, const std::string& title);
    // Takes the icon down without holding up the close: a shell may take its
    // time over it (Wine's waits for the X server to unmap the icon's
    // window). The destructor waits for it.
    void Remove();

    bool Shown() const { return shown; }
    // The record as last handed to the shell (or as it will be).
    const NOTIFYICONDATAA& Record() const { return record; }

    static Shell DefaultShell();

private:
    // One try; arms the next one when the shell did not take it.
    void TryAdd();

    Shell shell;
    NOTIFYICONDATAA record{};
    UINT taskbarCreated = 0;  // registered at construction
    bool shown = false;
    int retriesLeft = 0;
    std::thread removal;  // owned: joined by the destructor
};
