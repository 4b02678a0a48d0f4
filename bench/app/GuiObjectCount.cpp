#include "bench/app/GuiObjectCount.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <set>

namespace {

std::mutex mutex;
std::set<const void*> gdiObjects;   // guarded by mutex
std::set<const void*> userObjects;  // guarded by mutex
std::set<const void*> borrowedDcs;  // guarded by mutex
std::size_t countedIn = 0;          // guarded by mutex: objects counted in, in all

void Add(std::set<const void*>& objects, const void* handle)
{
    if (handle == nullptr)
        return;
    std::lock_guard<std::mutex> hold(mutex);
    objects.insert(handle);
    ++countedIn;
}

void Remove(std::set<const void*>& objects, const void* handle)
{
    std::lock_guard<std::mutex> hold(mutex);
    objects.erase(handle);
}

std::size_t Size(const std::set<const void*>& objects)
{
    std::lock_guard<std::mutex> hold(mutex);
    return objects.size();
}

// Points every import-table entry of the executable that names `function`
// at `replacement`; keeps the first original in `original`.
bool Patch(const char* function, void* replacement, void** original)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return false;
    bool found = false;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name;
         ++module) {
        const DWORD namesAt = module->OriginalFirstThunk ? module->OriginalFirstThunk : module->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protection))
                continue;
            if (!found)
                *original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protection, &protection);
            found = true;
        }
    }
    return found;
}

template <typename Function>
int Route(const char* name, Function replacement, Function& real)
{
    void* original = nullptr;
    if (!Patch(name, reinterpret_cast<void*>(replacement), &original))
        return 0;
    real = reinterpret_cast<Function>(original);
    return 1;
}

// The real functions, as the import table held them.
decltype(&::CreatePen) realCreatePen = ::CreatePen;
decltype(&::CreateSolidBrush) realCreateSolidBrush = ::CreateSolidBrush;
decltype(&::CreateFontIndirectA) realCreateFontIndirectA = ::CreateFontIndirectA;
decltype(&::CreateCompatibleDC) realCreateCompatibleDC = ::CreateCompatibleDC;
decltype(&::CreateCompatibleBitmap) realCreateCompatibleBitmap = ::CreateCompatibleBitmap;
decltype(&::CreateDIBSection) realCreateDIBSection = ::CreateDIBSection;
decltype(&::DeleteObject) realDeleteObject = ::DeleteObject;
decltype(&::DeleteDC) realDeleteDC = ::DeleteDC;
decltype(&::CreateWindowExA) realCreateWindowExA = ::CreateWindowExA;
decltype(&::DestroyWindow) realDestroyWindow = ::DestroyWindow;
decltype(&::CreateMenu) realCreateMenu = ::CreateMenu;
decltype(&::CreatePopupMenu) realCreatePopupMenu = ::CreatePopupMenu;
decltype(&::DestroyMenu) realDestroyMenu = ::DestroyMenu;
decltype(&::CreateAcceleratorTableA) realCreateAcceleratorTableA = ::CreateAcceleratorTableA;
decltype(&::DestroyAcceleratorTable) realDestroyAcceleratorTable = ::DestroyAcceleratorTable;
decltype(&::GetDC) realGetDC = ::GetDC;
decltype(&::ReleaseDC) realReleaseDC = ::ReleaseDC;
decltype(&::BeginPaint) realBeginPaint = ::BeginPaint;
decltype(&::EndPaint) realEndPaint = ::EndPaint;

HPEN WINAPI CountedCreatePen(int style, int width, COLORREF color)
{
    HPEN pen = realCreatePen(style, width, color);
    Add(gdiObjects, pen);
    return pen;
}

HBRUSH WINAPI CountedCreateSolidBrush(COLORREF color)
{
    HBRUSH brush = realCreateSolidBrush(color);
    Add(gdiObjects, brush);
    return brush;
}

HFONT WINAPI CountedCreateFontIndirectA(const LOGFONTA* font)
{
    HFONT made = realCreateFontIndirectA(font);
    Add(gdiObjects, made);
    return made;
}

HDC WINAPI CountedCreateCompatibleDC(HDC dc)
{
    HDC made = realCreateCompatibleDC(dc);
    Add(gdiObjects, made);
    return made;
}

HBITMAP WINAPI CountedCreateCompatibleBitmap(HDC dc, int width, int height)
{
    HBITMAP bitmap = realCreateCompatibleBitmap(dc, width, height);
    Add(gdiObjects, bitmap);
    return bitmap;
}

HBITMAP WINAPI CountedCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                       DWORD offset)
{
    HBITMAP bitmap = realCreateDIBSection(dc, info, usage, bits, section, offset);
    Add(gdiObjects, bitmap);
    return bitmap;
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object)
{
    BOOL deleted = realDeleteObject(object);
    if (deleted)
        Remove(gdiObjects, object);
    return deleted;
}

