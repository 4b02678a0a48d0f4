// A speech program for the widget to talk to: a hidden top-level window of
// class "Voxlume" that takes the widget's speech requests, appends each one
// as a UTF-8 line to a log file and says it through the system's voice where
// there is one.
//
//   voxlume-standin [--hang] [LOGFILE]
//
// LOGFILE defaults to voxlume.log beside the executable. --hang never answers
// a request (for trying out a speech program that has stopped responding).
#include "base/Names.h"
#include "tools/voxlume/SpeechRequest.h"
#include "tools/voxlume/Voice.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

struct Options {
    std::wstring logPath;
    bool hang = false;
};

struct Standin {
    Options options;
    Voice voice;
};

Standin* running = nullptr;  // the one instance; lives in WinMain

std::wstring DefaultLogPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    size_t slash = folder.find_last_of(L"\\/");
    folder.erase(slash == std::wstring::npos ? 0 : slash + 1);
    return folder + L"voxlume.log";
}

Options ReadOptions()
{
    Options options;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        std::wstring argument = arguments[i];
        if (argument == L"--hang")
            options.hang = true;
        else
            options.logPath = argument;
    }
    LocalFree(arguments);
    if (options.logPath.empty())
        options.logPath = DefaultLogPath();
    return options;
}

// One open, write and close per line, so every line is on disk before the
// sender gets its answer.
bool AppendLine(const std::wstring& path, const std::string& line)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size();
}

LRESULT Receive(const COPYDATASTRUCT* data)
{
    if (running->options.hang)
        Sleep(INFINITE);  // never answers; ended from outside
    if (data == nullptr)
        return FALSE;
    std::optional<SpeechRequest> request = ReadSpeechRequest(*data);
    if (!request)
        return FALSE;
    AppendLine(running->options.logPath, ToUtf8(request->message) + "\n");
    running->voice.Speak(request->words);
    return TRUE;
}

LRESULT CALLBACK StandinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COPYDATA:
        return Receive(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    Standin standin{ReadOptions(), {}};
    running = &standin;

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = StandinProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = names::kSpeechWindowClass;
    if (RegisterClassExA(&windowClass) == 0)
        return 1;
    // Top-level and never shown: the widget finds it by class name.
    HWND window =
        CreateWindowExA(0, names::kSpeechWindowClass, "Voxlume", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    running = nullptr;
    return 0;
}
