#pragma once
#include "window/Menu.h"

// A context menu for short-lived use on the stack: `menu` hangs as submenu 0
// under `root`, and Track shows it and returns the chosen command. Both native
// menus are owned and destroyed with the object.
class PopupMenu : public Menu {
public:
    PopupMenu();
    ~PopupMenu() override;

    // Shows the menu at screen point (x, y) for `owner`; returns the chosen
    // command id, or 0 when the menu was dismissed. The owner receives no
    // WM_COMMAND: the caller dispatches the id itself.
    UINT Track(int x, int y, HWND owner);

    HMENU root = nullptr;         // owned; item 0 ("Null") carries `menu`
};