BOOL WINAPI CountedDeleteDC(HDC dc)
{
    BOOL deleted = realDeleteDC(dc);
    if (deleted)
        Remove(gdiObjects, dc);
    return deleted;
}

HWND WINAPI CountedCreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                                   int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    HWND made = realCreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, instance,
                                    param);
    Add(userObjects, made);
    return made;
}

BOOL WINAPI CountedDestroyWindow(HWND window)
{
    BOOL destroyed = realDestroyWindow(window);
    if (destroyed)
        Remove(userObjects, window);
    return destroyed;
}

HMENU WINAPI CountedCreateMenu()
{
    HMENU menu = realCreateMenu();
    Add(userObjects, menu);
    return menu;
}

HMENU WINAPI CountedCreatePopupMenu()
{
    HMENU menu = realCreatePopupMenu();
    Add(userObjects, menu);
    return menu;
}

BOOL WINAPI CountedDestroyMenu(HMENU menu)
{
    BOOL destroyed = realDestroyMenu(menu);
    if (destroyed)
        Remove(userObjects, menu);
    return destroyed;
}

HACCEL WINAPI CountedCreateAcceleratorTableA(LPACCEL entries, int count)
{
    HACCEL table = realCreateAcceleratorTableA(entries, count);
    Add(userObjects, table);
    return table;
}

BOOL WINAPI CountedDestroyAcceleratorTable(HACCEL table)
{
    BOOL destroyed = realDestroyAcceleratorTable(table);
    if (destroyed)
        Remove(userObjects, table);
    return destroyed;
}

HDC WINAPI CountedGetDC(HWND window)
{
    HDC dc = realGetDC(window);
    Add(borrowedDcs, dc);
    return dc;
}

int WINAPI CountedReleaseDC(HWND window, HDC dc)
{
    int released = realReleaseDC(window, dc);
    if (released)
        Remove(borrowedDcs, dc);
    return released;
}

HDC WINAPI CountedBeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    HDC dc = realBeginPaint(window, paint);
    Add(borrowedDcs, dc);
    return dc;
}

BOOL WINAPI CountedEndPaint(HWND window, const PAINTSTRUCT* paint)
{
    BOOL ended = realEndPaint(window, paint);
    if (paint != nullptr)
        Remove(borrowedDcs, paint->hdc);
    return ended;
}

}  // namespace

namespace gui_objects {

int Install()
{
    int routed = 0;
    routed += Route("CreatePen", &CountedCreatePen, realCreatePen);
    routed += Route("CreateSolidBrush", &CountedCreateSolidBrush, realCreateSolidBrush);
    routed += Route("CreateFontIndirectA", &CountedCreateFontIndirectA, realCreateFontIndirectA);
    routed += Route("CreateCompatibleDC", &CountedCreateCompatibleDC, realCreateCompatibleDC);
    routed += Route("CreateCompatibleBitmap", &CountedCreateCompatibleBitmap, realCreateCompatibleBitmap);
    routed += Route("CreateDIBSection", &CountedCreateDIBSection, realCreateDIBSection);
    routed += Route("DeleteObject", &CountedDeleteObject, realDeleteObject);
    routed += Route("DeleteDC", &CountedDeleteDC, realDeleteDC);
    routed += Route("CreateWindowExA", &CountedCreateWindowExA, realCreateWindowExA);
    routed += Route("DestroyWindow", &CountedDestroyWindow, realDestroyWindow);
    routed += Route("CreateMenu", &CountedCreateMenu, realCreateMenu);
    routed += Route("CreatePopupMenu", &CountedCreatePopupMenu, realCreatePopupMenu);
    routed += Route("DestroyMenu", &CountedDestroyMenu, realDestroyMenu);
    routed += Route("CreateAcceleratorTableA", &CountedCreateAcceleratorTableA, realCreateAcceleratorTableA);
    routed += Route("DestroyAcceleratorTable", &CountedDestroyAcceleratorTable, realDestroyAcceleratorTable);
    routed += Route("GetDC", &CountedGetDC, realGetDC);
    routed += Route("ReleaseDC", &CountedReleaseDC, realReleaseDC);
    routed += Route("BeginPaint", &CountedBeginPaint, realBeginPaint);
    routed += Route("EndPaint", &CountedEndPaint, realEndPaint);
    return routed;
}

std::size_t Gdi() { return Size(gdiObjects); }
std::size_t User() { return Size(userObjects); }
std::size_t BorrowedDeviceContexts() { return Size(borrowedDcs); }

std::size_t MadeInAll()
{
    std::lock_guard<std::mutex> hold(mutex);
    return countedIn;
}

unsigned long SystemGdi() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }
unsigned long SystemUser() { return GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS); }

}  // namespace gui_objects
