#include "app/Quillbrae.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

// Until the widget has a status line, the tray icon's tip is where the user
// can read why nothing is spoken.
void Quillbrae::ShowSpeechProblem(const std::string& problem)
{
    std::string tip = ProgramName();
    if (!problem.empty())
        tip += ": " + problem;
    tip.resize(std::min(tip.size(), sizeof(trayIcon.szTip) - 1));
    if (tip == trayIcon.szTip)
        return;
    std::memset(trayIcon.szTip, 0, sizeof(trayIcon.szTip));
    std::memcpy(trayIcon.szTip, tip.data(), tip.size());
    if (trayIcon.hWnd != nullptr)
        Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
}
