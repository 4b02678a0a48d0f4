#include "tools/voxlume/SpeechRequest.h"

#include "base/Names.h"

#include <cwchar>
#include <vector>

std::optional<SpeechRequest> ReadSpeechRequest(const COPYDATASTRUCT& data)
{
    static const std::wstring command = L"Speak";
    if (data.dwData != names::kSpeechRequestTag || data.lpData == nullptr)
        return std::nullopt;
    if (data.cbData % sizeof(wchar_t) != 0 || data.cbData > largestSpeechRequest)
        return std::nullopt;
    const auto* units = static_cast<const wchar_t*>(data.lpData);
    size_t capacity = data.cbData / sizeof(wchar_t);
    size_t length = wcsnlen(units, capacity);
    if (length == capacity)
        return std::nullopt;  // no terminator within what was sent

    SpeechRequest request;
    request.message.assign(units, length);
    if (request.message.compare(0, command.size(), command) != 0)
        return std::nullopt;
    if (length == command.size())
        return request;  // "Speak" alone: nothing to say
    if (request.message[command.size()] != L' ')
        return std::nullopt;
    request.words = request.message.substr(command.size() + 1);
    return request;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, buffer.data(), needed, nullptr, nullptr);
    return std::string(buffer.data(), buffer.size());
}
