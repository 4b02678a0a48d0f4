#pragma once
#include <windows.h>

// Sole owner of one kernel handle (thread, event): closed when the owner goes
// or a new handle takes its place. Not copyable, so a handle can never be
// closed twice.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE owned) : handle(owned) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

    // Closes the held handle (if any) and keeps `replacement` instead.
    void Reset(HANDLE replacement = nullptr)
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = replacement;
    }

private:
    HANDLE handle = nullptr;
};
