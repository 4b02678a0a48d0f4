#pragma once
#include <windows.h>

// One native menu with a reusable item record; items are appended to `menu`.
// The object owns `menu` and destroys it.
class Menu {
public:
    Menu();
    virtual ~Menu();

    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Appends a text item with command `id`; an empty text gives a separator.
    void AppendItem(const char* text, UINT id);
    void AppendSeparator();
    void Check(UINT id, bool on);

    HMENU menu = nullptr;         // owned; null until created
    MENUITEMINFOA itemInfo;       // reused for every insertion; cbSize is sizeof
};
