#include "window/Clipboard.h"

#include <cstring>

namespace {

// An open clipboard, closed when the session goes.
class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) : open(OpenClipboard(owner) != 0) {}
    ~ClipboardSession()
    {
        if (open)
            CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool Open() const { return open; }

private:
    bool open;
};

// Global memory owned until the clipboard takes it over.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t size) : memory(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalBlock()
    {
        if (memory != nullptr)
            GlobalFree(memory);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    HGLOBAL Get() const { return memory; }
    HGLOBAL Release()
    {
        HGLOBAL handed = memory;
        memory = nullptr;
        return handed;
    }

private:
    HGLOBAL memory;
};

}  // namespace

bool PutClipboardText(HWND owner, const std::string& text)
{
    GlobalBlock block(text.size() + 1);
    if (block.Get() == nullptr)
        return false;
    void* bytes = GlobalLock(block.Get());
    if (bytes == nullptr)
        return false;
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block.Get());

    ClipboardSession clipboard(owner);
    if (!clipboard.Open() || !EmptyClipboard())
        return false;
    if (SetClipboardData(CF_TEXT, block.Get()) == nullptr)
        return false;
    block.Release();  // the clipboard's now
    return true;
}
