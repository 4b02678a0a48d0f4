#include "display/RateSpeech.h"

#include <vector>

std::wstring AnsiToWide(const std::string& text)
{
    int needed = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (needed <= 1)
        return std::wstring();
    std::vector<wchar_t> converted(static_cast<size_t>(needed));
    int written = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, converted.data(), needed);
    if (written <= 1)
        return std::wstring();
    return std::wstring(converted.data(), static_cast<size_t>(written - 1));
}

std::wstring SpeechMessage(const std::string& text)
{
    std::wstring message = L"Speak";
    std::wstring words = AnsiToWide(text);
    if (!words.empty()) {
        message += L' ';
        message += words;
    }
    return message;
}

bool SpeakText(const std::string& text)
{
    std::wstring message = SpeechMessage(text);
    HWND speaker = FindWindowA(names::kSpeechWindowClass, nullptr);
    if (speaker == nullptr)
        return false;
    COPYDATASTRUCT data{};
    data.dwData = names::kSpeechRequestTag;
    data.cbData = static_cast<DWORD>((message.size() + 1) * sizeof(wchar_t));  // with the terminator
    data.lpData = const_cast<wchar_t*>(message.c_str());
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(speaker, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               speechTimeoutMs, &answer) != 0;
}

void SpeakRate(const FXRate& record)
{
    SpeakText(record.priceText);
}
