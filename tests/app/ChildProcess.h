#pragma once
#include <windows.h>

#include <string>

// A program started for a test: its standard output goes to a file the test
// can read while it runs, and it is ended when the object goes away.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // `stdoutPath` empty: output is discarded.
    bool Start(const std::string& commandLine, const std::string& directory, const std::string& stdoutPath);
    bool WaitExit(DWORD milliseconds);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Id() const { return info.dwProcessId; }
    HANDLE Handle() const { return info.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION info{};
};

// A Unix path handed to the build (the cross build runs under Wine) as a path
// Windows calls accept; a Windows path stays as it is.
std::string NativePath(const std::string& path);
// The whole file, read while another process may still write it.
std::string ReadSharedFile(const std::string& path);
// How often `needle` occurs in `text`.
size_t CountOf(const std::string& text, const std::string& needle);
// The first top-level window of `className` that belongs to process `id`.
HWND FindProcessWindow(DWORD id, const char* className, bool visibleOnly);
// Milliseconds on a steady clock, for measuring.
double NowMs();
