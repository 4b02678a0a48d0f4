#include "window/PopupMenu.h"

PopupMenu::PopupMenu()
{
    menu = CreateMenu();
    root = CreateMenu();

    char text[] = "Null";
    MENUITEMINFOA holder{};
    holder.cbSize = sizeof(holder);
    holder.fMask = MIIM_SUBMENU | MIIM_TYPE;
    holder.fType = MFT_STRING;
    holder.dwTypeData = text;
    holder.cch = sizeof(text) - 1;
    holder.hSubMenu = menu;
    InsertMenuItemA(root, 0, TRUE, &holder);
}

PopupMenu::~PopupMenu()
{
    // Unhook `menu` first: destroying `root` would otherwise destroy it a
    // second time along with its item.
    if (root != nullptr)
        RemoveMenu(root, 0, MF_BYPOSITION);
    if (menu != nullptr)
        DestroyMenu(menu);
    menu = nullptr;
    if (root != nullptr)
        DestroyMenu(root);
    root = nullptr;
}

UINT PopupMenu::Track(int x, int y, HWND owner)
{
    HMENU shown = GetSubMenu(root, 0);
    if (shown == nullptr)
        return 0;
    BOOL chosen = TrackPopupMenu(shown, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    return chosen > 0 ? static_cast<UINT>(chosen) : 0;
}
