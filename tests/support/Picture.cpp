#include "tests/support/Picture.h"

#include <cstdlib>

namespace {

// A top-down 32-bit section of `width` x `height` in a memory context,
// filled by `paint`, copied out.
template <typename Paint>
Picture Capture(int width, int height, Paint paint)
{
    Picture picture;
    if (width <= 0 || height <= 0)
        return picture;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        paint(memory, screen);
        GdiFlush();
        const auto* quads = static_cast<const uint32_t*>(bits);
        picture.width = width;
        picture.height = height;
        picture.pixels.assign(quads, quads + static_cast<size_t>(width) * static_cast<size_t>(height));
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

}  // namespace

Picture Picture::OfScreen(HWND window)
{
    RECT r{};
    if (window == nullptr || !GetWindowRect(window, &r))
        return Picture();
    return OfScreen(r);
}

Picture Picture::OfScreen(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    return Capture(width, height, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    });
}

Picture Picture::Printed(HWND window)
{
    RECT client{};
    if (window == nullptr || !GetClientRect(window, &client))
        return Picture();
    return Capture(client.right, client.bottom, [&](HDC memory, HDC) {
        SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
}

bool Picture::SaveBitmap(const std::string& path) const
{
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;  // top row first, as held
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const DWORD pixelBytes = static_cast<DWORD>(pixels.size() * sizeof(uint32_t));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + pixelBytes;
    HANDLE out =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
              WriteFile(out, &info, sizeof(info), &written, nullptr) &&
              WriteFile(out, pixels.data(), pixelBytes, &written, nullptr) && written == pixelBytes;
    CloseHandle(out);
    return ok;
}

bool IsReddish(COLORREF c)
{
    return GetRValue(c) > GetGValue(c) + 60 && GetRValue(c) > GetBValue(c) + 60;
}

bool IsBluish(COLORREF c)
{
    return GetBValue(c) > GetRValue(c) + 60 && GetBValue(c) > GetGValue(c) + 60;
}

bool IsGreyText(COLORREF c)
{
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return std::abs(r - g) < 16 && std::abs(g - b) < 16 && r > 90 && r < 190;
}
