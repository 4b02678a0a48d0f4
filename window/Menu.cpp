#include "window/Menu.h"

#include <string>

Menu::Menu() : itemInfo()
{
    itemInfo.cbSize = sizeof(itemInfo);
    itemInfo.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
    itemInfo.fType = MFT_STRING;
}

Menu::~Menu()
{
    if (menu != nullptr)
        DestroyMenu(menu);
    menu = nullptr;
}

void Menu::AppendItem(const char* text, UINT id)
{
    if (text == nullptr || text[0] == '\0') {
        AppendSeparator();
        return;
    }
    // The menu copies the text; the record merely wants a writable pointer.
    std::string copy(text);
    itemInfo.fMask = MIIM_ID | MIIM_TYPE;
    itemInfo.fType = MFT_STRING;
    itemInfo.wID = id;
    itemInfo.dwTypeData = &copy[0];
    itemInfo.cch = static_cast<UINT>(copy.size());
    InsertMenuItemA(menu, id, FALSE, &itemInfo);
    itemInfo.dwTypeData = nullptr;
}

void Menu::AppendSeparator()
{
    itemInfo.fMask = MIIM_TYPE;
    itemInfo.fType = MFT_SEPARATOR;
    itemInfo.dwTypeData = nullptr;
    itemInfo.cch = 0;
    InsertMenuItemA(menu, static_cast<UINT>(-1), TRUE, &itemInfo);
}

void Menu::Check(UINT id, bool on) { CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); }
