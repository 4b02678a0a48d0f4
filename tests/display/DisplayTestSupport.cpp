#include "tests/display/DisplayTestSupport.h"

#include <algorithm>

Canvas::Canvas(int canvasWidth, int canvasHeight)
    : width(canvasWidth), height(canvasHeight), dc(CreateCompatibleDC(nullptr)), bitmap(nullptr), previous(nullptr)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
    HBRUSH fill = CreateSolidBrush(sentinel);
    RECT all = Bounds();
    FillRect(dc, &all, fill);
    DeleteObject(fill);
}

Canvas::~Canvas()
{
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

bool IsDark(COLORREF pixel)
{
    return GetRValue(pixel) < 100 && GetGValue(pixel) < 100 && GetBValue(pixel) < 100;
}

namespace {
const char* const parentClass = "DisplayTestParent";
}

TestParent::TestParent(int width, int height)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = parentClass;
    RegisterClassExA(&windowClass);  // fails harmlessly once registered
    window = CreateWindowExA(0, parentClass, "Quillbrae panes", WS_POPUP, 0, 0, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), this);
}

TestParent::~TestParent()
{
    if (window != nullptr)
        DestroyWindow(window);
}

std::vector<int> TestParent::NotifyCodes() const
{
    std::vector<int> codes;
    for (const Received& message : received)
        if (message.message == WM_NOTIFY)
            codes.push_back(message.code);
    return codes;
}

LRESULT CALLBACK TestParent::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* parent = reinterpret_cast<TestParent*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (parent != nullptr) {
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            parent->received.push_back({message, wParam, lParam, header->hwndFrom, static_cast<int>(header->code)});
            return 0;
        }
        if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
            parent->received.push_back({message, wParam, lParam, nullptr, 0});
            return 0;
        }
        if (message == WM_NCDESTROY)
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

RateQuote Quote(const std::string& code, const std::string& price, const std::string& change)
{
    RateQuote quote;
    quote.code = code;
    quote.priceText = price;
    quote.changeText = change;
    quote.highText = "151.00";
    quote.lowText = "149.00";
    quote.openText = "150.00";
    return quote;
}
