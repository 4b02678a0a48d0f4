#include "app/AlertBalloon.h"

#include <algorithm>
#include <cstring>

void AppendBalloonLine(std::string& pending, const std::string& message)
{
    size_t separator = pending.empty() ? 0 : 1;
    if (message.empty() || pending.size() + separator + message.size() > BalloonTextLength)
        return;
    if (separator != 0)
        pending += '\n';
    pending += message;
}

NOTIFYICONDATAA AlertBalloon(const NOTIFYICONDATAA& icon, const std::string& text, const std::string& title)
{
    NOTIFYICONDATAA balloon{};
    balloon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    balloon.hWnd = icon.hWnd;
    balloon.uID = icon.uID;
    balloon.uFlags = NIF_INFO;
    balloon.dwInfoFlags = NIIF_INFO;
    std::memcpy(balloon.szInfo, text.data(), std::min(text.size(), sizeof balloon.szInfo - 1));
    std::memcpy(balloon.szInfoTitle, title.data(), std::min(title.size(), sizeof balloon.szInfoTitle - 1));
    return balloon;
}
